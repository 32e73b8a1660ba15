#pragma once

#include "core/settings/HotkeyMode.h"
#include "core/settings/SettingsTab.h"
#include "hotkeys/HotkeyBinding.h"
#include "text/Vocabulary.h"
#include "transcription/models/ModelNameRule.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

class SettingsStore;

// The user's choices, typed: defaults and reading rules on top of the per-user store. Nothing is
// cached here; every read asks the store, so a value written by one part is seen by all at once.
//
// Every getter may be called from any thread. Setters are meant for the main thread but are safe
// anywhere.
class AppSettings {
public:
    // Whether this instance feeds the logger's on/off switch from its "debugLogging" value.
    enum class LogSwitch { leaveAlone, drive };

    // The process-wide instance over defaultFile(), created on first use; it drives the logger's
    // switch. Lives until the process exits.
    static AppSettings& shared();

    // $XDG_CONFIG_HOME/korvane/settings.json (normally ~/.config/korvane/settings.json).
    static std::filesystem::path defaultFile();

    explicit AppSettings(std::filesystem::path file, LogSwitch logSwitch = LogSwitch::leaveAlone);
    ~AppSettings();

    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    // The underlying store, for the parts that read and write plain keys themselves.
    SettingsStore& defaults() { return *store_; }
    const SettingsStore& defaults() const { return *store_; }

    // "modelSize": one of the offered model names, else the default of offeredModels().
    std::string modelSize() const;
    bool setModelSize(std::string_view name);

    // The models modelSize() chooses from: the built-in ones until the application, at start-up,
    // offers those of a model catalogue file.
    ModelNameRule offeredModels() const;
    void offerModels(ModelNameRule models);

    // "modelCatalogue": the path of a model catalogue file set by hand, or nothing when absent or
    // not a string; never written by Korvane.
    std::optional<std::string> modelCatalogue() const;

    // "hotkeyMode": "hold" gives hold, anything else toggle.
    HotkeyMode hotkeyMode() const;
    bool setHotkeyMode(HotkeyMode mode);

    // "hotkeyKeyCode": the legacy key code, 49 (Space) unless a whole number from 0 to 65535 is stored
    // (36.0 counts as 36, see wholeNumber).
    std::uint16_t hotkeyKeyCode() const;
    bool setHotkeyKeyCode(std::uint16_t keyCode);

    // "hotkeyModifiers": the legacy modifier names exactly as stored (not yet cleaned), or
    // ["ctrl", "shift"] when no list of strings is stored.
    std::vector<std::string> hotkeyModifiers() const;
    bool setHotkeyModifiers(const std::vector<std::string>& names);

    // The shortcut: the versioned record under "hotkeyBindingV2" when it is readable and
    // acceptable; otherwise (logging why, when a record was there) the binding converted from the
    // legacy keys "hotkeyModifiers" and "hotkeyKeyCode".
    HotkeyBinding hotkeyBinding() const;
    // Stores a valid binding under "hotkeyBindingV2" and, for a key combination, keeps the legacy
    // keys in step in the same write. An invalid binding is refused (logged) and nothing changes.
    bool setHotkeyBinding(const HotkeyBinding& binding);
    // True when "hotkeyBindingV2" holds a record that decodes and is acceptable.
    bool hasVersionedHotkeyBinding() const;
    // Once per installation, at launch: writes the binding read from the legacy keys as a versioned
    // record. True when it did so; false (changing nothing) when a usable record already exists.
    bool migrateHotkeyBindingIfNeeded();

    // The user's vocabulary: the built-in starter list when "vocabularyV1" is absent, an empty one
    // (logged) when the stored record is unreadable. The stored bytes stay untouched until the next
    // save. Callable from the background queue.
    Vocabulary vocabulary() const;
    bool setVocabulary(const Vocabulary& vocabulary);

    // "settingsTab": the last open tab; an unknown name gives general.
    SettingsTab settingsTab() const;
    bool setSettingsTab(SettingsTab tab);

    // "vocabularyPrompt": extra prompt terms set by hand; never written by Korvane.
    std::optional<std::string> vocabularyPrompt() const;

    // "pasteKeys": per window class, the keys that paste there ({"Emacs": "ctrl+y"}), for
    // applications whose paste shortcut is not Ctrl+V; set by hand, never written by Korvane.
    // Members that are not strings are left out; empty when absent.
    std::map<std::string, std::string> pasteKeys() const;

    // "debugLogging": false unless a boolean true is stored; never written by Korvane.
    bool debugLogging() const;

    // "automaticallyChecksForUpdates": true unless a boolean false is stored.
    bool automaticallyChecksForUpdates() const;
    bool setAutomaticallyChecksForUpdates(bool enabled);

    // "updateFeedURL": another update feed set by hand (a mirror, a test server), or nothing when
    // absent, empty or not a string; never written by Korvane.
    std::optional<std::string> updateFeedUrl() const;

    // "lastUpdateCheck": when the update feed was last fetched, in seconds since the Unix epoch;
    // nothing when absent or not a whole number.
    std::optional<std::int64_t> lastUpdateCheck() const;
    bool setLastUpdateCheck(std::int64_t secondsSinceEpoch);

    // "inputDevice": the PulseAudio source to record from instead of the default one, or nothing
    // when absent or not a string; set by hand. The recorder logs and ignores an empty name.
    std::optional<std::string> inputDevice() const;

    // "unloadModelAfterMinutes": after how many idle minutes the model is freed, or nothing (keep it
    // loaded) when absent. A value that is not a positive whole number is logged and read as absent;
    // the stored value stays as it is.
    std::optional<std::int64_t> unloadModelAfterMinutes() const;

    // "useGPU": whether whisper.cpp may run the model on a GPU when its build has a GPU back end;
    // true unless a boolean false is stored. Set by hand (a GPU driver that misbehaves), never written
    // by Korvane; read at every model load.
    bool useGpu() const;

    // "remoteDesktopRestoreToken": what the desktop portal gave to reopen its keyboard session
    // without asking the user again; empty when absent or not a string.
    std::string remoteDesktopRestoreToken() const;
    bool setRemoteDesktopRestoreToken(std::string_view token);

    // "remoteDesktopRefused": whether the user declined the portal's keyboard access, so that it is
    // not asked for at every launch; false unless a boolean true is stored.
    bool remoteDesktopRefused() const;
    bool setRemoteDesktopRefused(bool refused);

private:
    std::unique_ptr<SettingsStore> store_;
    LogSwitch logSwitch_;
    mutable std::mutex offeredModelsMutex_;
    ModelNameRule offeredModels_;
};

}  // namespace korvane
