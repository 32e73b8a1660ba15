#pragma once

#include "hotkeys/HotkeyBinding.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// The versioned record in which the shortcut is stored, as compact JSON, for example
// {"version":2,"kind":"keyCombo","modifiers":["control","shift"],"keyCode":49} or
// {"version":2,"kind":"modifierChord","modifiers":["function","option"]}.
//
// Reading is in two steps on purpose: decode() checks only the shape of the document (what a
// later version may still share with this one), binding() then decides whether this version
// accepts what the record says.
struct StoredHotkeyBinding {
    enum class Kind { keyCombo, modifierChord };

    static constexpr std::int64_t kCurrentVersion = 2;

    std::int64_t version = kCurrentVersion;
    Kind kind = Kind::keyCombo;
    std::vector<std::string> modifiers;   // raw values, as stored (not yet checked)
    std::optional<std::int64_t> keyCode;  // absent for chords

    // The JSON text of the binding: members version, kind, modifiers and, for a key combination
    // only, keyCode. Nothing if encoding fails. The binding's validity is not checked here.
    static std::optional<std::string> encode(const HotkeyBinding& binding);

    // Reads a record. The document must be one JSON object with "version" (an integer), "kind"
    // ("keyCombo" or "modifierChord") and "modifiers" (an array of strings); "keyCode" may be
    // missing or null, otherwise it must be an integer. Members may come in any order; others are
    // ignored. Nothing when the text is not such a document.
    static std::optional<StoredHotkeyBinding> decode(std::string_view json);

    // The record's JSON text, keyCode left out when absent.
    std::string toJson() const;

    // The binding the record describes, or nothing when this version does not accept it: a
    // version above 2, an unknown modifier name, a chord without the function key or with fewer
    // than two modifiers, or a key combination without a key code in 0...65535, without a
    // modifier or with the function key.
    std::optional<HotkeyBinding> binding() const;

    bool operator==(const StoredHotkeyBinding&) const = default;
};

}  // namespace korvane
