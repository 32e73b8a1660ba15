#include "transcription/models/TempFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace korvane {

namespace {

[[noreturn]] void throwFileError(const char* what, const std::filesystem::path& file, int error)
{
    throw std::filesystem::filesystem_error(what, file, std::error_code(error, std::generic_category()));
}

}  // namespace

TempFile::TempFile(const std::filesystem::path& directory, std::string_view baseName)
{
    std::string pattern = (directory / ("." + std::string(baseName) + ".XXXXXX.part")).string();
    const int fd = ::mkostemps(pattern.data(), 5, O_CLOEXEC);
    if (fd < 0) {
        throwFileError("cannot create a temporary file", pattern, errno);
    }
    fd_.reset(fd);
    path_ = pattern;
}

TempFile::~TempFile()
{
    fd_.reset();
    if (!moved_) {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
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
    fd_.reset();
}

void TempFile::moveTo(const std::filesystem::path& destination)
{
    std::filesystem::rename(path_, destination);
    moved_ = true;
}

}  // namespace korvane
