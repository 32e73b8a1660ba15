#pragma once

#include "hotkeys/ChordModifier.h"
#include "hotkeys/ChordModifierSet.h"
#include "hotkeys/HotkeyBinding.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// How shortcuts are named wherever the user reads them: the key names printed on a PC keyboard,
// joined by "+" ("Ctrl+Shift+Space", "Super+Alt"). The glyph form (HotkeyBinding::displayText)
// stays the form of the log and of stored values.

// "Ctrl", "Alt", "Shift", "Super" (the logo key, in the globe key's role) and "Meta" (command).
std::string_view keyName(ChordModifier modifier);

// The modifiers' names in the order desktops write them, Ctrl, Alt, Shift, Super, Meta, joined
// by "+"; "" for none.
std::string shortcutLabel(ChordModifierSet modifiers);

// The ordinary key of a key combination: the PC name of the key in that position ("Backspace"
// where a Mac says "Delete"), else the name of the key the code was recorded from; "Key" and the
// code only for a code that stands for no key at all.
std::string keyLabel(std::uint16_t keyCode);

// The whole shortcut: the modifiers, then the key for a key combination.
std::string shortcutLabel(const HotkeyBinding& binding);

}  // namespace korvane
