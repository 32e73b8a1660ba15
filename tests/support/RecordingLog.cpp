#include "tests/support/RecordingLog.h"

#include <utility>

namespace korvane::testing {

LogSink RecordingLog::sink()
{
    return [this](std::string_view line) { append(line); };
}

LogSink RecordingLog::sinkFor(const std::shared_ptr<RecordingLog>& log)
{
    return [log](std::string_view line) { log->append(line); };
}

void RecordingLog::append(std::string_view line)
{
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
}

std::vector<std::string> RecordingLog::lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<std::string> RecordingLog::linesStartingWith(std::string_view prefix) const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> matching;
    for (const auto& line : lines_) {
        if (line.starts_with(prefix)) {
            matching.push_back(line);
        }
    }
    return matching;
}

std::vector<std::string> RecordingLog::take()
{
    std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
}

void RecordingLog::clear()
{
    take();
}

std::string RecordingLog::text() const
{
    std::lock_guard lock(mutex_);
    std::string joined;
    for (const std::string& line : lines_) {
        joined += line + "\n";
    }
    return joined;
}

}  // namespace korvane::testing
