#include "tests/support/fakes/FakeTranscriptCleaner.h"

#include "tests/support/fakes/FakeError.h"

#include <utility>

namespace korvane::testing {

FakeTranscriptCleaner::FakeTranscriptCleaner(std::shared_ptr<CallJournal> journal)
    : journal_("cleaner", std::move(journal))
{
}

std::string FakeTranscriptCleaner::clean(const std::string& rawTranscript)
{
    std::lock_guard lock(mutex_);
    journal_("clean " + rawTranscript);
    inputs_.push_back(rawTranscript);
    if (error_) {
        throw FakeError(*error_);
    }
    return rule_ ? rule_(rawTranscript) : rawTranscript;
}

void FakeTranscriptCleaner::setRule(std::function<std::string(const std::string&)> rule)
{
    std::lock_guard lock(mutex_);
    rule_ = std::move(rule);
}

void FakeTranscriptCleaner::cleanEverythingTo(std::string cleaned)
{
    setRule([cleaned = std::move(cleaned)](const std::string&) { return cleaned; });
}

void FakeTranscriptCleaner::failWith(std::optional<std::string> text)
{
    std::lock_guard lock(mutex_);
    error_ = std::move(text);
}

std::vector<std::string> FakeTranscriptCleaner::inputs() const
{
    std::lock_guard lock(mutex_);
    return inputs_;
}

}  // namespace korvane::testing
