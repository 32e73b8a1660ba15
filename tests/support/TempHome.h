#pragma once

#include <filesystem>
#include <string>

namespace korvane::testing {

// A fresh directory that stands in for the user's home (HOME, XDG_CONFIG_HOME and XDG_DATA_HOME
// point into it) for the lifetime of the object; removed afterwards. Not for concurrent use.
class TempHome {
public:
    TempHome();
    ~TempHome();

    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& path() const { return root_; }

private:
    std::filesystem::path root_;
    std::string savedHome_;
    std::string savedConfig_;
    std::string savedData_;
    bool hadConfig_ = false;
    bool hadData_ = false;
};

// Reads a whole file; empty when it does not exist.
std::string readFile(const std::filesystem::path& path);

// Writes a whole file, creating parent directories.
void writeFile(const std::filesystem::path& path, const std::string& contents);

}  // namespace korvane::testing
