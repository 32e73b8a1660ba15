#pragma once

#include "base/files/PosixFile.h"

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A uniquely named hidden file in a given directory that is removed again unless it is moved into
// place. Living next to the destination keeps the final rename on one file system, so it is atomic.
//
// For as long as it exists under its temporary name the file holds an exclusive flock(2) on itself.
// That tells a file being written, by this process or another, from one left behind by a crash or a
// kill: removeStaleTempFiles() takes away only files whose lock it can take.
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

    // Flushes the contents to disk. The file stays open, and so locked, until it is moved into place
    // or removed. Throws std::filesystem::filesystem_error.
    void finish();

    // Renames the file to `destination`, replacing what is there. Afterwards nothing is removed.
    // Throws std::filesystem::filesystem_error (the file then stays temporary and is removed).
    void moveTo(const std::filesystem::path& destination);

private:
    std::filesystem::path path_;
    UniqueFd fd_;
    bool moved_ = false;
};

// Whether `fileName` has the form of a TempFile name for `baseName`.
bool isTempFileNameFor(std::string_view fileName, std::string_view baseName);

// Removes the regular files in `directory` named like a TempFile for one of `baseNames` that no
// TempFile holds any more, and returns their names. Everything else stays, as does a file that
// cannot be opened, locked or removed (a later sweep tries again).
std::vector<std::string> removeStaleTempFiles(const std::filesystem::path& directory,
                                              std::span<const std::string> baseNames);

}  // namespace korvane
