#pragma once

#include <cstdint>
#include <vector>

namespace korvane {

// What one key produces in the current layout group: the keysym with Control held and the keysym
// with no modifier (0: none).
struct KeyLevels {
    unsigned keyCode = 0;
    std::uint32_t withControl = 0;
    std::uint32_t base = 0;
};

// evdev's V key, for a layout that has no key producing "v" at all.
inline constexpr unsigned kFallbackKeyCodeForV = 55;

// The key to press for `keysym` in a chord with Control. Applications match Ctrl+V on the keysym
// the key gives with Control held, which some layouts (Cyrillic, Greek, Dvorak variants with a
// Latin layer) map to another key than the plain level does; so the first key (in the order given)
// whose Control level produces `keysym` wins, else the first whose base level does, else
// `fallback`. Never key code 0: such entries are skipped, and a fallback of 0 becomes
// kFallbackKeyCodeForV.
unsigned chooseKeyCode(const std::vector<KeyLevels>& keys, std::uint32_t keysym, unsigned fallback);

}  // namespace korvane
