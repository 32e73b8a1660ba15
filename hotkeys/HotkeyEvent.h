#pragma once

#include <string_view>

namespace korvane {

// What a hotkey backend reports: the shortcut went down, or it was let go.
enum class HotkeyEvent { pressed, released };

// "pressed" or "released", as the log writes it.
constexpr std::string_view name(HotkeyEvent event)
{
    return event == HotkeyEvent::pressed ? "pressed" : "released";
}

}  // namespace korvane
