#pragma once

#include "base/logging/LogSink.h"
#include "delivery/paste/KeyboardLayoutNames.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

namespace korvane {

// The evdev key code to send for a keysym name ("v", "Insert", "Control_L"); nothing when no key
// produces it.
using KeyCodeLookup = std::function<std::optional<unsigned>(const std::string& keysymName)>;

// Which key produces which keysym in the first layout of a keymap compiled by xkbcommon from the
// installed xkb data. The compositor applies the user's layout to whatever key codes a uinput
// device sends, so to make it see "v" we must press the key that gives "v" in that layout (the
// "." key in Dvorak).
class LayoutKeyCodes {
public:
    // Nothing when xkbcommon cannot compile the names (an unknown layout, no xkb data).
    static std::optional<LayoutKeyCodes> compile(const KeyboardLayoutNames& names);

    // The key whose unshifted level produces the keysym, else the key whose shifted level does;
    // among several, the lowest key code. Nothing for an unknown name or a keysym on no key.
    std::optional<unsigned> evdevCode(const std::string& keysymName) const;

private:
    std::unordered_map<std::uint32_t, unsigned> codes_;  // keysym -> evdev code
};

// The key codes of the session's layout (chooseLayoutNames over this process's environment and
// /etc/default/keyboard), compiled once. A keysym that layout lacks ("v" in a Russian-only layout)
// comes from the US layout's key instead: toolkits match shortcuts in non-Latin layouts by that
// key. Logs the layout in use, and when it does not compile.
KeyCodeLookup sessionKeyCodes(const LogSink& log);

// The same for given names, which tests pick.
KeyCodeLookup keyCodesFor(const KeyboardLayoutNames& names, const LogSink& log);

}  // namespace korvane
