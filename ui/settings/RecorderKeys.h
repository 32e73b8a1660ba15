#pragma once

#include "hotkeys/ChordModifier.h"
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

// The modifier a key plays when it is itself a modifier key; nothing for other keys (AltGr and the
// lock keys included, which choose characters rather than shortcuts).
std::optional<ChordModifier> chordModifierOfKey(int qtKey);

// The Mac key code that stands for the pressed key, by its position: on X11 from the key's first
// keysym in the first group (so Shift+1 is still the 1 key, and a Cyrillic layout's letters are
// their US positions), elsewhere from Qt's key. Nothing for keys no binding can name.
std::optional<std::uint16_t> macKeyCodeOf(const QKeyEvent& event);

}  // namespace korvane
