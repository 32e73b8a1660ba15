#include "tests/support/desktop/TestClipboard.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace korvane::testing {

namespace {

using namespace std::chrono_literals;

// Output of a program, standard output only and binary-safe; nothing when it failed.
std::optional<std::string> outputOf(const std::vector<std::string>& arguments,
                                    const std::function<void()>& whileWaiting)
{
    std::vector<std::string> bounded{"sh", "-c", "\"$@\" 2>/dev/null || echo KORVANE_FAILED", "sh"};
    bounded.insert(bounded.end(), arguments.begin(), arguments.end());
    ChildProcess program(bounded);
    program.closeInput();
    std::string output = program.readAll(10s, whileWaiting);
    if (output.ends_with("KORVANE_FAILED\n")) {
        return std::nullopt;
    }
    return output;
}

}  // namespace

ClipboardOwnerProcess::ClipboardOwnerProcess(const Formats& formats)
{
    std::vector<std::string> arguments{KORVANE_CLIPBOARD_OWNER};
    for (const auto& [mimeType, data] : formats) {
        // Bytes travel through a file, so any content survives the command line.
        const std::filesystem::path file =
            std::filesystem::temp_directory_path() /
            ("korvane-clip-" + std::to_string(::getpid()) + "-" + std::to_string(files_.size()));
        std::ofstream(file, std::ios::binary) << data;
        files_.push_back(file.string());
        arguments.insert(arguments.end(), {"--format", mimeType + "=@" + file.string()});
    }
    process_ = std::make_unique<ChildProcess>(arguments);
    process_->expectLine("ready", 10s);
}

ClipboardOwnerProcess::~ClipboardOwnerProcess()
{
    process_.reset();
    for (const std::string& file : files_) {
        std::filesystem::remove(file);
    }
}

int ClipboardOwnerProcess::served(const std::string& mimeType)
{
    process_->writeLine("served " + mimeType);
    std::istringstream line(process_->expectLine("served " + mimeType, 10s));
    std::string word;
    std::string name;
    int count = -1;
    line >> word >> name >> count;
    return count;
}

bool ClipboardOwnerProcess::ownsClipboard()
{
    process_->writeLine("owner");
    return process_->expectLine("owner", 10s) == "owner yes";
}

std::optional<std::string> readClipboard(const std::string& mimeType, const std::function<void()>& whileWaiting)
{
    return outputOf({"timeout", "5", "xclip", "-selection", "clipboard", "-o", "-t", mimeType}, whileWaiting);
}

std::vector<std::string> clipboardTargets(const std::function<void()>& whileWaiting)
{
    std::vector<std::string> targets;
    const std::optional<std::string> listed = readClipboard("TARGETS", whileWaiting);
    if (!listed) {
        return targets;
    }
    std::istringstream lines(*listed);
    for (std::string line; std::getline(lines, line);) {
        targets.push_back(line);
    }
    return targets;
}

}  // namespace korvane::testing
