#pragma once

#include <string_view>

namespace korvane::SettingsKeys {

// The keys of the settings document. A key's suffix carries its format version; a new format gets
// a new key so that older versions keep reading the old one.
inline constexpr std::string_view modelSize = "modelSize";
inline constexpr std::string_view hotkeyMode = "hotkeyMode";
inline constexpr std::string_view hotkeyBindingV2 = "hotkeyBindingV2";
inline constexpr std::string_view hotkeyModifiers = "hotkeyModifiers";
inline constexpr std::string_view hotkeyKeyCode = "hotkeyKeyCode";
inline constexpr std::string_view vocabularyV1 = "vocabularyV1";
inline constexpr std::string_view settingsTab = "settingsTab";
inline constexpr std::string_view vocabularyPrompt = "vocabularyPrompt";
inline constexpr std::string_view debugLogging = "debugLogging";
inline constexpr std::string_view pasteKeys = "pasteKeys";
inline constexpr std::string_view modelCatalogue = "modelCatalogue";
inline constexpr std::string_view automaticallyChecksForUpdates = "automaticallyChecksForUpdates";
inline constexpr std::string_view updateFeedURL = "updateFeedURL";
inline constexpr std::string_view lastUpdateCheck = "lastUpdateCheck";
inline constexpr std::string_view inputDevice = "inputDevice";
inline constexpr std::string_view unloadModelAfterMinutes = "unloadModelAfterMinutes";
inline constexpr std::string_view useGPU = "useGPU";
inline constexpr std::string_view remoteDesktopRestoreToken = "remoteDesktopRestoreToken";
inline constexpr std::string_view remoteDesktopRefused = "remoteDesktopRefused";

}  // namespace korvane::SettingsKeys
