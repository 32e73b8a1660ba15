// SPDX-License-Identifier: MIT
// Debian's keyboard configuration as the shell reads it, and where the layout's names come from.
#include "delivery/paste/KeyboardLayoutNames.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace korvane {
namespace {

TEST(KeyboardLayoutNames, ReadsTheKeyboardConfigurationAsTheShellWould)
{
    const auto layout = [](std::string name) { return KeyboardLayoutNames{"", std::move(name), "", ""}; };
    const std::vector<std::pair<std::string, std::optional<KeyboardLayoutNames>>> cases{
        {"# KEYBOARD CONFIGURATION FILE\n\nXKBMODEL=\"pc105\"\nXKBLAYOUT=\"de,us\"\nXKBVARIANT=\"nodeadkeys,\"\n"
         "XKBOPTIONS=\"ctrl:swapcaps\"\n\nBACKSPACE=\"guess\"\n",
         KeyboardLayoutNames{"pc105", "de,us", "nodeadkeys,", "ctrl:swapcaps"}},
        {"XKBLAYOUT='gb'  # comment\r\n", layout("gb")},
        {"  export XKBLAYOUT=\"us\"'\"'x\n", layout("us\"x")},
        {"XKBLAYOUT=\"a\\\"b\\c\"", layout("a\"b\\c")},
        {"XKBLAYOUT=us\nXKBLAYOUT=de\n", layout("de")},  // the last assignment wins
        {"XKBLAYOUT=a#b", layout("a#b")},                // '#' starts a comment only as a word
        {"# XKBLAYOUT=\"fr\"\n", std::nullopt},
        {"XKBLAYOUT=\"fr\nXKBMODEL=pc105\n", std::nullopt},  // an open quote
        {"XKBLAYOUT='fr\n", std::nullopt},
        {"XKBLAYOUT=a\\ b", layout("a b")},
        {"XKBLAYOUT=fr de\n", std::nullopt},  // sh would run `de`
        {"XKBLAYOUT =fr\nXKBLAYOUTS=fr\n", std::nullopt},
        {"XKBLAYOUT=\"\"\nXKBMODEL=pc105\n", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseKeyboardDefaults(text), expected) << text;
    }
}

TEST(KeyboardLayoutNames, PrefersTheEnvironmentThenTheConfigurationThenUs)
{
    const auto from = [](std::map<std::string, std::string> variables) -> EnvironmentLookup {
        return [variables](const std::string& name) {
            return variables.contains(name) ? std::optional(variables.at(name)) : std::nullopt;
        };
    };
    const std::string configured = "XKBMODEL=pc105\nXKBLAYOUT=de\n";
    const std::vector<std::tuple<EnvironmentLookup, std::optional<std::string>, KeyboardLayoutNames>> cases{
        {from({{"XKB_DEFAULT_LAYOUT", "us"}, {"XKB_DEFAULT_VARIANT", "dvorak"}}), configured, {"", "us", "dvorak", ""}},
        {from({{"XKB_DEFAULT_VARIANT", "dvorak"}}), configured, {"pc105", "de", "", ""}},  // a variant of no layout
        {from({}), "BACKSPACE=guess\n", {"", "us", "", ""}},
        {from({}), std::nullopt, {"", "us", "", ""}},
    };
    for (const auto& [environment, keyboardDefaults, expected] : cases) {
        EXPECT_EQ(chooseLayoutNames(environment, keyboardDefaults), expected) << keyboardDefaults.value_or("(none)");
    }
}

}  // namespace
}  // namespace korvane
