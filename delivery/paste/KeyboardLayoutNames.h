#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The names a keymap is compiled from (the rules are always evdev's). Each field may hold a
// comma-separated list, one entry per layout ("us,de" with variant "dvorak,").
struct KeyboardLayoutNames {
    std::string model;
    std::string layout;
    std::string variant;
    std::string options;

    friend bool operator==(const KeyboardLayoutNames&, const KeyboardLayoutNames&) = default;
};

// Debian's keyboard configuration (/etc/default/keyboard) as the shell would read it:
// XKBMODEL, XKBLAYOUT, XKBVARIANT and XKBOPTIONS assignments, values bare or in single or double
// quotes, the last assignment winning. Comments, blank lines, other keys and lines the shell would
// choke on are skipped. Nothing when no layout is named, since the rest means nothing without one.
std::optional<KeyboardLayoutNames> parseKeyboardDefaults(std::string_view text);

// A variable of the environment, nothing when unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The layout the desktop most likely applies to our keys: XKB_DEFAULT_LAYOUT (with its
// XKB_DEFAULT_MODEL, _VARIANT and _OPTIONS) when the environment names one, as xkbcommon itself
// would; otherwise the keyboard configuration when there is one and it names a layout; otherwise
// plain "us". One source supplies all names: a variant only makes sense beside its own layout.
KeyboardLayoutNames chooseLayoutNames(const EnvironmentLookup& environment,
                                      const std::optional<std::string>& keyboardDefaults);

}  // namespace korvane
