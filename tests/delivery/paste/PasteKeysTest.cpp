// SPDX-License-Identifier: MIT
// The paste chord for a target, the chord syntax of the settings, and the key code for a keysym.
#include "delivery/paste/PasteKeys.h"
#include "delivery/paste/KeyCodeChoice.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace korvane {
namespace {

const KeyChord kCtrlV{{KeyModifier::control}, "v"};
const KeyChord kCtrlShiftV{{KeyModifier::control, KeyModifier::shift}, "v"};
const KeyChord kShiftInsert{{KeyModifier::shift}, "Insert"};
const std::optional<std::string> kNone;

TEST(PasteKeys, TerminalsGetTheirOwnChordAndXtermStylePastesOwnPrimary)
{
    const std::map<std::string, std::string> overrides{
        {"Emacs", "ctrl+y"}, {"XTerm", "ctrl+shift+v"}, {"Gedit", "ctrl+nonsense+v"}};
    const std::vector<std::tuple<std::optional<std::string>, std::optional<std::string>, PasteKeys>> cases{
        {"Gedit", kNone, {kCtrlV, false}},  // an override that does not parse is ignored
        {kNone, kNone, {kCtrlV, false}},
        {"Gnome-terminal", kNone, {kCtrlShiftV, false}},
        {"ALACRITTY", kNone, {kCtrlShiftV, false}},
        {"st-256color", kNone, {kCtrlShiftV, false}},
        {"Code", "AXTerminal", {kCtrlShiftV, false}},
        {"xterm", kNone, {kShiftInsert, true}},
        {"URxvt", "AXTerminal", {kShiftInsert, true}},
        {"Emacs", kNone, {{{KeyModifier::control}, "y"}, false}},
        {"emacs", kNone, {kCtrlV, false}},      // override keys are exact class names
        {"XTerm", kNone, {kCtrlShiftV, true}},  // the class still decides about PRIMARY
    };
    for (const auto& [windowClass, subrole, expected] : cases) {
        EXPECT_EQ(pasteKeysFor(windowClass, subrole, overrides), expected)
            << windowClass.value_or("(none)") << " / " << subrole.value_or("(none)");
    }
}

TEST(PasteKeys, ParsesChordsAsWrittenInTheSettings)
{
    const std::vector<std::pair<std::string, std::optional<KeyChord>>> cases{
        {"ctrl+shift+v", kCtrlShiftV},
        {"Control + Shift + V", kCtrlShiftV},
        {"shift+Insert", kShiftInsert},
        {"ctrl+ctrl+v", kCtrlV},
        {"alt+super+F5", KeyChord{{KeyModifier::alt, KeyModifier::super}, "F5"}},
        {"", std::nullopt},
        {"ctrl++v", std::nullopt},
        {"hyper+v", std::nullopt},
        {"ctrl+shift", std::nullopt},
        {"ctrl+page up", std::nullopt},  // not a keysym name: X writes Page_Up
        {"ctrl+v\x01", std::nullopt},
        {"ctrl+\xc3\xa4", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseKeyChord(text), expected) << "'" << text << "'";
    }
    EXPECT_EQ(modifierNames({KeyModifier::shift, KeyModifier::alt, KeyModifier::control, KeyModifier::super}),
              "shift+alt+ctrl+super");
}

TEST(KeyCodeChoice, ControlLevelWinsThenBaseLevelThenFallback)
{
    constexpr std::uint32_t v = 0x76;
    constexpr std::uint32_t c = 0x63;
    constexpr std::uint32_t em = 0x6cd;  // Cyrillic, on the V key
    const std::vector<std::tuple<const char*, std::vector<KeyLevels>, std::uint32_t, unsigned, unsigned>> cases{
        {"v under Control on another key", {{40, 0, v}, {55, v, em}}, v, 33, 55},
        {"only a base level", {{54, c, c}, {60, 0, v}}, v, 33, 60},
        {"first in the order given", {{61, v, v}, {60, v, v}}, v, 33, 61},
        {"no key produces v", {{55, em, em}}, v, 33, 33},
        {"key code 0 ignored", {{0, v, v}, {0, 0, v}, {70, 0, v}}, v, 33, 70},
        {"fallback 0 replaced", {}, v, 0, kFallbackKeyCodeForV},
        {"no keysym asked for", {{40, 0, 0}}, 0, 33, 33},
    };
    for (const auto& [name, keys, keysym, fallback, expected] : cases) {
        EXPECT_EQ(chooseKeyCode(keys, keysym, fallback), expected) << name;
    }
}

}  // namespace
}  // namespace korvane
