#pragma once

#include "delivery/paste/KeySynthesizer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// The keymap of Korvane's own virtual keyboard: every key a paste chord may name, at the evdev code
// it has on a US keyboard, so that applications that match shortcuts by physical key (Chromium)
// agree with those that match by symbol. The compositor switches clients to this keymap while our
// keyboard types and back at the user's next key, so it needs nothing of the user's layout.
class PasteKeymap {
public:
    // The keymap in xkb's text format (XKB_KEYMAP_FORMAT_TEXT_V1).
    static std::string text();

    // The evdev code of the key with this X keysym name ("v", "Insert", "Control_L"); nothing for a
    // key the keymap lacks.
    static std::optional<std::uint32_t> evdevCode(std::string_view keysymName);

    // The depressed-modifiers mask for these modifiers, in the keymap's real modifier bits.
    static std::uint32_t modifierMask(const std::vector<KeyModifier>& modifiers);
};

}  // namespace korvane
