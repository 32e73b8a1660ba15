#pragma once

#include "hotkeys/ChordModifier.h"
#include "hotkeys/ChordModifierSet.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvane {

// The keyboard's modifier map as the window system keeps it: for each of the eight modifier bits
// (Shift, Lock, Control, Mod1 to Mod5, bit i being 1 << i), the base keysyms of the keys that set it.
struct ModifierMap {
    std::array<std::vector<std::uint32_t>, 8> keysyms;
};

// Which keys play which shortcut modifier, and which modifier bits a grab needs. Control, Alt,
// Shift and Super (the logo key, in the role of the globe key) are the first four; command is a
// Meta or Hyper key that the keymap gives a modifier bit of its own. Most keymaps put Meta beside
// Alt and Hyper beside Super, and there command is not available.
class ModifierMapping {
public:
    ModifierMapping() = delete;

    // The modifier a key plays, by its base keysym; nothing for ordinary keys, the lock keys and
    // a Meta or Hyper key without a bit of its own.
    static std::optional<ChordModifier> roleOf(std::uint32_t keysym, const ModifierMap& map);

    // The modifiers held while these keys (base keysyms of the keys down) are down.
    static ChordModifierSet heldModifiers(const std::vector<std::uint32_t>& keysymsDown, const ModifierMap& map);

    // The modifier bits a key grab for these modifiers needs; nothing when one of them has no bit
    // on this keyboard.
    static std::optional<unsigned> grabMask(ChordModifierSet modifiers, const ModifierMap& map);

    // The bits of Caps Lock (or Shift Lock), Num Lock and Scroll Lock in this map, leaving out
    // those that `grabMask` already holds.
    static unsigned lockMask(const ModifierMap& map, unsigned grabMask = 0);

    // Every combination of the lock bits, the empty one first: a grab must be made once for each,
    // since a key grab only matches the exact modifier state.
    static std::vector<unsigned> lockCombinations(unsigned lockMask);
};

}  // namespace korvane
