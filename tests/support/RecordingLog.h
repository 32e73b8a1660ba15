#pragma once

#include "base/logging/LogSink.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::testing {

// Collects the lines a component under test writes to its log sink. Safe from any thread, so a
// capture or worker thread may log while the test reads.
class RecordingLog {
public:
    // A sink that appends here; this log must outlive every component given the sink.
    LogSink sink();
    // A sink that keeps `log` alive, for components whose lifetime the test does not bound.
    static LogSink sinkFor(const std::shared_ptr<RecordingLog>& log);

    void append(std::string_view line);
    std::vector<std::string> lines() const;

    // Lines that begin with `prefix`.
    std::vector<std::string> linesStartingWith(std::string_view prefix) const;

    // The lines so far, which are then forgotten: the next check sees only what came after.
    std::vector<std::string> take();
    void clear();

    // The lines so far, one per line of text, for failure messages.
    std::string text() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace korvane::testing
