#pragma once

#include "hotkeys/ChordModifierSet.h"
#include "hotkeys/HotkeyEvent.h"

#include <optional>

namespace korvane {

// When a modifier-only chord is pressed and released, from the successive sets of modifiers held.
// The chord matches only when exactly its modifiers are held: adding any other modifier releases
// it, as does letting go of one of its keys.
struct ModifierChordState {
    // A chord already held at creation must be let go once before it can fire.
    ModifierChordState(ChordModifierSet chord, ChordModifierSet held) : target(chord), needsRelease(held == chord) {}

    // One step with the modifiers held now: the event this change makes, if any.
    std::optional<HotkeyEvent> observe(ChordModifierSet held);

    ChordModifierSet target;
    bool isActive = false;      // between a reported press and its release
    bool needsRelease = false;  // the chord must be let go before it may fire
};

}  // namespace korvane
