#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/BackgroundQueue.h"
#include "base/scheduling/MainQueue.h"
#include "core/updates/UpdateController.h"
#include "core/updates/UpdatePrompts.h"

#include <functional>
#include <memory>

namespace korvane {

class AppSettings;
class ExecutableWatch;

// Updates as the desktop application runs them, built once by the shell: the update controller
// with the HTTPS feed fetcher and the build's version, the watch on the installed executable, and
// the relaunch (the shell's shutdown, then the same executable with the same arguments in place of
// this process). Main thread only; QCoreApplication must exist.
class DesktopUpdates {
public:
    struct Parts {
        std::shared_ptr<MainQueue> mainQueue;
        std::shared_ptr<BackgroundQueue> backgroundQueue;
        // The dialogs (UpdateDialogs on the desktop).
        std::shared_ptr<UpdatePrompts> prompts;
        // True exactly while a dictation is recording, transcribing or pasting.
        std::function<bool()> isBusy;
        // The shell's shutdown, run right before the relaunch.
        std::function<void()> shutdown;
        LogSink log = defaultLogSink();
    };

    // `settings` must outlive this object.
    DesktopUpdates(AppSettings& settings, Parts parts);
    ~DesktopUpdates();

    DesktopUpdates(const DesktopUpdates&) = delete;
    DesktopUpdates& operator=(const DesktopUpdates&) = delete;

    // Starts the schedule of automatic checks (the executable watch runs from construction); call once
    // launch is done.
    void start();

    // For the settings window's Updates pane.
    UpdateController& controller() { return *controller_; }

private:
    std::shared_ptr<UpdateController> controller_;
    std::unique_ptr<ExecutableWatch> watch_;
};

}  // namespace korvane
