#pragma once

#include "base/logging/LogSink.h"
#include "core/settings/HotkeyMode.h"
#include "core/settings/SettingsTab.h"
#include "hotkeys/HotkeyBinding.h"
#include "ui/logic/ActivationTokens.h"

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QMainWindow;
class QWidget;

namespace korvane {

class AppSettings;
class DictationController;
class GeneralPane;
class MainQueue;
class ModelStore;
class SettingsWindowFrame;
class UpdateController;

// Everything the settings window works with besides the settings store.
struct SettingsCollaborators {
    // Required: the General pane loads, deletes and reports models through it.
    std::shared_ptr<DictationController> dictation;
    // Required: the main queue; the shortcut recorder's 0.6 s chord wait runs on it.
    std::shared_ptr<MainQueue> mainQueue;
    // Required: the catalogue and folder the controller loads models from, so the pane asks about
    // the same files (present or not, expected size).
    std::shared_ptr<const ModelStore> models;
    // The Updates and About panes' controller; without one those panes are left out.
    UpdateController* updates = nullptr;
    // The Vocabulary pane's token counter: never waits, answers nothing while the transcriber is
    // busy or has no model.
    std::function<std::optional<int>(const std::string& text)> countTokens;
    // Whether the loaded model runs on a GPU, which decides the model the General pane recommends;
    // without it no GPU is assumed.
    std::function<bool()> gpuBackendActive;
    // Stops the current shortcut while a new one is being recorded, so it cannot fire meanwhile.
    std::function<void()> pauseHotkey;
    // Stores and registers a new shortcut, or registers the stored one again when given nothing.
    std::function<void(std::optional<HotkeyBinding>)> applyHotkey;
    // The shortcut as the desktop names it, the line for a compositor's configuration, and whether
    // modifiers alone can be bound: see GeneralPane::Hotkeys.
    std::function<std::string()> shownShortcut;
    std::function<std::optional<std::string>(HotkeyMode)> compositorBinding;
    bool modifierChordsAllowed = true;
    // What Start at Login launches; the running executable when empty.
    std::filesystem::path executable;
    // Where the panes log what the user changed (Start at Login).
    LogSink log = defaultLogSink();
};

// The settings window: one window with a toolbar of tabs (General, Vocabulary, Updates, About),
// the tab last open remembered under "settingsTab", and no menu bar. The window is built on the first
// show() and kept when closed, so later shows find it as it was. Main thread only.
//
// A pane joins the window with one addPane() line in makeWindow(); a tab whose pane was never added
// is simply not shown.
class SettingsWindow {
public:
    SettingsWindow(AppSettings& settings, SettingsCollaborators collaborators);
    ~SettingsWindow();

    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;

    // Builds the window on first use, then shows it in front with the keyboard, restoring it when
    // it was minimized. `tokens` are those of a second start that asked for the window.
    void show(const ActivationTokens& tokens = {});

    // Recomputes the General pane's model rows; called on every dictation status. Does nothing
    // before the window was built.
    void refreshModelStatus();

    // The window once built, else null (for tests and the figures tool).
    QMainWindow* window() const;
    GeneralPane* generalPane() const { return generalPane_; }

private:
    void makeWindow();
    std::unique_ptr<GeneralPane> makeGeneralPane();
    void addPane(SettingsTab tab, std::unique_ptr<QWidget> pane);

    AppSettings& settings_;
    SettingsCollaborators collaborators_;
    std::unique_ptr<SettingsWindowFrame> frame_;
    GeneralPane* generalPane_ = nullptr;  // owned by the frame
};

}  // namespace korvane
