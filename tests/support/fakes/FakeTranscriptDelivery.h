#pragma once

#include "delivery/TranscriptDelivering.h"
#include "tests/support/DeliveryPrinting.h"
#include "tests/support/fakes/CallJournal.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// Records each delivery request. By default the outcome is held back until the test calls
// completeNext(), as a real delivery answers only after its delays; with answerImmediately()
// the completion runs before deliver() returns. Main thread only, like the real delivery. Given a
// journal, it records "delivery: deliver <text>" there.
class FakeTranscriptDelivery final : public TranscriptDelivering {
public:
    struct Request {
        std::string text;
        std::optional<std::string> targetApp;
    };
    using Completion = std::function<void(DeliveryOutcome)>;

    explicit FakeTranscriptDelivery(std::shared_ptr<CallJournal> journal = nullptr);

    void deliver(const std::string& text, const std::optional<std::string>& targetApp, Completion completion) override;

    // nullopt holds outcomes back again.
    void answerImmediately(std::optional<DeliveryOutcome> outcome);
    // Make deliver() throw FakeError(text) without ever answering.
    void failWith(std::optional<std::string> text);

    // Answers the oldest request still waiting; false when none waits.
    bool completeNext(const DeliveryOutcome& outcome);

    // The completion of the most recent request, kept even after it was answered, so a test can
    // report an outcome twice or late.
    Completion lastCompletion() const;

    const std::vector<Request>& requests() const { return requests_; }
    std::size_t waitingCount() const { return waiting_.size(); }

private:
    JournalWriter journal_;
    std::optional<DeliveryOutcome> immediateOutcome_;
    std::optional<std::string> error_;
    std::vector<Request> requests_;
    std::deque<Completion> waiting_;
    Completion last_;
};

}  // namespace korvane::testing
