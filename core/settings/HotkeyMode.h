#pragma once

#include <optional>
#include <string_view>

namespace korvane {

// How the global shortcut drives dictation: `toggle` starts on one press and stops on the next;
// `hold` records while the shortcut is held.
enum class HotkeyMode { toggle, hold };

// The form kept under "hotkeyMode": "toggle" or "hold".
constexpr std::string_view storedForm(HotkeyMode mode)
{
    return mode == HotkeyMode::hold ? "hold" : "toggle";
}

// "hold" gives hold; anything else, including nothing stored, gives toggle.
constexpr HotkeyMode hotkeyModeFromStored(std::optional<std::string_view> stored)
{
    return stored == "hold" ? HotkeyMode::hold : HotkeyMode::toggle;
}

}  // namespace korvane
