#pragma once

#include "tests/support/fakes/CallJournal.h"
#include "text/TranscriptCleaning.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// A cleaner that records the raw texts it was given and applies a test-chosen rule (by default
// it returns the text unchanged). Given a journal, it records "cleaner: clean <raw text>" there.
class FakeTranscriptCleaner final : public TranscriptCleaning {
public:
    explicit FakeTranscriptCleaner(std::shared_ptr<CallJournal> journal = nullptr);

    std::string clean(const std::string& rawTranscript) override;

    void setRule(std::function<std::string(const std::string&)> rule);
    // Every raw text cleans to `cleaned`.
    void cleanEverythingTo(std::string cleaned);
    void failWith(std::optional<std::string> text);

    std::vector<std::string> inputs() const;

private:
    JournalWriter journal_;
    mutable std::mutex mutex_;
    std::function<std::string(const std::string&)> rule_;
    std::optional<std::string> error_;
    std::vector<std::string> inputs_;
};

}  // namespace korvane::testing
