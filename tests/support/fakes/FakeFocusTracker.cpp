#include "tests/support/fakes/FakeFocusTracker.h"

#include <utility>

namespace korvane::testing {

std::optional<std::string> FakeFocusTracker::lastBundleId() const
{
    std::lock_guard lock(mutex_);
    return bundleId_;
}

void FakeFocusTracker::setLastBundleId(std::optional<std::string> bundleId)
{
    std::lock_guard lock(mutex_);
    bundleId_ = std::move(bundleId);
}

void FakeAccessibilityPreparer::enableAccessibility(const std::string& bundleId)
{
    std::lock_guard lock(mutex_);
    prepared_.push_back(bundleId);
}

std::vector<std::string> FakeAccessibilityPreparer::preparedApps() const
{
    std::lock_guard lock(mutex_);
    return prepared_;
}

}  // namespace korvane::testing
