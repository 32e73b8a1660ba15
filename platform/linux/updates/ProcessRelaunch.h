#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvane {

// Starts the installed executable again in place of this process: the same path and the same
// arguments the process was started with, taken at launch (later the running file may be gone).
class ProcessRelaunch {
public:
    ProcessRelaunch(std::filesystem::path executable, std::vector<std::string> arguments);

    // This process's executable (as /proc/self/exe names it now) and its arguments from Qt
    // (QCoreApplication must exist).
    static ProcessRelaunch ofThisProcess();

    const std::filesystem::path& executable() const { return executable_; }
    const std::vector<std::string>& arguments() const { return arguments_; }

    // Replaces the process image. Every descriptor except standard input, output and error is
    // marked close-on-exec first, so the new instance starts without this one's sockets and files.
    // Returns only when that failed, with the reason.
    std::string exec() const;

private:
    std::filesystem::path executable_;
    std::vector<std::string> arguments_;
};

}  // namespace korvane
