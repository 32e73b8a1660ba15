#pragma once

#include <cstdint>

// The X keysyms that shortcut decisions name. Keysyms are numbers fixed by the X protocol; they are
// written out here so that decision logic needs no X header (the unit tests compare them with X's
// own definitions). Printable ASCII keys are their character code ('a' is the keysym of A).
namespace korvane::keysyms {

// The ISO lock, latch and shift keys (Level 3 is AltGr), and those that switch the layout group,
// lie from kIsoLock through kIsoLevel5Lock.
inline constexpr std::uint32_t kIsoLock = 0xfe01;
inline constexpr std::uint32_t kIsoLevel3Shift = 0xfe03;
inline constexpr std::uint32_t kIsoNextGroup = 0xfe08;
inline constexpr std::uint32_t kIsoLevel5Lock = 0xfe13;
inline constexpr std::uint32_t kBackSpace = 0xff08;
inline constexpr std::uint32_t kTab = 0xff09;
inline constexpr std::uint32_t kReturn = 0xff0d;
inline constexpr std::uint32_t kScrollLock = 0xff14;
inline constexpr std::uint32_t kEscape = 0xff1b;
inline constexpr std::uint32_t kHome = 0xff50;
inline constexpr std::uint32_t kLeft = 0xff51;
inline constexpr std::uint32_t kUp = 0xff52;
inline constexpr std::uint32_t kRight = 0xff53;
inline constexpr std::uint32_t kDown = 0xff54;
inline constexpr std::uint32_t kPageUp = 0xff55;    // XK_Prior
inline constexpr std::uint32_t kPageDown = 0xff56;  // XK_Next
inline constexpr std::uint32_t kEnd = 0xff57;
inline constexpr std::uint32_t kInsert = 0xff63;
inline constexpr std::uint32_t kModeSwitch = 0xff7e;  // also XK_ISO_Group_Shift
inline constexpr std::uint32_t kNumLock = 0xff7f;
inline constexpr std::uint32_t kKeypadEnter = 0xff8d;
inline constexpr std::uint32_t kKeypadMultiply = 0xffaa;
inline constexpr std::uint32_t kKeypadAdd = 0xffab;
inline constexpr std::uint32_t kKeypadSubtract = 0xffad;
inline constexpr std::uint32_t kKeypadDecimal = 0xffae;
inline constexpr std::uint32_t kKeypadDivide = 0xffaf;
inline constexpr std::uint32_t kKeypad0 = 0xffb0;  // through kKeypad0 + 9
inline constexpr std::uint32_t kKeypadEqual = 0xffbd;
inline constexpr std::uint32_t kF1 = 0xffbe;  // through kF1 + 34 (F35); F1 + n - 1 is Fn
inline constexpr std::uint32_t kShiftL = 0xffe1;
inline constexpr std::uint32_t kShiftR = 0xffe2;
inline constexpr std::uint32_t kControlL = 0xffe3;
inline constexpr std::uint32_t kControlR = 0xffe4;
inline constexpr std::uint32_t kCapsLock = 0xffe5;
inline constexpr std::uint32_t kShiftLock = 0xffe6;
inline constexpr std::uint32_t kMetaL = 0xffe7;
inline constexpr std::uint32_t kMetaR = 0xffe8;
inline constexpr std::uint32_t kAltL = 0xffe9;
inline constexpr std::uint32_t kAltR = 0xffea;
inline constexpr std::uint32_t kSuperL = 0xffeb;
inline constexpr std::uint32_t kSuperR = 0xffec;
inline constexpr std::uint32_t kHyperL = 0xffed;
inline constexpr std::uint32_t kHyperR = 0xffee;
inline constexpr std::uint32_t kDelete = 0xffff;
inline constexpr std::uint32_t kLess = '<';

constexpr std::uint32_t function(int number)
{
    return kF1 + static_cast<std::uint32_t>(number - 1);
}

constexpr std::uint32_t keypadDigit(int digit)
{
    return kKeypad0 + static_cast<std::uint32_t>(digit);
}

}  // namespace korvane::keysyms
