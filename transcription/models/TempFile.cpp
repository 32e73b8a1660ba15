#include "transcription/models/TempFile.h"

#include "base/files/PosixFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace korvane {

namespace {

constexpr std::string_view kSuffix = ".part";
constexpr std::size_t kUniquePartLength = 6;  // the XXXXXX that mkostemps replaces
constexpr int kCreationAttempts = 8;

bool isUniquePartCharacter(char character)
{
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           (character >= '0' && character <= '9');
}

// Locks a freshly created file and confirms that its name still leads to it. A sweep that ran
// between the creation and the lock may have taken the file for a stale one; the name is then gone,
// or about to go, and the caller starts again with a new one.
bool lockAndKeepName(int fd, const std::string& path)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return false;
    }
    // Any other lock failure means a file system without flock; a sweep cannot lock the file there
    // either, so it leaves the file alone and the download goes on unlocked.
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// Removes `file` when it is a regular file whose lock can be taken. The lock is held across the
// removal: a TempFile created a moment before cannot take its lock meanwhile, and when it does it
// finds its name gone.
bool removeIfUnlocked(const std::filesystem::path& file)
{
    // O_NONBLOCK: a FIFO with a matching name must not hang the sweep.
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        return false;
    }
    return ::unlink(file.c_str()) == 0;
}

}  // namespace

TempFile::TempFile(const std::filesystem::path& directory, std::string_view baseName)
{
    for (int attempt = 1;; ++attempt) {
        std::string pattern = (directory / ("." + std::string(baseName) + ".XXXXXX" + std::string(kSuffix))).string();
        UniqueFd fd(::mkostemps(pattern.data(), static_cast<int>(kSuffix.size()), O_CLOEXEC));
        if (!fd) {
            throwFileError("cannot create a temporary file", pattern, errno);
        }
        if (lockAndKeepName(fd.get(), pattern)) {
            fd_ = std::move(fd);
            path_ = pattern;
            return;
        }
        if (attempt == kCreationAttempts) {
            throwFileError("cannot keep a temporary file", pattern, EBUSY);
        }
    }
}

TempFile::~TempFile()
{
    // Removed before it is closed: an unlocked file under the temporary name would look stale.
    if (!moved_) {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    fd_.reset();
}

int TempFile::write(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd_.get(), data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

void TempFile::finish()
{
    if (::fsync(fd_.get()) != 0) {
        throwFileError("cannot flush the temporary file", path_, errno);
    }
}

void TempFile::moveTo(const std::filesystem::path& destination)
{
    std::filesystem::rename(path_, destination);
    moved_ = true;
    fd_.reset();
}

bool isTempFileNameFor(std::string_view fileName, std::string_view baseName)
{
    const std::size_t prefixLength = 1 + baseName.size() + 1;
    if (fileName.size() != prefixLength + kUniquePartLength + kSuffix.size() || fileName.front() != '.' ||
        fileName.substr(1, baseName.size()) != baseName || fileName[prefixLength - 1] != '.' ||
        !fileName.ends_with(kSuffix)) {
        return false;
    }
    const std::string_view unique = fileName.substr(prefixLength, kUniquePartLength);
    return std::all_of(unique.begin(), unique.end(), isUniquePartCharacter);
}

std::vector<std::string> removeStaleTempFiles(const std::filesystem::path& directory,
                                              std::span<const std::string> baseNames)
{
    std::vector<std::string> removed;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const bool ours = std::any_of(baseNames.begin(), baseNames.end(), [&name](const std::string& baseName) {
            return isTempFileNameFor(name, baseName);
        });
        if (ours && removeIfUnlocked(entry->path())) {
            removed.push_back(name);
        }
    }
    return removed;
}

}  // namespace korvane
