#include "hotkeys/DesktopShortcutSyntax.h"

#include <string_view>

namespace korvane {

namespace {

// Each modifier's name in one syntax.
struct ModifierNames {
    std::string_view function;  // the logo (Super) key
    std::string_view control;
    std::string_view option;  // Alt
    std::string_view shift;
};

constexpr ModifierNames kXdg{"LOGO", "CTRL", "ALT", "SHIFT"};
constexpr ModifierNames kSway{"Mod4", "Ctrl", "Alt", "Shift"};
constexpr ModifierNames kHyprland{"SUPER", "CTRL", "ALT", "SHIFT"};

// The modifiers in canonical order joined by `separator`, then `beforeKey` and the key.
std::optional<std::string> written(const ShortcutKeys& keys, const ModifierNames& names, std::string_view separator,
                                   std::string_view beforeKey)
{
    if (keys.modifiers.contains(ChordModifier::command) || keys.keyName.empty()) {
        return std::nullopt;
    }
    std::string text;
    for (const ChordModifier modifier : kAllChordModifiers) {
        if (!keys.modifiers.contains(modifier)) {
            continue;
        }
        if (!text.empty()) {
            text += separator;
        }
        switch (modifier) {
        case ChordModifier::function:
            text += names.function;
            break;
        case ChordModifier::control:
            text += names.control;
            break;
        case ChordModifier::option:
            text += names.option;
            break;
        case ChordModifier::shift:
            text += names.shift;
            break;
        case ChordModifier::command:
            break;
        }
    }
    if (!text.empty() || beforeKey != separator) {
        text += beforeKey;
    }
    return text + keys.keyName;
}

}  // namespace

std::optional<std::string> xdgShortcutTrigger(const ShortcutKeys& keys)
{
    return written(keys, kXdg, "+", "+");
}

std::optional<std::string> swayKeys(const ShortcutKeys& keys)
{
    return written(keys, kSway, "+", "+");
}

std::optional<std::string> hyprlandKeys(const ShortcutKeys& keys)
{
    return written(keys, kHyprland, " ", ", ");
}

}  // namespace korvane
