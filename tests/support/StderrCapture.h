#pragma once

#include <cstdio>
#include <string>

namespace korvane::testing {

// Sends everything written to file descriptor 2 into a temporary file until destroyed, and lets
// the test read what arrived. Not for concurrent use with another capture.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();

    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    std::string text() const;

private:
    std::FILE* sink_ = nullptr;
    int savedStderr_ = -1;
};

}  // namespace korvane::testing
