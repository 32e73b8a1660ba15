// SPDX-License-Identifier: MIT
// How long the settings window takes to appear: the first show in a fresh process (cold: the
// window and every pane are built, fonts and icons looked up) and later shows of the kept window
// (warm), from the show() call to the window's first paint. Runs on a private Xvfb desktop with
// openbox, or on Qt's offscreen platform with --offscreen. The dictation controller behind the
// General pane runs on recording fakes; its model rows read a real, empty model folder.
#include "base/scheduling/VirtualMainQueue.h"
#include "core/dictation/DictationController.h"
#include "core/settings/AppSettings.h"
#include "tests/support/TempHome.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/fakes/FakeAudioRecorder.h"
#include "tests/support/fakes/FakeFocusTracker.h"
#include "tests/support/fakes/FakeSpeechTranscriber.h"
#include "tests/support/fakes/FakeTranscriptCleaner.h"
#include "tests/support/fakes/FakeTranscriptDelivery.h"
#include "transcription/models/ModelStore.h"
#include "ui/settings/SettingsWindow.h"

#include <QApplication>
#include <QMainWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace korvane;
using Clock = std::chrono::steady_clock;

// Notes the first paint of the window after it was armed.
class PaintWatch final : public QObject {
public:
    void arm() { painted_ = false; }
    bool painted() const { return painted_; }
    bool installed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            painted_ = true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool painted_ = false;
};

// Milliseconds from show() to the first paint.
double timeShow(SettingsWindow& window, PaintWatch& watch)
{
    watch.arm();
    const auto start = Clock::now();
    window.show();
    // The window exists once show() built it; its first paint comes later, from the event loop.
    if (!watch.installed) {
        window.window()->installEventFilter(&watch);
        watch.installed = true;
    }
    while (!watch.painted()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const bool offscreen = argc > 1 && std::strcmp(argv[1], "--offscreen") == 0;
    std::optional<testing::DesktopSession> desktop;
    if (offscreen) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        testing::DesktopSession::Options options;
        options.accessibilityBus = false;
        desktop.emplace(options);
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    testing::TempHome home;
    testing::TemporaryDirectory modelsFolder("korvane-models");
    QApplication application(argc, argv);

    AppSettings settings(AppSettings::defaultFile());
    auto mainQueue = std::make_shared<VirtualMainQueue>();
    DictationCollaborators collaborators;
    collaborators.mainQueue = mainQueue;
    collaborators.backgroundQueue = std::make_shared<ManualBackgroundQueue>();
    collaborators.recorder = std::make_shared<testing::FakeAudioRecorder>();
    collaborators.transcriber = std::make_shared<testing::FakeSpeechTranscriber>();
    collaborators.cleaner = std::make_shared<testing::FakeTranscriptCleaner>();
    collaborators.focusTracker = std::make_shared<testing::FakeFocusTracker>();
    collaborators.accessibility = std::make_shared<testing::FakeAccessibilityPreparer>();
    collaborators.delivery = std::make_shared<testing::FakeTranscriptDelivery>();
    auto dictation = DictationController::create("small", std::move(collaborators));

    SettingsCollaborators parts;
    parts.dictation = dictation;
    parts.mainQueue = mainQueue;
    parts.models = std::make_shared<ModelStore>(builtInModelCatalogue(), modelsFolder.path());
    parts.countTokens = [](const std::string&) { return std::optional<int>(); };
    SettingsWindow window(settings, std::move(parts));

    PaintWatch watch;
    const double cold = timeShow(window, watch);

    std::vector<double> warm;
    for (int round = 0; round < 20; ++round) {
        window.window()->close();
        QCoreApplication::processEvents();
        warm.push_back(timeShow(window, watch));
    }
    std::sort(warm.begin(), warm.end());
    std::printf("settings window, %s\n", offscreen ? "offscreen platform" : "Xvfb + openbox");
    std::printf("  first show (cold): %.1f ms\n", cold);
    std::printf("  later shows (warm, 20): median %.1f ms, slowest %.1f ms\n", warm[warm.size() / 2], warm.back());
    return 0;
}
