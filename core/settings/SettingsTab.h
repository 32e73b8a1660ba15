#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace korvane {

// The tabs of the settings window, in the order they are shown.
enum class SettingsTab { general, vocabulary, updates, about };

inline constexpr std::array<SettingsTab, 4> kSettingsTabs{SettingsTab::general, SettingsTab::vocabulary,
                                                          SettingsTab::updates, SettingsTab::about};

// The form kept under "settingsTab": the case name.
constexpr std::string_view storedForm(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return "general";
    case SettingsTab::vocabulary:
        return "vocabulary";
    case SettingsTab::updates:
        return "updates";
    case SettingsTab::about:
        return "about";
    }
    return "general";
}

// A stored case name gives its tab; anything else, including nothing stored, gives general.
constexpr SettingsTab settingsTabFromStored(std::optional<std::string_view> stored)
{
    for (SettingsTab tab : kSettingsTabs) {
        if (stored == storedForm(tab)) {
            return tab;
        }
    }
    return SettingsTab::general;
}

}  // namespace korvane
