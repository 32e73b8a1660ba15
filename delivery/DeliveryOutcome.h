#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace korvane {

// Why a transcript could not be pasted and was left on (or could not even reach) the clipboard.
enum class DeliveryFallbackReason {
    noAccessibility,
    targetUnavailable,
    targetNotFrontmost,
    focusNotEditable,
    eventCreationFailed,
};

inline constexpr std::array<DeliveryFallbackReason, 5> kDeliveryFallbackReasons{
    DeliveryFallbackReason::noAccessibility,     DeliveryFallbackReason::targetUnavailable,
    DeliveryFallbackReason::targetNotFrontmost,  DeliveryFallbackReason::focusNotEditable,
    DeliveryFallbackReason::eventCreationFailed,
};

// The case name, as written in log lines ("noAccessibility").
std::string_view caseName(DeliveryFallbackReason reason);

// The short text the user sees ("Accessibility permission needed").
std::string_view reasonText(DeliveryFallbackReason reason);

// How a delivery ended. `characters` counts user-perceived characters (grapheme clusters).
struct DeliveryOutcome {
    enum class Kind { pasteSent, copiedToClipboard, notDelivered };

    Kind kind = Kind::notDelivered;
    DeliveryFallbackReason reason = DeliveryFallbackReason::eventCreationFailed;  // unused for pasteSent
    std::size_t characters = 0;                                                   // unused for notDelivered

    static DeliveryOutcome pasteSent(std::size_t characters) { return {Kind::pasteSent, {}, characters}; }
    static DeliveryOutcome copiedToClipboard(DeliveryFallbackReason reason, std::size_t characters)
    {
        return {Kind::copiedToClipboard, reason, characters};
    }
    static DeliveryOutcome notDelivered(DeliveryFallbackReason reason) { return {Kind::notDelivered, reason, 0}; }

    friend bool operator==(const DeliveryOutcome&, const DeliveryOutcome&) = default;
};

}  // namespace korvane
