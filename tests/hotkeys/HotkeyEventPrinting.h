#pragma once

#include "hotkeys/HotkeyEvent.h"

#include <ostream>

namespace korvane {

// Lets GoogleTest show events by name in failure messages.
inline void PrintTo(HotkeyEvent event, std::ostream* out)
{
    *out << name(event);
}

}  // namespace korvane
