#include "base/files/PosixFile.h"

#include <cerrno>
#include <system_error>
#include <unistd.h>

namespace korvane {

void UniqueFd::reset(int fd) noexcept
{
    if (fd_ >= 0) {
        // Linux releases the descriptor even when close() reports EINTR, so no retry here.
        ::close(fd_);
    }
    fd_ = fd;
}

bool UniqueFd::close() noexcept
{
    if (fd_ < 0) {
        return true;
    }
    const int result = ::close(std::exchange(fd_, -1));
    return result == 0 || errno == EINTR;
}

bool writeAll(int fd, std::string_view bytes) noexcept
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::optional<std::string> readAll(int fd)
{
    std::string contents;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return contents;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
    }
}

void throwFileError(const char* what, const std::filesystem::path& file, int error)
{
    throw std::filesystem::filesystem_error(what, file, std::error_code(error, std::generic_category()));
}

}  // namespace korvane
