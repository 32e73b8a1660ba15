#pragma once

#include "hotkeys/ChordModifierSet.h"

#include <Qt>

#include <cstdint>
#include <optional>

class QKeyEvent;

namespace korvane {

// Turns the key events of our own windows into what shortcut bindings are made of.

// Control, Alt and Shift as themselves; Meta, which Qt reports for the Super (logo) key on X11, as
// the function key, whose role the logo key plays here. Command has no Qt modifier of its own.
ChordModifierSet chordModifiersOf(Qt::KeyboardModifiers modifiers);

// The modifiers of a key event as the window system sent them (on X11: those held before the key
// went down or up). QKeyEvent::modifiers() flips, for a modifier key, the modifier of its Qt key,
// which is the key at the current level: Alt pressed after Shift is Meta there, and the flip would
// add a 🌐 nobody holds.
ChordModifierSet chordModifiersOf(const QKeyEvent& event);

// The keysym of the pressed key at its first level in the first group, by which it is known
// whatever else is held: on X11 from the server's keymap (so Shift+1 is still the 1 key, Alt
// pressed after Shift still Alt_L, and a Cyrillic layout's letters their US positions), elsewhere
// the keysym that Qt's key names. Nothing for keys without one.
std::optional<std::uint32_t> baseKeysymOf(const QKeyEvent& event);

}  // namespace korvane
