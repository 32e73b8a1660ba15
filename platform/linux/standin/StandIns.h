#pragma once

#include "delivery/TranscriptDelivering.h"
#include "delivery/focus/FocusTracking.h"

#include <optional>
#include <string>

namespace korvane {

// Where Korvane cannot know or safely reach the application the user dictates into (no X server;
// and, until the synthetic paste exists, everywhere for the delivery) these stand in honestly: no
// target is known, and every transcript is left on the clipboard with the "Accessibility
// permission needed" reason, which is what the user would see in any session where pasting is not
// possible.
class NoFocusTracking final : public FocusTracking, public AccessibilityPreparing {
public:
    std::optional<std::string> lastBundleId() const override { return std::nullopt; }
    void enableAccessibility(const std::string&) override {}
};

class ClipboardOnlyDelivery final : public TranscriptDelivering {
public:
    void deliver(const std::string& text, const std::optional<std::string>& targetApp,
                 std::function<void(DeliveryOutcome)> completion) override;
};

}  // namespace korvane
