#pragma once

#include <string>
#include <vector>

namespace korvane {

// Sends whisper.cpp's and ggml's own diagnostics to Logger::log instead of standard error, so they
// appear only while the debug log is on, in the log file with our other lines. Idempotent and
// thread-safe; the transcriber calls it before its first use of the library.
void routeWhisperLogToLogger();

// Keeps the lines about the GPU ("whisper_backend_init_gpu: ...") that whisper.cpp writes on this
// thread while it lives, so that a model load can tell which device whisper.cpp really took. Needs
// routeWhisperLogToLogger(). While one nested in it lives, that one keeps them instead.
class WhisperGpuLines {
public:
    WhisperGpuLines();
    ~WhisperGpuLines();
    WhisperGpuLines(const WhisperGpuLines&) = delete;
    WhisperGpuLines& operator=(const WhisperGpuLines&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
    std::vector<std::string>* outer_;
};

}  // namespace korvane
