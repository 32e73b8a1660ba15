#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace korvane {

// Owns one POSIX file descriptor and closes it when it goes out of scope.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

    // Closes the current descriptor (if any) and takes `fd`.
    void reset(int fd = -1) noexcept;

    // Closes the descriptor now and reports whether close() succeeded; on some file systems a
    // failed write only shows up here.
    bool close() noexcept;

private:
    int fd_ = -1;
};

// Writes all of `bytes`, continuing after partial writes and signal interruptions. False when the
// descriptor refused part of it.
bool writeAll(int fd, std::string_view bytes) noexcept;

// Reads the whole remaining contents of `fd`; nothing when a read fails.
std::optional<std::string> readAll(int fd);

// Throws std::filesystem::filesystem_error for `file` with `what` and the errno value `error`.
[[noreturn]] void throwFileError(const char* what, const std::filesystem::path& file, int error);

}  // namespace korvane
