#pragma once

#include "base/logging/Logger.h"

#include <functional>
#include <string_view>

namespace korvane {

// Where a component writes its diagnostic lines. Components that tests need to read log lines from
// take one in their constructor; the default is the application's log, so production code never
// passes one.
using LogSink = std::function<void(std::string_view line)>;

inline LogSink defaultLogSink()
{
    return [](std::string_view line) { Logger::log(line); };
}

}  // namespace korvane
