#include "core/shell/AccessibilitySettingsCommand.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace korvane {
namespace {

struct CommandCase {
    const char* desktop;
    std::set<std::string> installed;
    std::optional<std::vector<std::string>> command;
};

TEST(AccessibilitySettingsCommand, PicksTheDesktopsOwnToolWhenItIsInstalled)
{
    using Command = std::vector<std::string>;
    const std::set<std::string> everything{
        "gnome-control-center",         "systemsettings",     "systemsettings5",      "cinnamon-settings",
        "xfce4-accessibility-settings", "mate-at-properties", "budgie-control-center"};
    const CommandCase cases[] = {
        {"GNOME", everything, Command{"gnome-control-center", "universal-access"}},
        {"ubuntu:GNOME", everything, Command{"gnome-control-center", "universal-access"}},
        {"KDE", everything, Command{"systemsettings", "kcm_access"}},
        {"KDE", {"systemsettings5"}, Command{"systemsettings5", "kcm_access"}},
        {"X-Cinnamon", everything, Command{"cinnamon-settings", "accessibility"}},
        {"XFCE", everything, Command{"xfce4-accessibility-settings"}},
        {"MATE", everything, Command{"mate-at-properties"}},
        {"Budgie:GNOME", everything, Command{"budgie-control-center", "universal-access"}},
        // A later entry serves when the first names no known desktop.
        {"pop:GNOME", everything, Command{"gnome-control-center", "universal-access"}},
        // The tool must be there; another desktop's tool does not stand in.
        {"GNOME", {"systemsettings"}, std::nullopt},
        {"LXQt", everything, std::nullopt},
        {"", everything, std::nullopt},
        {":", everything, std::nullopt},
        {"gnome", everything, Command{"gnome-control-center", "universal-access"}},
    };
    for (const CommandCase& c : cases) {
        const auto command = accessibilitySettingsCommand(
            c.desktop, [&c](const std::string& program) { return c.installed.count(program) > 0; });
        EXPECT_EQ(command, c.command) << "XDG_CURRENT_DESKTOP=" << c.desktop;
    }
}

}  // namespace
}  // namespace korvane
