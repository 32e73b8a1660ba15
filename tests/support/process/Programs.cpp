#include "tests/support/process/Programs.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace korvane::testing {

namespace {

std::string commandLine(const std::vector<std::string>& arguments)
{
    std::string line;
    for (const std::string& argument : arguments) {
        line += (line.empty() ? "" : " ") + argument;
    }
    return line;
}

// Starts `arguments` (looked up on PATH) with the given descriptor set-up and releases `actions`.
// Returns the error number of a failed start, 0 on success.
int spawnProgram(const std::vector<std::string>& arguments, posix_spawn_file_actions_t& actions, pid_t& child)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned;
}

}  // namespace

bool succeeds(const std::vector<std::string>& arguments)
{
    try {
        runProgram(arguments);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string runProgram(const std::vector<std::string>& arguments)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t child = 0;
    const int spawned = spawnProgram(arguments, actions, child);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        throw std::runtime_error("could not start " + commandLine(arguments) + ": " + std::strerror(spawned));
    }

    std::string output;
    char chunk[4096];
    for (;;) {
        const ssize_t count = read(pipeEnds[0], chunk, sizeof chunk);
        if (count > 0) {
            output.append(chunk, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(commandLine(arguments) + " failed (status " + std::to_string(status) + "): " + output);
    }
    return output;
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& arguments, const std::string& inputPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = spawnProgram(arguments, actions, child);
    if (spawned != 0) {
        throw std::runtime_error("could not start " + commandLine(arguments) + ": " + std::strerror(spawned));
    }
    pid_ = child;
}

BackgroundProgram::~BackgroundProgram()
{
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace korvane::testing
