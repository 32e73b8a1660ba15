#pragma once

#include <string_view>

namespace korvane::Logger {

// Writes one diagnostic line ("HH:mm:ss message") to standard error and appends it to
// ~/.config/korvane/debug.log, but only while the "debugLogging" setting is true; otherwise it
// returns at once. Any thread; never throws, never reports a failure.
void log(std::string_view message);

}  // namespace korvane::Logger
