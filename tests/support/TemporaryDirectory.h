#pragma once

#include <filesystem>
#include <string>

namespace korvane::testing {

// A fresh directory under the system's temporary folder, named after `prefix`, removed with
// everything in it on destruction.
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

}  // namespace korvane::testing
