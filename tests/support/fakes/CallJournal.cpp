#include "tests/support/fakes/CallJournal.h"

#include <utility>

namespace korvane::testing {

void CallJournal::record(std::string_view who, std::string_view what)
{
    std::string entry(who);
    entry += ": ";
    entry += what;
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
}

std::vector<std::string> CallJournal::entries() const
{
    std::lock_guard lock(mutex_);
    return entries_;
}

void CallJournal::clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

JournalWriter::JournalWriter(std::string who, std::shared_ptr<CallJournal> journal)
    : who_(std::move(who)), journal_(std::move(journal))
{
}

void JournalWriter::operator()(std::string_view what) const
{
    if (journal_) {
        journal_->record(who_, what);
    }
}

}  // namespace korvane::testing
