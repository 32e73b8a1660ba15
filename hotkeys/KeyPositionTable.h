#pragma once

#include <cstdint>
#include <optional>

namespace korvane {

// Stored bindings keep Mac virtual key codes; on X11 a code stands for the keysym of the key at
// that position on a US keyboard (0 = a, 1 = s, 36 = Return, 49 = space, 122 = F1, ...), and the
// key is then found in whatever layout is active. Keys the table lacks (ä, Print, media keys) get
// a code above 127 derived from their keysym, so they can still be recorded and grabbed.
class KeyPositionTable {
public:
    KeyPositionTable() = delete;

    // The keysym a key code stands for; nothing for codes that name no key (52, the modifier
    // keys, unused ranges).
    static std::optional<std::uint32_t> keysym(std::uint16_t keyCode);

    // The key code that stands for a keysym: the table's code, else one above 127; nothing for
    // keysyms outside the ranges such codes cover.
    static std::optional<std::uint16_t> keyCode(std::uint32_t keysym);
};

}  // namespace korvane
