#include "hotkeys/ModifierChordState.h"

namespace korvane {

std::optional<HotkeyEvent> ModifierChordState::observe(ChordModifierSet held)
{
    const bool matches = held == target;
    if (needsRelease) {
        if (!matches) {
            needsRelease = false;
        }
        return std::nullopt;
    }
    if (matches && !isActive) {
        isActive = true;
        return HotkeyEvent::pressed;
    }
    if (!matches && isActive) {
        isActive = false;
        return HotkeyEvent::released;
    }
    return std::nullopt;
}

}  // namespace korvane
