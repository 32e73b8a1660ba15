#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// Display names of the ordinary keys, indexed by the Mac virtual key codes that bindings keep
// (the X11 layer maps them to keys by position). 77 keys have a name; the keypad, F16 and above
// and code 52 have none.
class KeyCodeNames {
public:
    KeyCodeNames() = delete;

    // The key's name, or "Key" followed by the code in decimal when it has none (52 gives "Key52").
    static std::string name(std::uint16_t keyCode);

    // The table entry alone, without the "Key<n>" stand-in.
    static std::optional<std::string_view> entry(std::uint16_t keyCode);
};

}  // namespace korvane
