#pragma once

#include "base/scheduling/VirtualMainQueue.h"
#include "core/dictation/DictationController.h"
#include "core/settings/AppSettings.h"
#include "core/updates/UpdateController.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempHome.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/fakes/FakeSpeechTranscriber.h"
#include "tests/support/qt/QtPrinting.h"
#include "transcription/models/ModelStore.h"
#include "ui/settings/SettingsWindow.h"

#include <QApplication>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace korvane::testing {

// The process's QApplication: on Qt's offscreen platform, unless a desktop test made one first.
QApplication& offscreenApplication();

// The settings window as the shell builds it, over a temporary home: a real settings file, a
// dictation controller on virtual time with a scripted recogniser, and a real model store whose
// folder the test fills with files of the right size. The controller's status changes refresh the
// window, as the shell wires them. The shortcut callbacks are recorded; "apply" stores a binding
// as the shell does.
class SettingsTestWorld {
public:
    // Which panes the window gets: all four as the application builds it, with an update controller
    // (whose feed answers nothing; no check runs unless a test starts one), or the two that need none.
    enum class Panes { allFour, withoutUpdates };

    // `wire` changes what the window is given before it is built (the shortcut's ways on a desktop).
    explicit SettingsTestWorld(Panes panes = Panes::withoutUpdates,
                               const std::function<void(SettingsCollaborators&)>& wire = {});
    ~SettingsTestWorld();

    // Sizes of the models' files in the test catalogue.
    static constexpr std::int64_t kBaseBytes = 1'500;
    static constexpr std::int64_t kSmallBytes = 2'500;
    static constexpr std::int64_t kMediumBytes = 3'500'000;
    static constexpr std::int64_t kTurboBytes = 4'500'000;

    // Runs background work and due main-queue tasks until neither has anything left now.
    void settle();
    // Loads `name` to ready as the launch preload does.
    void loadModel(const std::string& name);
    // Puts a file of the expected size for `name` into the models folder.
    void placeModelFile(const std::string& name) const;

    // Shows the window (built on first use) and lets Qt lay it out.
    void show();
    QMainWindow& frame() const { return *window->window(); }
    template <class Widget>
    Widget* find(const char* objectName) const
    {
        return window->window() == nullptr ? nullptr : window->window()->findChild<Widget*>(objectName);
    }

    TempHome home;
    TemporaryDirectory systemConfig{"korvane-xdg-config"};
    ScopedEnvironment configDirs{"XDG_CONFIG_DIRS", systemConfig.path().string()};
    TemporaryDirectory modelsFolder{"korvane-models"};
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
    AppSettings settings{AppSettings::defaultFile()};
    std::shared_ptr<VirtualMainQueue> mainQueue = std::make_shared<VirtualMainQueue>();
    std::shared_ptr<ManualBackgroundQueue> backgroundQueue = std::make_shared<ManualBackgroundQueue>();
    std::shared_ptr<FakeSpeechTranscriber> transcriber = std::make_shared<FakeSpeechTranscriber>();
    std::shared_ptr<ModelStore> models;
    std::shared_ptr<DictationController> dictation;
    std::filesystem::path executable = "/opt/Korvane Apps/korvane";
    int pauses = 0;
    std::vector<std::optional<HotkeyBinding>> applied;
    std::shared_ptr<UpdateController> updates;  // with Panes::allFour
    std::unique_ptr<SettingsWindow> window;
};

}  // namespace korvane::testing
