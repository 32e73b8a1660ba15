#include "tests/support/fakes/RecordingLog.h"

namespace korvane::testing {

std::function<void(std::string_view)> RecordingLog::sinkFor(const std::shared_ptr<RecordingLog>& log)
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
        if (std::string_view(line).substr(0, prefix.size()) == prefix) {
            matching.push_back(line);
        }
    }
    return matching;
}

void RecordingLog::clear()
{
    std::lock_guard lock(mutex_);
    lines_.clear();
}

}  // namespace korvane::testing
