#pragma once

#include "delivery/focus/FocusTracking.h"
#include "tests/support/fakes/CallJournal.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// The application last seen in front, as the test sets it. Given a journal, it records each
// "focus: lastBundleId" question there.
class FakeFocusTracker final : public FocusTracking {
public:
    explicit FakeFocusTracker(std::shared_ptr<CallJournal> journal = nullptr);

    std::optional<std::string> lastBundleId() const override;
    void setLastBundleId(std::optional<std::string> bundleId);

private:
    JournalWriter journal_;
    mutable std::mutex mutex_;
    std::optional<std::string> bundleId_;
};

// Records which applications were asked to expose their accessibility tree, and given a journal,
// "accessibility: enableAccessibility <bundle id>" there.
class FakeAccessibilityPreparer final : public AccessibilityPreparing {
public:
    explicit FakeAccessibilityPreparer(std::shared_ptr<CallJournal> journal = nullptr);

    void enableAccessibility(const std::string& bundleId) override;
    std::vector<std::string> preparedApps() const;

private:
    JournalWriter journal_;
    mutable std::mutex mutex_;
    std::vector<std::string> prepared_;
};

}  // namespace korvane::testing
