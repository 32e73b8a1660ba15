#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// A keysym's name as xkbcommon spells it, which is what desktops read in shortcut triggers
// ("space", "F1", "a"); empty for a keysym without one.
std::string xkbKeysymName(std::uint32_t keysym);

}  // namespace korvane
