#pragma once

#include <string>
#include <vector>

namespace korvane::testing {

// Runs a program (looked up in PATH) to completion with this process's environment and returns what
// it wrote to standard output and standard error. Throws std::runtime_error, with that output, when
// it cannot be started or exits with a status other than 0.
std::string runProgram(const std::vector<std::string>& arguments);

// Runs a program to completion; true when it exited with status 0. Its output is discarded.
bool succeeds(const std::vector<std::string>& arguments);

// A program running in the background for the lifetime of the object (standard input from
// `inputPath`, output discarded); ended with SIGTERM and reaped on destruction.
class BackgroundProgram {
public:
    explicit BackgroundProgram(const std::vector<std::string>& arguments, const std::string& inputPath = "/dev/null");
    ~BackgroundProgram();

    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

private:
    int pid_ = -1;
};

}  // namespace korvane::testing
