#include "tests/support/fakes/FakeFocusTracker.h"

#include <utility>

namespace korvane::testing {

FakeFocusTracker::FakeFocusTracker(std::shared_ptr<CallJournal> journal) : journal_("focus", std::move(journal))
{
}

std::optional<std::string> FakeFocusTracker::lastBundleId() const
{
    std::lock_guard lock(mutex_);
    journal_("lastBundleId");
    return bundleId_;
}

void FakeFocusTracker::setLastBundleId(std::optional<std::string> bundleId)
{
    std::lock_guard lock(mutex_);
    bundleId_ = std::move(bundleId);
}

FakeAccessibilityPreparer::FakeAccessibilityPreparer(std::shared_ptr<CallJournal> journal)
    : journal_("accessibility", std::move(journal))
{
}

void FakeAccessibilityPreparer::enableAccessibility(const std::string& bundleId)
{
    std::lock_guard lock(mutex_);
    journal_("enableAccessibility " + bundleId);
    prepared_.push_back(bundleId);
}

std::vector<std::string> FakeAccessibilityPreparer::preparedApps() const
{
    std::lock_guard lock(mutex_);
    return prepared_;
}

}  // namespace korvane::testing
