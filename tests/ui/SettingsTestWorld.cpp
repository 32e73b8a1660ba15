#include "tests/ui/SettingsTestWorld.h"

#include "tests/support/fakes/FakeAudioRecorder.h"
#include "tests/support/fakes/FakeFocusTracker.h"
#include "tests/support/fakes/FakeTranscriptCleaner.h"
#include "tests/support/fakes/FakeTranscriptDelivery.h"
#include "ui/settings/UpdateDialogs.h"

#include <QMessageBox>
#include <QTest>

#include <fstream>
#include <string>
#include <utility>

namespace korvane::testing {

QApplication& offscreenApplication()
{
    // A desktop test made its application on its own X server before any world was built.
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return *existing;
    }
    static int argc = 1;
    static char name[] = "settings-window-test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: QTest's simulated clicks create input devices owned by the application, and
    // destroying it among the static objects at exit runs Qt's clean-up after Qt's own globals.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

namespace {

ModelDefinitions testDefinitions()
{
    const std::string digest(64, '0');
    return {{"base", {"ggml-base.bin", SettingsTestWorld::kBaseBytes, digest}},
            {"small", {"ggml-small.bin", SettingsTestWorld::kSmallBytes, digest}},
            {"medium", {"ggml-medium.bin", SettingsTestWorld::kMediumBytes, digest}},
            {"turbo", {"ggml-large-v3-turbo.bin", SettingsTestWorld::kTurboBytes, digest}}};
}

// A feed that cannot be reached; the tests never get as far as a check.
class UnreachableFeed final : public FeedFetching {
public:
    FeedFetchResult fetch(const std::string&) override { return {std::nullopt, "no network in this test"}; }
};

}  // namespace

SettingsTestWorld::SettingsTestWorld(Panes panes, const std::function<void(SettingsCollaborators&)>& wire)
{
    offscreenApplication();
    models = std::make_shared<ModelStore>(testDefinitions(), modelsFolder.path());

    DictationCollaborators collaborators;
    collaborators.mainQueue = mainQueue;
    collaborators.backgroundQueue = backgroundQueue;
    collaborators.recorder = std::make_shared<FakeAudioRecorder>();
    collaborators.transcriber = transcriber;
    collaborators.cleaner = std::make_shared<FakeTranscriptCleaner>();
    collaborators.focusTracker = std::make_shared<FakeFocusTracker>();
    collaborators.accessibility = std::make_shared<FakeAccessibilityPreparer>();
    collaborators.delivery = std::make_shared<FakeTranscriptDelivery>();
    collaborators.log = RecordingLog::sinkFor(log);
    dictation = DictationController::create(settings.modelSize(), std::move(collaborators));

    SettingsCollaborators wiring;
    wiring.dictation = dictation;
    wiring.mainQueue = mainQueue;
    wiring.models = models;
    wiring.pauseHotkey = [this] { ++pauses; };
    wiring.applyHotkey = [this](std::optional<HotkeyBinding> binding) {
        applied.push_back(binding);
        if (binding) {
            settings.setHotkeyBinding(*binding);
        }
    };
    wiring.executable = executable;
    wiring.log = RecordingLog::sinkFor(log);
    if (panes == Panes::allFour) {
        UpdateCollaborators updateParts;
        updateParts.mainQueue = mainQueue;
        updateParts.backgroundQueue = backgroundQueue;
        updateParts.fetcher = std::make_shared<UnreachableFeed>();
        updateParts.prompts = std::make_shared<UpdateDialogs>();
        updateParts.isBusy = [dictation = dictation] { return dictation->isBusy(); };
        updateParts.log = RecordingLog::sinkFor(log);
        updateParts.currentVersion = "0.1.0";
        updates = UpdateController::create(settings, std::move(updateParts));
        wiring.updates = updates.get();
    }
    if (wire) {
        wire(wiring);
    }
    window = std::make_unique<SettingsWindow>(settings, std::move(wiring));
    dictation->setOnStatusChange([this](const DictationStatus&) { window->refreshModelStatus(); });
}

SettingsTestWorld::~SettingsTestWorld()
{
    window.reset();
    // Work the controller left queued must not outlive the objects it points into.
    settle();
}

void SettingsTestWorld::settle()
{
    while (mainQueue->runUntilIdle() + backgroundQueue->runAll() > 0) {
    }
}

void SettingsTestWorld::loadModel(const std::string& name)
{
    dictation->preloadModel(name);
    settle();
}

void SettingsTestWorld::placeModelFile(const std::string& name) const
{
    const ModelDefinition& definition = models->definitions().at(name);
    std::ofstream out(models->directory() / definition.fileName, std::ios::binary);
    out << std::string(static_cast<std::size_t>(definition.expectedBytes), 'm');
}

void SettingsTestWorld::show()
{
    window->show();
    QApplication::processEvents();
}

}  // namespace korvane::testing
