#pragma once

#include "core/shell/ShellAlerts.h"
#include "hotkeys/HotkeyBinding.h"

namespace korvane {

// A new shortcut could not be registered; `kept` is the one still in use.
ShellAlert hotkeyFailureAlert(const HotkeyBinding& attempted, const HotkeyBinding& kept);

// A modifier-only shortcut stays inactive for want of the input permission. The first button
// opens the accessibility settings.
ShellAlert hotkeyInactiveAlert(const HotkeyBinding& binding);

inline constexpr const char* kOpenAccessibilitySettingsButton = "Open Accessibility Settings";

}  // namespace korvane
