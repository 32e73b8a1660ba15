#include "tests/support/fakes/FakeTranscriptDelivery.h"

#include "tests/support/fakes/FakeError.h"

#include <utility>

namespace korvane::testing {

FakeTranscriptDelivery::FakeTranscriptDelivery(std::shared_ptr<CallJournal> journal)
    : journal_("delivery", std::move(journal))
{
}

void FakeTranscriptDelivery::deliver(const std::string& text, const std::optional<std::string>& targetApp,
                                     Completion completion)
{
    journal_("deliver " + text);
    requests_.push_back({text, targetApp});
    last_ = completion;
    if (error_) {
        throw FakeError(*error_);
    }
    if (immediateOutcome_) {
        completion(*immediateOutcome_);
        return;
    }
    waiting_.push_back(std::move(completion));
}

void FakeTranscriptDelivery::answerImmediately(std::optional<DeliveryOutcome> outcome)
{
    immediateOutcome_ = outcome;
}

void FakeTranscriptDelivery::failWith(std::optional<std::string> text)
{
    error_ = std::move(text);
}

bool FakeTranscriptDelivery::completeNext(const DeliveryOutcome& outcome)
{
    if (waiting_.empty()) {
        return false;
    }
    Completion completion = std::move(waiting_.front());
    waiting_.pop_front();
    completion(outcome);
    return true;
}

FakeTranscriptDelivery::Completion FakeTranscriptDelivery::lastCompletion() const
{
    return last_;
}

}  // namespace korvane::testing
