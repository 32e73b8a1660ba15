#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// A program the test talks to: its standard input and output are pipes (standard error is kept),
// and it dies with the test process, so a crashed test leaves no X server or client behind.
// Ended with SIGTERM (SIGKILL after a second) on destruction.
class ChildProcess {
public:
    // Runs `arguments` (the program looked up in PATH) with this process's environment.
    // Throws std::runtime_error when it cannot be started.
    explicit ChildProcess(const std::vector<std::string>& arguments);
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int pid() const { return pid_; }

    // One line of its standard output, without the newline; nothing at end of output or when
    // `timeout` passed first. `whileWaiting` runs about every 20 ms meanwhile.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout,
                                        const std::function<void()>& whileWaiting = {});
    // Reads lines until one starts with `prefix` and returns it; throws when none came in time.
    std::string expectLine(const std::string& prefix, std::chrono::milliseconds timeout,
                           const std::function<void()>& whileWaiting = {});
    // Everything it writes to standard output until it closes it (or `timeout` passed), bytes as
    // they came. `whileWaiting` runs about every 20 ms meanwhile (a test that owns the clipboard
    // keeps its event loop going, so it can answer the program).
    std::string readAll(std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting = {});
    void writeLine(const std::string& line);
    // Closes its standard input.
    void closeInput();

    void signal(int number) const;
    // Whether it still runs (false once it exited, which is then reaped).
    bool running();

private:
    // Appends what arrives before `deadline` to the buffer; false at end of output or time-out.
    bool readMore(std::chrono::steady_clock::time_point deadline, const std::function<void()>& whileWaiting);

    int pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffered_;
};

}  // namespace korvane::testing
