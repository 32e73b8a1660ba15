#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvane {

// What a key is called on a Linux keyboard, by its keysym: a character key by its character
// (letters in capitals, "Ä" for ä), and the named keys as they are printed on PC keyboards and
// desktop shortcut dialogs ("Print", "Keypad 7", "F18", "Volume Up"). Nothing for keysyms this
// table does not know (the older national sets among them).
std::optional<std::string> keysymName(std::uint32_t keysym);

}  // namespace korvane
