#pragma once

#include <optional>
#include <string>

namespace korvane {

// Which application the user was working in before ours. Implemented by FocusTracker (delivery/).
class FocusTracking {
public:
    virtual ~FocusTracking() = default;

    // Identifier of the last application seen in front that is not Korvane itself; absent when
    // none has been seen. Any thread (the tracker guards it with its own lock).
    virtual std::optional<std::string> lastBundleId() const = 0;
};

// Asks an application to expose its accessibility tree before we query it. Background thread;
// never fails (the outcome is only logged).
class AccessibilityPreparing {
public:
    virtual ~AccessibilityPreparing() = default;
    virtual void enableAccessibility(const std::string& bundleId) = 0;
};

}  // namespace korvane
