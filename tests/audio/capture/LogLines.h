#pragma once

#include "core/logging/LogSink.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane::testing {

// Collects the recorder's log lines; any thread.
class LogLines {
public:
    LogSink sink()
    {
        return [this](std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        };
    }

    std::vector<std::string> take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(lines_, {});
    }

    // Every line so far, one per line of text, for failure messages.
    std::string text()
    {
        std::lock_guard lock(mutex_);
        std::string joined;
        for (const std::string& line : lines_) {
            joined += line + "\n";
        }
        return joined;
    }

    std::size_t countStartingWith(std::string_view prefix)
    {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count_if(
            lines_.begin(), lines_.end(), [&](const std::string& line) { return line.starts_with(prefix); }));
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace korvane::testing
