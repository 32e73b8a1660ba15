#include "core/session/DesktopShortcutText.h"

#include <string_view>

namespace korvane {

namespace {

// Each modifier's name in one syntax, in our canonical order; nothing for one it cannot write.
struct ModifierNames {
    std::string_view function;  // the logo (Super) key
    std::string_view control;
    std::string_view option;  // Alt
    std::string_view shift;
};

constexpr ModifierNames kXdg{"LOGO", "CTRL", "ALT", "SHIFT"};
constexpr ModifierNames kSway{"Mod4", "Ctrl", "Alt", "Shift"};
constexpr ModifierNames kHyprland{"SUPER", "CTRL", "ALT", "SHIFT"};

std::optional<std::string> modifierList(const ChordModifierSet& modifiers, const ModifierNames& names,
                                        std::string_view separator)
{
    if (modifiers.contains(ChordModifier::command)) {
        return std::nullopt;
    }
    std::string list;
    for (const ChordModifier modifier : kAllChordModifiers) {
        if (!modifiers.contains(modifier)) {
            continue;
        }
        if (!list.empty()) {
            list += separator;
        }
        switch (modifier) {
        case ChordModifier::function:
            list += names.function;
            break;
        case ChordModifier::control:
            list += names.control;
            break;
        case ChordModifier::option:
            list += names.option;
            break;
        case ChordModifier::shift:
            list += names.shift;
            break;
        case ChordModifier::command:
            break;
        }
    }
    return list;
}

// "Ctrl+Shift+space" and the like: the modifiers and the key joined by `separator`.
std::optional<std::string> chord(const ShortcutKeys& keys, const ModifierNames& names, std::string_view separator)
{
    std::optional<std::string> modifiers = modifierList(keys.modifiers, names, separator);
    if (!modifiers || keys.keyName.empty()) {
        return std::nullopt;
    }
    return modifiers->empty() ? keys.keyName : *modifiers + std::string(separator) + keys.keyName;
}

}  // namespace

std::optional<std::string> xdgShortcutTrigger(const ShortcutKeys& keys)
{
    return chord(keys, kXdg, "+");
}

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
        const std::optional<std::string> keysText = chord(keys, kSway, "+");
        if (!keysText) {
            return std::nullopt;
        }
        if (!hold) {
            return "bindsym " + *keysText + " exec korvane --toggle";
        }
        return "bindsym " + *keysText + " exec korvane --start\nbindsym --release " + *keysText +
               " exec korvane --stop";
    }
    case CompositorFamily::hyprland: {
        const std::optional<std::string> modifiers = modifierList(keys.modifiers, kHyprland, " ");
        if (!modifiers || keys.keyName.empty()) {
            return std::nullopt;
        }
        const std::string keysText = *modifiers + ", " + keys.keyName;
        if (!hold) {
            return "bind = " + keysText + ", exec, korvane --toggle";
        }
        return "bind = " + keysText + ", exec, korvane --start\nbindr = " + keysText + ", exec, korvane --stop";
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
