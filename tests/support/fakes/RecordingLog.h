#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::testing {

// Collects log lines handed to an injectable log function. Safe from any thread.
class RecordingLog {
public:
    // A log function that appends to this record; it keeps the record alive.
    static std::function<void(std::string_view)> sinkFor(const std::shared_ptr<RecordingLog>& log);

    void append(std::string_view line);
    std::vector<std::string> lines() const;

    // Lines that begin with `prefix`.
    std::vector<std::string> linesStartingWith(std::string_view prefix) const;

    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace korvane::testing
