#include "hotkeys/KeysymNames.h"

#include "hotkeys/Keysyms.h"

#include <array>
#include <string_view>
#include <utility>

namespace korvane {

namespace {

using NamedKeysym = std::pair<std::uint32_t, std::string_view>;

// Named keys outside the character ranges. Keypad keys also appear under their navigation
// keysyms, which are the first level of the keypad when Num Lock is off.
constexpr std::array<NamedKeysym, 70> kNamedKeys{{
    {0xfe50, "Dead Grave"},
    {0xfe51, "Dead Acute"},
    {0xfe52, "Dead Circumflex"},
    {0xfe53, "Dead Tilde"},
    {0xfe57, "Dead Diaeresis"},
    {0xfe5b, "Dead Cedilla"},
    {keysyms::kBackSpace, "Backspace"},
    {keysyms::kTab, "Tab"},
    {keysyms::kReturn, "Return"},
    {0xff13, "Pause"},
    {0xff15, "SysRq"},
    {keysyms::kEscape, "Escape"},
    {keysyms::kHome, "Home"},
    {keysyms::kLeft, "Left"},
    {keysyms::kUp, "Up"},
    {keysyms::kRight, "Right"},
    {keysyms::kDown, "Down"},
    {keysyms::kPageUp, "PageUp"},
    {keysyms::kPageDown, "PageDown"},
    {keysyms::kEnd, "End"},
    {0xff60, "Select"},
    {0xff61, "Print"},
    {0xff62, "Execute"},
    {keysyms::kInsert, "Insert"},
    {0xff65, "Undo"},
    {0xff66, "Redo"},
    {0xff67, "Menu"},
    {0xff68, "Find"},
    {0xff69, "Cancel"},
    {0xff6a, "Help"},
    {0xff6b, "Break"},
    {0xff80, "Keypad Space"},
    {0xff89, "Keypad Tab"},
    {keysyms::kKeypadEnter, "Keypad Enter"},
    {0xff95, "Keypad Home"},
    {0xff96, "Keypad Left"},
    {0xff97, "Keypad Up"},
    {0xff98, "Keypad Right"},
    {0xff99, "Keypad Down"},
    {0xff9a, "Keypad PageUp"},
    {0xff9b, "Keypad PageDown"},
    {0xff9c, "Keypad End"},
    {0xff9d, "Keypad Begin"},
    {0xff9e, "Keypad Insert"},
    {0xff9f, "Keypad Delete"},
    {keysyms::kKeypadMultiply, "Keypad *"},
    {keysyms::kKeypadAdd, "Keypad +"},
    {0xffac, "Keypad ,"},
    {keysyms::kKeypadSubtract, "Keypad -"},
    {keysyms::kKeypadDecimal, "Keypad ."},
    {keysyms::kKeypadDivide, "Keypad /"},
    {keysyms::kKeypadEqual, "Keypad ="},
    {keysyms::kDelete, "Delete"},
    {0x1008ff11, "Volume Down"},
    {0x1008ff12, "Mute"},
    {0x1008ff13, "Volume Up"},
    {0x1008ff14, "Play"},
    {0x1008ff15, "Stop"},
    {0x1008ff16, "Previous Track"},
    {0x1008ff17, "Next Track"},
    {0x1008ff18, "Home Page"},
    {0x1008ff19, "Mail"},
    {0x1008ff1b, "Search"},
    {0x1008ff1c, "Record"},
    {0x1008ff1d, "Calculator"},
    {0x1008ff26, "Back"},
    {0x1008ff27, "Forward"},
    {0x1008ff29, "Refresh"},
    {0x1008ff31, "Pause Audio"},
    {0x1008ffb2, "Mic Mute"},
}};

constexpr std::uint32_t kUnicodeKeysymBase = 0x01000000;

std::string utf8(std::uint32_t codePoint)
{
    std::string text;
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xc0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3f));
    } else {
        text += static_cast<char>(0xe0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3f));
        text += static_cast<char>(0x80 | (codePoint & 0x3f));
    }
    return text;
}

// Latin-1 keysyms are their code points; small letters are named by their capitals, as keys are
// labelled. ß, ÿ and the division sign have no capital here.
std::uint32_t capitalOfLatin1(std::uint32_t codePoint)
{
    if ((codePoint >= 'a' && codePoint <= 'z') || (codePoint >= 0xe0 && codePoint <= 0xfe && codePoint != 0xf7)) {
        return codePoint - 0x20;
    }
    return codePoint;
}

}  // namespace

std::optional<std::string> keysymName(std::uint32_t keysym)
{
    if (keysym == ' ') {
        return "Space";
    }
    if ((keysym > ' ' && keysym < 0x7f) || (keysym > 0xa0 && keysym <= 0xff)) {
        return utf8(capitalOfLatin1(keysym));
    }
    if (keysym >= keysyms::kF1 && keysym < keysyms::function(36)) {
        return "F" + std::to_string(keysym - keysyms::kF1 + 1);
    }
    if (keysym >= keysyms::keypadDigit(0) && keysym <= keysyms::keypadDigit(9)) {
        return "Keypad " + std::to_string(keysym - keysyms::keypadDigit(0));
    }
    // Unicode keysyms below U+8000 are the ones shortcut key codes reach; control characters and
    // surrogates name no key.
    if (keysym >= kUnicodeKeysymBase + 0xa1 && keysym < kUnicodeKeysymBase + 0x8000 &&
        !(keysym >= kUnicodeKeysymBase + 0xd800 && keysym < kUnicodeKeysymBase + 0xe000)) {
        return utf8(keysym - kUnicodeKeysymBase);
    }
    for (const auto& [named, name] : kNamedKeys) {
        if (named == keysym) {
            return std::string(name);
        }
    }
    return std::nullopt;
}

}  // namespace korvane
