#include "app/ApplicationShell.h"

#include "app/StatusMenu.h"
#include "core/logging/Logger.h"
#include "core/scheduling/WeakTask.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/HotkeyBackendFactory.h"
#include "hotkeys/HotkeyEvent.h"
#include "transcription/models/ModelCatalogueFile.h"
#include "transcription/models/ModelStore.h"
#include "transcription/whisper/ModelStoreFiles.h"
#include "transcription/whisper/SettingsVocabulary.h"
#include "transcription/whisper/WhisperTranscriber.h"

#include <QCoreApplication>
#include <cstdlib>

#include <string>
#include <utility>

namespace korvane {

ApplicationShell::ApplicationShell(AppSettings& settings, PlatformServices& platform,
                                   std::shared_ptr<MainQueue> mainQueue,
                                   std::shared_ptr<BackgroundQueue> backgroundQueue)
    : settings_(settings), platform_(platform), mainQueue_(std::move(mainQueue)),
      backgroundQueue_(std::move(backgroundQueue))
{
}

ApplicationShell::~ApplicationShell() = default;

void ApplicationShell::launch()
{
    requireMainThread(*mainQueue_, "ApplicationShell::launch");
    Logger::log(std::string(40, '='));
    Logger::log("Korvane (C++) starting");
    settings_.migrateHotkeyBindingIfNeeded();
    Logger::log(std::string("Accessibility trusted: ") + (platform_.isAccessibilityTrusted() ? "true" : "false"));
    // Applications that build their accessibility trees only on request need the desktop's switch
    // on; asking may take a moment, and launch never waits for it.
    backgroundQueue_->post([&platform = platform_] { platform.prepareAccessibility(); });

    // Read once: a model catalogue file replaces the built-in models for the whole run.
    ModelCatalogue catalogue = chooseModelCatalogue(std::getenv("KORVANE_MODEL_CATALOGUE"), settings_.modelCatalogue());
    const ModelNameRule modelNames = catalogue.names;
    settings_.offerModels(modelNames);
    const std::string modelName = settings_.modelSize();
    vocabulary_ = std::make_shared<SettingsVocabulary>(settings_);
    transcriber_ = std::make_shared<WhisperTranscriber>(
        modelName, std::make_shared<ModelStoreFiles>(ModelStore(std::move(catalogue), modelsDir())), vocabulary_);

    DictationCollaborators collaborators;
    collaborators.mainQueue = mainQueue_;
    collaborators.backgroundQueue = backgroundQueue_;
    collaborators.recorder = platform_.makeRecorder(*mainQueue_);
    collaborators.transcriber = transcriber_;
    collaborators.cleaner = vocabulary_;
    collaborators.focusTracker = platform_.makeFocusTracker();
    collaborators.accessibility = platform_.makeAccessibility();
    collaborators.delivery =
        platform_.makeDelivery(mainQueue_, [&settings = settings_] { return settings.pasteKeys(); });
    collaborators.modelNames = modelNames;
    controller_ = DictationController::create(modelName, std::move(collaborators));
    controller_->setOnStatusChange(weakCallback(
        alive_, [](ApplicationShell* shell, const DictationStatus& status) { shell->handleStatus(status); }));

    StatusMenu::Actions actions;
    // The menu is the shell's own and goes with it, so its actions may reach the shell directly.
    actions.toggleDictation = [this] { controller_->toggle(); };
    actions.lastTranscript = [this] { return controller_->lastTranscript(); };
    actions.quit = [] { QCoreApplication::quit(); };
    menu_ = std::make_unique<StatusMenu>(settings_.hotkeyBinding().displayText(), std::move(actions));

    hotkeys_ = platform_.makeHotkeyBackendFactory(mainQueue_);
    if (!registerHotkey()) {
        menu_->setStatusLine("Status: Hotkey unavailable (" + settings_.hotkeyBinding().displayText() + ")");
    }

    Logger::log("App started -- main run loop active");
    controller_->preloadModel(modelName);
}

bool ApplicationShell::registerHotkey()
{
    if (hotkey_) {
        hotkey_->stop();
    }
    hotkeyRegistered_ = false;
    if (!hotkeys_) {
        hotkey_.reset();
        return false;
    }
    hotkey_ = hotkeys_->make(
        settings_.hotkeyBinding(),
        weakCallback(alive_, [](ApplicationShell* shell, HotkeyEvent event) { shell->handleHotkeyEvent(event); }));
    if (!hotkey_) {
        return false;
    }
    hotkeyRegistered_ = hotkey_->start();
    return hotkeyRegistered_;
}

void ApplicationShell::handleHotkeyEvent(HotkeyEvent event)
{
    if (settings_.hotkeyMode() == HotkeyMode::hold) {
        if (event == HotkeyEvent::pressed) {
            controller_->start();
        } else {
            controller_->stop();
        }
    } else if (event == HotkeyEvent::pressed) {
        controller_->toggle();
    }
}

std::string ApplicationShell::hotkeyHint() const
{
    return hotkeyRegistered_ ? " — press " + settings_.hotkeyBinding().displayText() : std::string();
}

void ApplicationShell::handleStatus(const DictationStatus& status)
{
    Logger::log("Status changed: " + toString(status));
    if (menu_) {
        menu_->handleStatus(status, hotkeyHint());
    }
}

void ApplicationShell::toggleDictation()
{
    if (controller_) {
        controller_->toggle();
    }
}

void ApplicationShell::startDictation()
{
    if (controller_) {
        controller_->start();
    }
}

void ApplicationShell::stopDictation()
{
    if (controller_) {
        controller_->stop();
    }
}

void ApplicationShell::copyLastTranscript()
{
    if (menu_) {
        menu_->copyLastTranscript();
    }
}

void ApplicationShell::showSettings()
{
    // No settings window is built yet; the tray's Settings… item stays disabled meanwhile.
}

void ApplicationShell::pauseHotkey()
{
    if (hotkey_) {
        hotkey_->stop();
    }
}

void ApplicationShell::applyHotkey(std::optional<HotkeyBinding> binding)
{
    const HotkeyBinding current = settings_.hotkeyBinding();
    if (!binding || *binding == current) {
        if (!registerHotkey() && menu_) {
            menu_->setStatusLine("Status: Hotkey unavailable (" + current.displayText() + ")");
        }
        return;
    }
    if (settings_.setHotkeyBinding(*binding) && registerHotkey()) {
        if (menu_) {
            menu_->setStatusLine("Status: Hotkey set to " + binding->displayText());
        }
        return;
    }
    settings_.setHotkeyBinding(current);
    const bool kept = registerHotkey();
    if (menu_) {
        menu_->setStatusLine(kept
                                 ? "Status: " + binding->displayText() + " unavailable -- kept " + current.displayText()
                                 : "Status: Hotkey unavailable (" + current.displayText() + ")");
    }
}

bool ApplicationShell::isBusy() const
{
    return controller_ && controller_->isBusy();
}

void ApplicationShell::shutdown()
{
    if (transcriber_) {
        transcriber_->unload();
    }
}

}  // namespace korvane
