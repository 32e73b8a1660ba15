#pragma once

#include "hotkeys/ChordModifierSet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// A global shortcut: either one ordinary key pressed with modifiers (a key combination, the key
// kept as a Mac virtual key code) or modifier keys alone (a modifier-only chord). Plain value.
class HotkeyBinding {
public:
    enum class Kind { keyCombo, modifierChord };

    static HotkeyBinding keyCombo(ChordModifierSet modifiers, std::uint16_t keyCode)
    {
        return HotkeyBinding(Kind::keyCombo, modifiers, keyCode);
    }
    static HotkeyBinding modifierChord(ChordModifierSet modifiers)
    {
        return HotkeyBinding(Kind::modifierChord, modifiers, 0);
    }

    // The default shortcut, ⌃⇧Space (control and shift with key code 49).
    static const HotkeyBinding& fallback();

    // Converts the modifier names and key code kept by the old unversioned settings. Names are
    // read ignoring letter case and unknown ones are dropped; the function key is removed, since
    // a key combination cannot use it. With no modifier left the result is the fallback.
    static HotkeyBinding migrating(const std::vector<std::string>& legacyModifiers, std::uint16_t legacyKeyCode);

    Kind kind() const { return kind_; }
    bool isKeyCombo() const { return kind_ == Kind::keyCombo; }
    bool isModifierChord() const { return kind_ == Kind::modifierChord; }
    const ChordModifierSet& modifiers() const { return modifiers_; }
    // The ordinary key of a key combination; nothing for a chord.
    std::optional<std::uint16_t> keyCode() const
    {
        return isKeyCombo() ? std::optional<std::uint16_t>(keyCode_) : std::nullopt;
    }

    // A key combination needs at least one modifier and never the function key (which cannot be
    // grabbed together with an ordinary key); a chord needs the function key plus at least one
    // other modifier, so that it cannot fire inside ordinary shortcuts.
    bool isValid() const;

    // The modifier glyphs in canonical order, then the key's name for a key combination:
    // ⌃⇧Space, 🌐⌥, ⌥⌘Key52.
    std::string displayText() const;

    // The OR of the modifiers' classic hot-key mask bits; nothing for a chord or for a key
    // combination that holds the function key.
    std::optional<std::uint32_t> carbonModifierMask() const;

    bool operator==(const HotkeyBinding&) const = default;

private:
    HotkeyBinding(Kind kind, ChordModifierSet modifiers, std::uint16_t keyCode)
        : kind_(kind), modifiers_(modifiers), keyCode_(keyCode)
    {
    }

    Kind kind_;
    ChordModifierSet modifiers_;
    std::uint16_t keyCode_;  // always 0 for a chord, so that equality ignores it there
};

}  // namespace korvane
