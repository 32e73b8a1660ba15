#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::testing {

// Runs a program (looked up in PATH) to completion with this process's environment and returns what
// it wrote to standard output and standard error. Throws std::runtime_error, with that output, when
// it cannot be started or exits with a status other than 0.
std::string runProgram(const std::vector<std::string>& arguments);

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

// A fresh temporary directory, removed with everything in it on destruction.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::string& prefix);
    ~TemporaryDirectory();

    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Sets an environment variable for the lifetime of the object and restores the old value after.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();

    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::string saved_;
    bool hadValue_ = false;
};

}  // namespace korvane::testing
