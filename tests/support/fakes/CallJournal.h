#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::testing {

// One ordered record of the calls that several fakes received, so a test can check the order in
// which the code under test reached different collaborators, which no single fake can see. Each
// entry reads "who: what", for example "recorder: stop" or "delivery: deliver hello". Safe from
// any thread.
class CallJournal {
public:
    void record(std::string_view who, std::string_view what);

    // Every entry so far, oldest first, ready for ElementsAre and the other container matchers.
    std::vector<std::string> entries() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// A fake's hold on a journal it may share with other fakes: it records under the fake's name, and
// does nothing when the test gave no journal.
class JournalWriter {
public:
    JournalWriter(std::string who, std::shared_ptr<CallJournal> journal);

    void operator()(std::string_view what) const;

private:
    std::string who_;
    std::shared_ptr<CallJournal> journal_;
};

}  // namespace korvane::testing
