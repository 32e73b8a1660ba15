#include "core/session/CompositorBinding.h"

namespace korvane {

CompositorFamily compositorFamilyOf(const std::string& desktop)
{
    if (desktop == "sway" || desktop == "i3") {
        return CompositorFamily::sway;
    }
    if (desktop == "Hyprland") {
        return CompositorFamily::hyprland;
    }
    return CompositorFamily::other;
}

std::optional<std::string> compositorBindingText(CompositorFamily family, const ShortcutKeys& keys, HotkeyMode mode)
{
    const bool hold = mode == HotkeyMode::hold;
    switch (family) {
    case CompositorFamily::sway: {
        const std::optional<std::string> written = swayKeys(keys);
        if (!written) {
            return std::nullopt;
        }
        if (!hold) {
            return "bindsym " + *written + " exec korvane --toggle";
        }
        return "bindsym " + *written + " exec korvane --start\nbindsym --release " + *written + " exec korvane --stop";
    }
    case CompositorFamily::hyprland: {
        const std::optional<std::string> written = hyprlandKeys(keys);
        if (!written) {
            return std::nullopt;
        }
        if (!hold) {
            return "bind = " + *written + ", exec, korvane --toggle";
        }
        return "bind = " + *written + ", exec, korvane --start\nbindr = " + *written + ", exec, korvane --stop";
    }
    case CompositorFamily::other:
        break;
    }
    if (!hold) {
        return std::string("In your desktop's keyboard settings, add a shortcut that runs: korvane --toggle");
    }
    return std::string("In your desktop's keyboard settings, add a shortcut that runs \"korvane --start\" when "
                       "pressed and \"korvane --stop\" when released. Where shortcuts can only run a command on "
                       "the press, choose toggle mode and \"korvane --toggle\".");
}

}  // namespace korvane
