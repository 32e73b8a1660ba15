// Placeholder until the logger lands: silent, as when "debugLogging" is off.
#include "core/logging/Logger.h"

namespace korvane::Logger {

void log(std::string_view) {}

}  // namespace korvane::Logger
