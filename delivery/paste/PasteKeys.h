#pragma once

#include "delivery/paste/KeySynthesizer.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// The chord that pastes into a target, and whether the target reads the PRIMARY selection rather
// than the clipboard (so the transcript must own PRIMARY too).
struct PasteKeys {
    KeyChord chord{{KeyModifier::control}, "v"};
    bool alsoPrimary = false;

    friend bool operator==(const PasteKeys&, const PasteKeys&) = default;
};

// The paste keys for a target window class and its focused element's subrole. Terminals take
// Ctrl+Shift+V (Ctrl+V is a control character there); xterm and rxvt paste PRIMARY with
// Shift+Insert; everything else takes Ctrl+V. A user override for the exact class name (settings:
// {"Emacs": "ctrl+y"}) replaces the chord when it parses; the class still decides about PRIMARY.
PasteKeys pasteKeysFor(const std::optional<std::string>& windowClass, const std::optional<std::string>& focusedSubrole,
                       const std::map<std::string, std::string>& overrides);

// "ctrl+shift+v", "shift+Insert", "ctrl+y": modifiers (ctrl or control, shift, alt, super, in any
// letter case) joined by '+', then the key as its X keysym name; a single letter is lowercased
// (X names the unshifted letter). Nothing when a part is empty, a modifier is unknown, the last
// part is a modifier, or it is no keysym name (only ASCII letters, digits and '_').
std::optional<KeyChord> parseKeyChord(std::string_view text);

// The modifiers as parseKeyChord reads them, joined by '+' ("shift+alt"), for log lines.
std::string modifierNames(const std::vector<KeyModifier>& modifiers);

}  // namespace korvane
