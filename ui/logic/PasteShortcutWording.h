#pragma once

#include <string>

namespace korvane {

// The status texts name the paste shortcut the way a Mac keyboard labels it ("press Cmd+V",
// "press ⌘V"); here the shortcut is Ctrl+V. Returns `text` with each of those phrases replaced by
// "press Ctrl+V", and otherwise unchanged.
std::string withLocalPasteShortcut(std::string text);

}  // namespace korvane
