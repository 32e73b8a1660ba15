#include "delivery/DeliveryOutcome.h"

namespace korvane {

std::string_view caseName(DeliveryFallbackReason reason)
{
    switch (reason) {
    case DeliveryFallbackReason::noAccessibility:
        return "noAccessibility";
    case DeliveryFallbackReason::targetUnavailable:
        return "targetUnavailable";
    case DeliveryFallbackReason::targetNotFrontmost:
        return "targetNotFrontmost";
    case DeliveryFallbackReason::focusNotEditable:
        return "focusNotEditable";
    case DeliveryFallbackReason::eventCreationFailed:
        return "eventCreationFailed";
    }
    return "unknown";
}

std::string_view reasonText(DeliveryFallbackReason reason)
{
    switch (reason) {
    case DeliveryFallbackReason::noAccessibility:
        return "Accessibility permission needed";
    case DeliveryFallbackReason::targetUnavailable:
        return "Target app unavailable";
    case DeliveryFallbackReason::targetNotFrontmost:
        return "Target app not in front";
    case DeliveryFallbackReason::focusNotEditable:
        return "No text field focused";
    case DeliveryFallbackReason::eventCreationFailed:
        return "Paste unavailable";
    }
    return "Paste unavailable";
}

}  // namespace korvane
