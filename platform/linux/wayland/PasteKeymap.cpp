#include "platform/linux/wayland/PasteKeymap.h"

#include <array>

namespace korvane {

namespace {

struct Key {
    std::string_view keysym;
    std::uint32_t evdev;
};

// Letters, digits and the keys of the terminals' paste chords, at their US positions.
constexpr std::array kKeys{
    Key{"q", 16},        Key{"w", 17},       Key{"e", 18},         Key{"r", 19},       Key{"t", 20},
    Key{"y", 21},        Key{"u", 22},       Key{"i", 23},         Key{"o", 24},       Key{"p", 25},
    Key{"a", 30},        Key{"s", 31},       Key{"d", 32},         Key{"f", 33},       Key{"g", 34},
    Key{"h", 35},        Key{"j", 36},       Key{"k", 37},         Key{"l", 38},       Key{"z", 44},
    Key{"x", 45},        Key{"c", 46},       Key{"v", 47},         Key{"b", 48},       Key{"n", 49},
    Key{"m", 50},        Key{"1", 2},        Key{"2", 3},          Key{"3", 4},        Key{"4", 5},
    Key{"5", 6},         Key{"6", 7},        Key{"7", 8},          Key{"8", 9},        Key{"9", 10},
    Key{"0", 11},        Key{"Escape", 1},   Key{"Tab", 15},       Key{"Return", 28},  Key{"space", 57},
    Key{"Insert", 110},  Key{"Delete", 111}, Key{"Control_L", 29}, Key{"Shift_L", 42}, Key{"Alt_L", 56},
    Key{"Super_L", 125},
};

// xkb numbers keys 8 above evdev.
constexpr std::uint32_t kXkbOffset = 8;

// The real modifiers in the fixed order every xkb keymap gives them, and the key that sets each.
struct Modifier {
    KeyModifier modifier;
    std::string_view xkbName;
    std::uint32_t bit;
    std::string_view keysym;
};
constexpr std::array kModifiers{
    Modifier{KeyModifier::shift, "Shift", 1U << 0, "Shift_L"},
    Modifier{KeyModifier::control, "Control", 1U << 2, "Control_L"},
    Modifier{KeyModifier::alt, "Mod1", 1U << 3, "Alt_L"},
    Modifier{KeyModifier::super, "Mod4", 1U << 6, "Super_L"},
};

std::string keyName(std::uint32_t evdev)
{
    return "<K" + std::to_string(evdev + kXkbOffset) + ">";
}

}  // namespace

std::string PasteKeymap::text()
{
    std::string keycodes;
    std::string symbols;
    for (const Key& key : kKeys) {
        keycodes += "    " + keyName(key.evdev) + " = " + std::to_string(key.evdev + kXkbOffset) + ";\n";
        symbols += "    key " + keyName(key.evdev) + " { [ " + std::string(key.keysym) + " ] };\n";
    }
    for (const Modifier& modifier : kModifiers) {
        symbols += "    modifier_map " + std::string(modifier.xkbName) + " { " + keyName(*evdevCode(modifier.keysym)) +
                   " };\n";
    }
    return "xkb_keymap {\n"
           "  xkb_keycodes \"korvane\" {\n"
           "    minimum = 8;\n"
           "    maximum = 255;\n" +
           keycodes +
           "  };\n"
           "  xkb_types \"korvane\" { include \"complete\" };\n"
           "  xkb_compatibility \"korvane\" { include \"complete\" };\n"
           "  xkb_symbols \"korvane\" {\n" +
           symbols +
           "  };\n"
           "};\n";
}

std::optional<std::uint32_t> PasteKeymap::evdevCode(std::string_view keysymName)
{
    for (const Key& key : kKeys) {
        if (key.keysym == keysymName) {
            return key.evdev;
        }
    }
    return std::nullopt;
}

std::uint32_t PasteKeymap::modifierMask(const std::vector<KeyModifier>& modifiers)
{
    std::uint32_t mask = 0;
    for (const KeyModifier wanted : modifiers) {
        for (const Modifier& modifier : kModifiers) {
            if (modifier.modifier == wanted) {
                mask |= modifier.bit;
            }
        }
    }
    return mask;
}

}  // namespace korvane
