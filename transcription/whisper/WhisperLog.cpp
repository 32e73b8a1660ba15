#include "transcription/whisper/WhisperLog.h"

#include "base/logging/Logger.h"

#include <whisper.h>

#include <mutex>
#include <string>

namespace korvane {
namespace {

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
            Logger::log("whisper.cpp: " + pending.substr(0, newline));
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

}  // namespace korvane
