#include "core/shell/AccessibilitySettingsCommand.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace korvane {

namespace {

struct SettingsTool {
    std::string_view desktop;  // an XDG_CURRENT_DESKTOP entry, lower case
    std::string_view program;
    std::string_view page;  // the accessibility page's argument; empty opens the tool itself
};

// Where several tools serve a desktop, the first one installed wins (Plasma 6 names its tool
// systemsettings, Plasma 5 systemsettings5 on some distributions).
constexpr std::array kTools{
    SettingsTool{"gnome", "gnome-control-center", "universal-access"},
    SettingsTool{"unity", "gnome-control-center", "universal-access"},
    SettingsTool{"ubuntu", "gnome-control-center", "universal-access"},
    SettingsTool{"budgie", "budgie-control-center", "universal-access"},
    SettingsTool{"kde", "systemsettings", "kcm_access"},
    SettingsTool{"kde", "systemsettings5", "kcm_access"},
    SettingsTool{"x-cinnamon", "cinnamon-settings", "accessibility"},
    SettingsTool{"xfce", "xfce4-accessibility-settings", ""},
    SettingsTool{"mate", "mate-at-properties", ""},
};

std::string lowerCase(std::string_view text)
{
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

}  // namespace

std::optional<std::vector<std::string>>
accessibilitySettingsCommand(std::string_view currentDesktop,
                             const std::function<bool(const std::string& program)>& isInstalled)
{
    std::size_t start = 0;
    while (start <= currentDesktop.size()) {
        const std::size_t end = std::min(currentDesktop.find(':', start), currentDesktop.size());
        const std::string entry = lowerCase(currentDesktop.substr(start, end - start));
        for (const SettingsTool& tool : kTools) {
            if (!entry.empty() && tool.desktop == entry && isInstalled(std::string(tool.program))) {
                std::vector<std::string> command{std::string(tool.program)};
                if (!tool.page.empty()) {
                    command.emplace_back(tool.page);
                }
                return command;
            }
        }
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace korvane
