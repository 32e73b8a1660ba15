#pragma once

#include <filesystem>
#include <string_view>

namespace korvane::Logger {

// Writes one diagnostic line ("HH:mm:ss message") to standard error and appends it to
// ~/.config/korvane/debug.log, but only while the "debugLogging" setting is true; otherwise it
// returns at once. Any thread; never throws, never reports a failure.
void log(std::string_view message);

// The switch log() consults. It is a plain atomic flag so that a call with logging off costs a
// single load: the settings store that owns "debugLogging" sets it whenever it reads or changes the
// document (see AppSettings), and tests may set it directly. Off until someone turns it on.
void setEnabled(bool enabled) noexcept;
bool isEnabled() noexcept;

// Where log() appends: ~/.config/korvane/debug.log under the current home directory (looked up on
// each call, so a test that moves HOME moves the log with it). Empty when no home is known.
std::filesystem::path logFilePath();

}  // namespace korvane::Logger
