#include "tests/support/process/ChildProcess.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

namespace korvane::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& arguments)
{
    if (arguments.empty()) {
        throw std::invalid_argument("ChildProcess needs a program");
    }
    // A child that exited must not take the test down with SIGPIPE when the test writes to it.
    ::signal(SIGPIPE, SIG_IGN);
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::system_error(errno, std::generic_category(), "fork");
    }
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(toChild[0], STDIN_FILENO);
        ::dup2(fromChild[1], STDOUT_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
}

ChildProcess::~ChildProcess()
{
    ::close(input_);
    ::close(output_);
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGCONT);  // a test may have stopped it
    ::kill(pid_, SIGTERM);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout,
                                                  const std::function<void()>& whileWaiting)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const std::size_t end = buffered_.find('\n'); end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        if (!readMore(deadline, whileWaiting)) {
            return std::nullopt;
        }
    }
}

std::string ChildProcess::expectLine(const std::string& prefix, std::chrono::milliseconds timeout,
                                     const std::function<void()>& whileWaiting)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const std::optional<std::string> line = readLine(left, whileWaiting);
        if (!line) {
            break;
        }
        if (line->starts_with(prefix)) {
            return *line;
        }
    }
    throw std::runtime_error("no line starting with \"" + prefix + "\" came from process " + std::to_string(pid_));
}

std::string ChildProcess::readAll(std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (readMore(deadline, whileWaiting)) {
    }
    return std::exchange(buffered_, {});
}

bool ChildProcess::readMore(std::chrono::steady_clock::time_point deadline, const std::function<void()>& whileWaiting)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd readable{output_, POLLIN, 0};
        const int wait =
            whileWaiting ? std::min<int>(20, static_cast<int>(left.count())) : static_cast<int>(left.count());
        if (::poll(&readable, 1, wait) <= 0) {
            if (whileWaiting) {
                whileWaiting();
            }
            continue;
        }
        char chunk[65536];
        const ssize_t got = ::read(output_, chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        buffered_.append(chunk, static_cast<std::size_t>(got));
        return true;
    }
}

void ChildProcess::closeInput()
{
    ::close(input_);
    input_ = -1;
}

void ChildProcess::writeLine(const std::string& line)
{
    const std::string data = line + "\n";
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t count = ::write(input_, data.data() + written, data.size() - written);
        if (count <= 0) {
            throw std::system_error(errno, std::generic_category(), "write to child");
        }
        written += static_cast<std::size_t>(count);
    }
}

void ChildProcess::signal(int number) const
{
    ::kill(pid_, number);
}

bool ChildProcess::running()
{
    if (pid_ <= 0) {
        return false;
    }
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

}  // namespace korvane::testing
