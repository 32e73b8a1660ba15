#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace korvane {

// The five modifier keys a shortcut can use. The declaration order is the canonical order: every
// list or text built from a set of modifiers walks them in this order, never in storage order.
// On X11, function is the logo (Super) key, which plays the globe key's role.
enum class ChordModifier : std::uint8_t { function, control, option, shift, command };

inline constexpr std::array<ChordModifier, 5> kAllChordModifiers{ChordModifier::function, ChordModifier::control,
                                                                 ChordModifier::option, ChordModifier::shift,
                                                                 ChordModifier::command};

// The name stored in a binding record: "function", "control", "option", "shift", "command".
std::string_view rawValue(ChordModifier modifier);

// The name used by the old unversioned settings ("ctrl", "alt", "shift", "cmd"); the function key
// had none there.
std::optional<std::string_view> legacyValue(ChordModifier modifier);

// The symbol shown to the user, as UTF-8: 🌐 ⌃ ⌥ ⇧ ⌘.
std::string_view glyph(ChordModifier modifier);

// The modifier's bit in the classic hot-key modifier mask that bindings are described with
// (control 0x1000, option 0x0800, shift 0x0200, command 0x0100); the function key has none.
std::optional<std::uint32_t> carbonMaskBit(ChordModifier modifier);

// Exact, case-sensitive match of one of the five raw values; anything else gives nothing.
std::optional<ChordModifier> chordModifierFromRawValue(std::string_view text);

// Reads a name from old settings, ignoring letter case: ctrl/control, shift, alt/option,
// cmd/command, fn/function/globe. Anything else gives nothing.
std::optional<ChordModifier> chordModifierFromLegacy(std::string_view text);

}  // namespace korvane
