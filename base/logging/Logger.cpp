#include "base/logging/Logger.h"

#include "base/files/PosixFile.h"
#include "base/files/UserDirectories.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace korvane::Logger {

namespace {

std::atomic<bool> enabledFlag{false};

// Serialises appends to the log file so that lines from different threads never interleave.
// Deliberately a plain namespace-scope mutex (constant-initialised, nothing to destroy that
// matters) so that logging from a static destructor late in shutdown stays safe.
std::mutex fileLock;

// "HH:mm:ss " in local time.
std::string timestampPrefix()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[16] = "00:00:00 ";
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(text, sizeof text, "%H:%M:%S ", &local);
    }
    return text;
}

// A write to a pipe or socket whose reader has gone raises SIGPIPE, and its default action ends the
// process; standard error is such a pipe whenever the output is piped into another program that
// may exit first. The signal is held back for this thread during the write and, when the write
// raised it, taken off the queue again, so a lost reader only costs the line.
void writeToStderr(std::string_view line) noexcept
{
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previousMask;
    if (::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previousMask) != 0) {
        return;  // cannot write safely; the file still gets the line
    }
    // One raised before (by someone else) is left for its owner.
    sigset_t pending;
    sigemptyset(&pending);
    const bool alreadyPending = ::sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
    if (!writeAll(STDERR_FILENO, line) && errno == EPIPE && !alreadyPending) {
        const timespec noWait{};
        while (::sigtimedwait(&pipeSignal, nullptr, &noWait) == -1 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
}

UniqueFd openForAppend(const std::filesystem::path& file)
{
    // The log names the applications, models and shortcuts the user works with: private to the user.
    return UniqueFd(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
}

void appendToFile(std::string_view line)
{
    const std::filesystem::path file = logFilePath();
    if (file.empty()) {
        return;
    }
    std::lock_guard<std::mutex> guard(fileLock);
    // Opened and closed per line so that the user can read, truncate or delete the file at any time.
    UniqueFd fd = openForAppend(file);
    if (!fd && errno == ENOENT) {
        std::error_code ignored;
        std::filesystem::create_directories(file.parent_path(), ignored);
        fd = openForAppend(file);
    }
    if (fd) {
        writeAll(fd.get(), line);
    }
}

}  // namespace

void setEnabled(bool enabled) noexcept
{
    enabledFlag.store(enabled, std::memory_order_relaxed);
}

bool isEnabled() noexcept
{
    return enabledFlag.load(std::memory_order_relaxed);
}

std::filesystem::path logFilePath()
{
    std::filesystem::path home = homeDirectory();
    if (home.empty()) {
        return {};
    }
    return home / ".config" / "korvane" / "debug.log";
}

void log(std::string_view message)
{
    if (!isEnabled()) {
        return;
    }
    try {
        std::string line = timestampPrefix();
        line.append(message);
        line.push_back('\n');
        // One write() per line keeps lines whole on standard error too in the common case; it is
        // written before the file lock is taken, so a slow file system never delays it.
        writeToStderr(line);
        appendToFile(line);
    } catch (...) {
        // Logging must never affect the caller: out of memory or a failing lock simply drops the line.
    }
}

}  // namespace korvane::Logger
