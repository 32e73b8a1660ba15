#pragma once

#include "base/scheduling/BackgroundQueue.h"
#include "base/scheduling/MainQueue.h"
#include "core/dictation/DictationController.h"
#include "core/dictation/StatusChangeLog.h"
#include "core/ports/PlatformServices.h"
#include "core/settings/AppSettings.h"
#include "core/shell/ModelFailureNotices.h"
#include "core/shell/PasteUnavailableNotice.h"
#include "hotkeys/HotkeyBinding.h"
#include "ui/logic/ActivationTokens.h"

#include <memory>
#include <optional>
#include <string>

namespace korvane {

class DesktopNotifications;
class DesktopUpdates;
class HotkeyBackend;
class HotkeyBackendFactory;
class HotkeyCoordinator;
class ListeningIndicatorController;
class QtShellAlerts;
class SettingsVocabulary;
class SettingsWindow;
class StatusMenu;
class WhisperTranscriber;
enum class HotkeyEvent;

// The composition root: owns, for the whole run, the dictation controller and what it is built
// from (and, as they arrive, the tray menu, indicator, settings window and shortcut wiring). It
// takes every platform-specific piece from the platform factory and the settings store from its
// caller; nothing below it reaches for a global.
class ApplicationShell {
public:
    ApplicationShell(AppSettings& settings, PlatformServices& platform, std::shared_ptr<MainQueue> mainQueue,
                     std::shared_ptr<BackgroundQueue> backgroundQueue);
    ~ApplicationShell();

    ApplicationShell(const ApplicationShell&) = delete;
    ApplicationShell& operator=(const ApplicationShell&) = delete;

    // The launch sequence, in order: the log banner, the one-time shortcut conversion, the
    // controller and its status wiring, "App started", then the preload of the stored model.
    // Main thread.
    void launch();

    // At quit only the recogniser is shut down, so no load or transcription starts while the
    // process exits; pending timers and background work end with the process.
    void shutdown();

    const std::shared_ptr<DictationController>& controller() const { return controller_; }

    // What the tray menu, the command line and the settings window ask of the running
    // application. Main thread, after launch().

    // Start Dictation / Stop Dictation: stops when recording, starts when not dictating.
    void toggleDictation();
    // A press and a release of the shortcut in hold mode: start records (when a model is ready),
    // stop ends the recording and transcribes it.
    void startDictation();
    void stopDictation();
    // Cancel Dictation, and Escape while recording: drops the recording or the transcription under
    // way; nothing is pasted and the clipboard stays as it is.
    void cancelDictation();
    // Puts the last transcript back on the clipboard; the status line says whether it worked.
    void copyLastTranscript();
    // Shows the settings window, built on the first call, in front; `tokens` are those of a second
    // start that asked for it.
    void showSettings(const ActivationTokens& tokens = {});
    // Stops watching the shortcut, so it cannot fire while a new one is being recorded.
    void pauseHotkey();
    // Stores and registers `binding`, keeping the old shortcut when the new one cannot be had;
    // nothing re-registers the stored shortcut (a cancelled recording).
    void applyHotkey(std::optional<HotkeyBinding> binding);
    // True exactly while a dictation records, transcribes or pastes; false before launch.
    bool isBusy() const;

private:
    // The shortcut's events by the stored mode: toggle on each press, or record while held.
    void handleHotkeyEvent(HotkeyEvent event);
    // " — press <shortcut>" while a shortcut is registered, else nothing.
    std::string hotkeyHint() const;
    void handleStatus(const DictationStatus& status);
    // Takes Escape from the desktop while a dictation records and gives it back the moment the
    // recording ends, however it ends.
    void holdCancelKeyWhileRecording();
    void setStatusLine(const std::string& line);
    // Says on the desktop that settings cannot be saved, once for each new reason.
    void announceSettingsProblem(const std::string& reason);
    // After an alert: the settings window, when it is open, gets the keyboard back.
    void restoreActivationPolicy();

    AppSettings& settings_;
    PlatformServices& platform_;
    std::shared_ptr<MainQueue> mainQueue_;
    std::shared_ptr<BackgroundQueue> backgroundQueue_;
    std::shared_ptr<SettingsVocabulary> vocabulary_;
    std::shared_ptr<WhisperTranscriber> transcriber_;
    std::shared_ptr<DictationController> controller_;
    std::unique_ptr<ListeningIndicatorController> indicator_;
    std::unique_ptr<DesktopUpdates> updates_;
    std::unique_ptr<SettingsWindow> settingsWindow_;
    std::shared_ptr<QtShellAlerts> alerts_;
    std::unique_ptr<StatusMenu> menu_;
    std::unique_ptr<DesktopNotifications> notifications_;
    ModelFailureNotices modelFailureNotices_;
    PasteUnavailableNotices pasteUnavailableNotices_;
    std::string announcedSettingsProblem_;
    StatusChangeLog statusLog_;
    std::unique_ptr<HotkeyBackendFactory> hotkeys_;
    std::shared_ptr<HotkeyCoordinator> hotkeyCoordinator_;
    std::shared_ptr<HotkeyBackend> cancelKey_;  // Escape; none without a window system to grab it from
    bool cancelKeyHeld_ = false;
    // Callbacks handed out hold the shell through this token and do nothing once it is gone.
    std::shared_ptr<ApplicationShell*> alive_ = std::make_shared<ApplicationShell*>(this);
};

}  // namespace korvane
