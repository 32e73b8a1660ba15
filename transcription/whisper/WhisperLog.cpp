#include "transcription/whisper/WhisperLog.h"

#include "base/logging/Logger.h"

#include <whisper.h>

#include <mutex>
#include <string>
#include <utility>

namespace korvane {
namespace {

thread_local std::vector<std::string>* capturedGpuLines = nullptr;

// The libraries hand over pieces of lines (a progress dot, a continuation); a line is logged once
// its newline arrives. Pieces are kept per thread so that two threads' output never mixes.
void forwardToLogger(ggml_log_level level, const char* text, void* /*userData*/)
{
    // Debug output is per decoding step; the log would drown in it and its formatting is paid
    // for on the decoder's thread.
    if (level == GGML_LOG_LEVEL_DEBUG || text == nullptr) {
        return;
    }
    thread_local std::string pending;
    pending += text;
    std::string::size_type newline;
    while ((newline = pending.find('\n')) != std::string::npos) {
        if (newline > 0) {
            const std::string line = pending.substr(0, newline);
            if (capturedGpuLines != nullptr && line.starts_with("whisper_backend_init_gpu: ")) {
                capturedGpuLines->push_back(line);
            }
            Logger::log("whisper.cpp: " + line);
        }
        pending.erase(0, newline + 1);
    }
}

}  // namespace

void routeWhisperLogToLogger()
{
    // whisper_log_set writes a plain global that the library reads without synchronisation, so it
    // is set exactly once, before any other whisper.cpp call of ours.
    static std::once_flag once;
    std::call_once(once, [] { whisper_log_set(forwardToLogger, nullptr); });
}

WhisperGpuLines::WhisperGpuLines() : outer_(std::exchange(capturedGpuLines, &lines_))
{
}

WhisperGpuLines::~WhisperGpuLines()
{
    capturedGpuLines = outer_;
}

}  // namespace korvane
