#include "tests/support/StderrCapture.h"

#include <stdexcept>
#include <unistd.h>

namespace korvane::testing {

StderrCapture::StderrCapture()
{
    sink_ = std::tmpfile();
    if (sink_ == nullptr) {
        throw std::runtime_error("cannot create a file to capture standard error");
    }
    std::fflush(stderr);
    savedStderr_ = ::dup(STDERR_FILENO);
    ::dup2(::fileno(sink_), STDERR_FILENO);
}

StderrCapture::~StderrCapture()
{
    std::fflush(stderr);
    ::dup2(savedStderr_, STDERR_FILENO);
    ::close(savedStderr_);
    std::fclose(sink_);
}

std::string StderrCapture::text() const
{
    std::string contents;
    char buffer[4096];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(::fileno(sink_), buffer, sizeof buffer, offset);
        if (got <= 0) {
            return contents;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
}

}  // namespace korvane::testing
