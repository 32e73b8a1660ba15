#pragma once

#include "core/files/PosixFile.h"

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace korvane {

// A uniquely named hidden file in a given directory that is removed again unless it is moved into
// place. Living next to the destination keeps the final rename on one file system, so it is atomic.
class TempFile {
public:
    // Creates "." + baseName + ".XXXXXX.part" in `directory`. Throws std::filesystem::filesystem_error.
    TempFile(const std::filesystem::path& directory, std::string_view baseName);
    ~TempFile();

    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Appends all bytes. Returns 0, or the errno of the failed write.
    int write(const char* data, std::size_t size);

    // Flushes the contents to disk and closes the file. Throws std::filesystem::filesystem_error.
    void finish();

    // Renames the file to `destination`, replacing what is there. Afterwards nothing is removed.
    // Throws std::filesystem::filesystem_error (the file then stays temporary and is removed).
    void moveTo(const std::filesystem::path& destination);

private:
    std::filesystem::path path_;
    UniqueFd fd_;
    bool moved_ = false;
};

}  // namespace korvane
