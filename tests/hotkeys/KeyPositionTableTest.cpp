#include "hotkeys/KeyPositionTable.h"
#include "hotkeys/KeyCodeNames.h"
#include "hotkeys/Keysyms.h"

// Only X's keysym numbers, to check ours against: no Xlib, so no macros in the way.
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <optional>

namespace korvane {
namespace {

TEST(KeyPositionTable, EveryCodeLeadsToAKeysymThatLeadsBackToIt)
{
    int named = 0;
    for (unsigned code = 0; code <= 0xffff; ++code) {
        const auto keysym = KeyPositionTable::keysym(static_cast<std::uint16_t>(code));
        if (!keysym) {
            continue;
        }
        ++named;
        EXPECT_EQ(KeyPositionTable::keyCode(*keysym), code) << "keysym " << std::hex << *keysym;
    }
    EXPECT_GT(named, 10000);
    // Every key with a display name has a key to grab.
    for (unsigned code = 0; code < 128; ++code) {
        if (KeyCodeNames::entry(static_cast<std::uint16_t>(code))) {
            EXPECT_TRUE(KeyPositionTable::keysym(static_cast<std::uint16_t>(code))) << "named key " << code;
        }
    }
}

struct PositionCase {
    std::uint16_t code;
    std::optional<std::uint32_t> keysym;
};

// The places where Mac codes and PC keys are easily confused: letters stand for their US position,
// the two delete keys, Help for Insert, the scattered function-key codes, the gap in the keypad.
TEST(KeyPositionTable, CodesNameTheKeyInTheirUsPosition)
{
    const PositionCase cases[] = {
        {0, XK_a},       {6, XK_z},         {16, XK_y},         {10, XK_less},      {22, XK_6},
        {50, XK_grave},  {49, XK_space},    {51, XK_BackSpace}, {117, XK_Delete},   {114, XK_Insert},
        {116, XK_Prior}, {99, XK_F3},       {106, XK_F16},      {90, XK_F20},       {89, XK_KP_7},
        {91, XK_KP_8},   {76, XK_KP_Enter}, {52, std::nullopt}, {71, std::nullopt}, {127, std::nullopt},
    };
    for (const PositionCase& position : cases) {
        EXPECT_EQ(KeyPositionTable::keysym(position.code), position.keysym) << "key code " << position.code;
    }
}

TEST(KeyPositionTable, KeysOutsideTheTableGetStableCodesAbove127)
{
    const std::uint32_t outside[] = {XK_adiaeresis,    XK_ssharp,     XK_section,
                                     XK_Print,         XK_Menu,       XK_Pause,
                                     XK_KP_Home,       XK_dead_acute, XK_ISO_Level3_Shift,
                                     XF86XK_AudioMute, XK_Cyrillic_a, XK_Greek_alpha,
                                     0x10020ac /* U+20AC as a keysym */};
    for (const std::uint32_t keysym : outside) {
        const auto code = KeyPositionTable::keyCode(keysym);
        ASSERT_TRUE(code) << std::hex << keysym;
        EXPECT_GT(*code, 127) << std::hex << keysym;
        EXPECT_EQ(KeyPositionTable::keysym(*code), keysym) << *code;
    }
    EXPECT_EQ(KeyPositionTable::keyCode(XK_adiaeresis), 0x120 + (XK_adiaeresis - 0x20));
    EXPECT_EQ(KeyPositionTable::keyCode(0x1001f600), std::nullopt);  // beyond what 16 bits can name
    // A table key has its table code only.
    EXPECT_EQ(KeyPositionTable::keyCode(XK_a), 0);
    EXPECT_EQ(KeyPositionTable::keysym(static_cast<std::uint16_t>(0x120 + XK_a - 0x20)), std::nullopt);
}

TEST(Keysyms, AreTheNumbersXDefines)
{
    using namespace keysyms;
    const std::pair<std::uint32_t, std::uint32_t> pairs[] = {
        {kIsoLock, XK_ISO_Lock},
        {kIsoLevel3Shift, XK_ISO_Level3_Shift},
        {kIsoNextGroup, XK_ISO_Next_Group},
        {kIsoLevel5Lock, XK_ISO_Level5_Lock},
        {kBackSpace, XK_BackSpace},
        {kTab, XK_Tab},
        {kReturn, XK_Return},
        {kScrollLock, XK_Scroll_Lock},
        {kEscape, XK_Escape},
        {kHome, XK_Home},
        {kLeft, XK_Left},
        {kUp, XK_Up},
        {kRight, XK_Right},
        {kDown, XK_Down},
        {kPageUp, XK_Prior},
        {kPageDown, XK_Next},
        {kEnd, XK_End},
        {kInsert, XK_Insert},
        {kModeSwitch, XK_Mode_switch},
        {kNumLock, XK_Num_Lock},
        {kKeypadEnter, XK_KP_Enter},
        {kKeypadMultiply, XK_KP_Multiply},
        {kKeypadAdd, XK_KP_Add},
        {kKeypadSubtract, XK_KP_Subtract},
        {kKeypadDecimal, XK_KP_Decimal},
        {kKeypadDivide, XK_KP_Divide},
        {keypadDigit(9), XK_KP_9},
        {kKeypadEqual, XK_KP_Equal},
        {function(1), XK_F1},
        {function(20), XK_F20},
        {kShiftL, XK_Shift_L},
        {kShiftR, XK_Shift_R},
        {kControlL, XK_Control_L},
        {kControlR, XK_Control_R},
        {kCapsLock, XK_Caps_Lock},
        {kShiftLock, XK_Shift_Lock},
        {kMetaL, XK_Meta_L},
        {kMetaR, XK_Meta_R},
        {kAltL, XK_Alt_L},
        {kAltR, XK_Alt_R},
        {kSuperL, XK_Super_L},
        {kSuperR, XK_Super_R},
        {kHyperL, XK_Hyper_L},
        {kHyperR, XK_Hyper_R},
        {kDelete, XK_Delete},
        {kLess, XK_less},
    };
    for (const auto& [ours, xs] : pairs) {
        EXPECT_EQ(ours, xs) << std::hex << xs;
    }
}

}  // namespace
}  // namespace korvane
