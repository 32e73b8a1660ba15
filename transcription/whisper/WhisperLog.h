#pragma once

namespace korvane {

// Sends whisper.cpp's and ggml's own diagnostics to Logger::log instead of standard error, so they
// appear only while the debug log is on, in the log file with our other lines. Idempotent and
// thread-safe; the transcriber calls it before its first use of the library.
void routeWhisperLogToLogger();

}  // namespace korvane
