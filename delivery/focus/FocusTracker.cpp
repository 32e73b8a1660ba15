#include "delivery/focus/FocusTracker.h"

#include <utility>

namespace korvane {

FocusTracker::FocusTracker(ActiveApplicationSource& source, Self self) : source_(source), self_(std::move(self))
{
    if (const std::optional<ActiveApplication> front = source_.activeApplication();
        front && !front->bundleId.empty() && !isOurs(*front)) {
        lastBundleId_ = front->bundleId;
    }
    source_.setOnActivation(
        [this](const std::optional<ActiveApplication>& application) { appDidActivate(application); });
}

FocusTracker::~FocusTracker()
{
    source_.setOnActivation({});
}

std::optional<std::string> FocusTracker::lastBundleId() const
{
    const std::lock_guard lock(lock_);
    return lastBundleId_;
}

bool FocusTracker::isFrontmost(const std::string& bundleId) const
{
    const std::optional<ActiveApplication> front = source_.activeApplication();
    return front && front->bundleId == bundleId;
}

bool FocusTracker::isOurs(const ActiveApplication& application) const
{
    return application.processId == self_.processId || application.bundleId == self_.bundleId;
}

void FocusTracker::appDidActivate(const std::optional<ActiveApplication>& application)
{
    if (!application || application->bundleId.empty() || isOurs(*application)) {
        return;
    }
    const std::lock_guard lock(lock_);
    lastBundleId_ = application->bundleId;
}

}  // namespace korvane
