#pragma once

#include "core/shell/ShellAlerts.h"
#include "hotkeys/HotkeyBinding.h"

#include <string>

namespace korvane {

// A new shortcut could not be registered; `kept` is the one still in use.
ShellAlert hotkeyFailureAlert(const HotkeyBinding& attempted, const HotkeyBinding& kept);

// A modifier-only shortcut stays inactive for want of the input permission. The first button
// opens the accessibility settings.
ShellAlert hotkeyInactiveAlert(const HotkeyBinding& binding);

// The desktop (through its portal) did not give Korvane the shortcut, or took it back; `reason`
// says how, in a sentence without its full stop.
ShellAlert desktopShortcutFailureAlert(const HotkeyBinding& binding, const std::string& reason);

inline constexpr const char* kOpenAccessibilitySettingsButton = "Open Accessibility Settings";

}  // namespace korvane
