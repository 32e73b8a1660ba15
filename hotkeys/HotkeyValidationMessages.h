#pragma once

#include <string_view>

namespace korvane {

// What the shortcut recorder has just seen, as far as the binding rules are concerned.
enum class HotkeyRecordingSituation {
    keyWithoutModifier,      // an ordinary key other than Escape, no modifier held
    keyWithFunction,         // an ordinary key while the function key is held
    chordWithoutFunction,    // two or more modifiers alone, the function key not among them
    validChordCandidate,     // an acceptable modifier-only chord
    validKeyComboCandidate,  // an acceptable key combination
    chordForDesktop,         // modifiers alone, where the desktop binds the shortcut (Wayland)
};

// Errors are drawn in the platform's red; the note about the function key in the secondary text
// colour, since it is advice rather than a refusal.
enum class HotkeyMessageTone { error, note };

struct HotkeyValidationMessage {
    std::string_view text;  // UTF-8; empty when there is nothing to say
    HotkeyMessageTone tone;
};

inline constexpr std::string_view kAddModifierMessage = "Add at least one modifier key.";
// The function key's role is played by the logo key, which the user knows as Super.
inline constexpr std::string_view kFunctionWithKeyMessage =
    "Super cannot be combined with a regular key. Use Super with another modifier instead.";
inline constexpr std::string_view kChordNeedsFunctionMessage =
    "A modifier-only shortcut must include Super, such as Alt+Super. Without it, the shortcut would also fire inside "
    "ordinary shortcuts like Ctrl+Alt+T.";
inline constexpr std::string_view kChordForDesktopMessage =
    "In a Wayland session the desktop binds the shortcut, and it needs an ordinary key: add one to the modifiers.";
inline constexpr std::string_view kFunctionKeyNoteMessage =
    "Note: Super is the logo key. Some desktops keep Super combinations for themselves, and then the shortcut "
    "cannot fire. Test it before relying on it.";

constexpr HotkeyValidationMessage validationMessage(HotkeyRecordingSituation situation)
{
    switch (situation) {
    case HotkeyRecordingSituation::keyWithoutModifier:
        return {kAddModifierMessage, HotkeyMessageTone::error};
    case HotkeyRecordingSituation::keyWithFunction:
        return {kFunctionWithKeyMessage, HotkeyMessageTone::error};
    case HotkeyRecordingSituation::chordWithoutFunction:
        return {kChordNeedsFunctionMessage, HotkeyMessageTone::error};
    case HotkeyRecordingSituation::validChordCandidate:
        return {kFunctionKeyNoteMessage, HotkeyMessageTone::note};
    case HotkeyRecordingSituation::chordForDesktop:
        return {kChordForDesktopMessage, HotkeyMessageTone::error};
    case HotkeyRecordingSituation::validKeyComboCandidate:
        break;
    }
    return {"", HotkeyMessageTone::error};
}

}  // namespace korvane
