#pragma once

#include "hotkeys/ChordModifierSet.h"

#include <optional>
#include <string>

namespace korvane {

// A key combination as a desktop's configuration names it: the modifiers, and the key by its
// keysym name as xkbcommon spells it ("space", "F1", "a", "Return").
struct ShortcutKeys {
    ChordModifierSet modifiers;
    std::string keyName;
};

// Each of these is nothing when the key has no name or a modifier has none in that syntax (a Meta
// or Hyper key playing command has none anywhere).

// The trigger a desktop portal is asked for, in the XDG shortcuts syntax: "CTRL+SHIFT+space".
std::optional<std::string> xdgShortcutTrigger(const ShortcutKeys& keys);

// sway's and i3's bindsym form: "Ctrl+Shift+space", Super as Mod4.
std::optional<std::string> swayKeys(const ShortcutKeys& keys);

// Hyprland's bind form, modifiers then key: "CTRL SHIFT, space".
std::optional<std::string> hyprlandKeys(const ShortcutKeys& keys);

}  // namespace korvane
