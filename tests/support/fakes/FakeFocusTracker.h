#pragma once

#include "core/ports/FocusTracking.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// The application last seen in front, as the test sets it.
class FakeFocusTracker final : public FocusTracking {
public:
    std::optional<std::string> lastBundleId() const override;
    void setLastBundleId(std::optional<std::string> bundleId);

private:
    mutable std::mutex mutex_;
    std::optional<std::string> bundleId_;
};

// Records which applications were asked to expose their accessibility tree.
class FakeAccessibilityPreparer final : public AccessibilityPreparing {
public:
    void enableAccessibility(const std::string& bundleId) override;
    std::vector<std::string> preparedApps() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> prepared_;
};

}  // namespace korvane::testing
