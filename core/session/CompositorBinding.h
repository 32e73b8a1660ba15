#pragma once

#include "core/settings/HotkeyMode.h"
#include "hotkeys/DesktopShortcutSyntax.h"

#include <optional>
#include <string>

namespace korvane {

// Compositors whose own configuration binds keys to commands, by how it is written.
enum class CompositorFamily {
    sway,      // sway and i3: "bindsym Ctrl+Shift+space exec ..."
    hyprland,  // "bind = CTRL SHIFT, space, exec, ..."
    other,     // said in words
};

CompositorFamily compositorFamilyOf(const std::string& desktop);

// What to add to the compositor's configuration so that the shortcut drives Korvane in `mode`:
// for toggle one line running `korvane --toggle`; for hold, `--start` on the press and `--stop`
// on the release. For other compositors, a sentence saying the same. Nothing when the keys cannot
// be written there.
std::optional<std::string> compositorBindingText(CompositorFamily family, const ShortcutKeys& keys, HotkeyMode mode);

}  // namespace korvane
