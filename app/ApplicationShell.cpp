#include "app/ApplicationShell.h"

#include "app/QtShellAlerts.h"
#include "app/StatusMenu.h"
#include "base/logging/Logger.h"
#include "base/scheduling/WeakTask.h"
#include "core/session/CompositorBinding.h"
#include "core/settings/SettingsStore.h"
#include "core/settings/SettingsVocabulary.h"
#include "core/shell/HotkeyCoordinator.h"
#include "core/shell/PasteKeyApprovalStore.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/HotkeyBackendFactory.h"
#include "hotkeys/HotkeyEvent.h"
#include "hotkeys/KeyPositionTable.h"
#include "hotkeys/ShortcutLabel.h"
#include "platform/linux/notifications/DesktopNotifications.h"
#include "platform/linux/portal/XkbKeysymName.h"
#include "platform/linux/updates/DesktopUpdates.h"
#include "transcription/models/ModelCatalogueFile.h"
#include "transcription/models/ModelStore.h"
#include "transcription/whisper/ModelStoreFiles.h"
#include "transcription/whisper/WhisperTranscriber.h"
#include "ui/indicator/ListeningIndicatorController.h"
#include "ui/settings/SettingsWindow.h"
#include "ui/settings/UpdateDialogs.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMessageBox>  // UpdateDialogs keeps QPointer<QMessageBox> members, which need the full type
#include <cctype>
#include <cstdint>
#include <cstdlib>

#include <string>
#include <utility>

namespace korvane {

namespace {

constexpr std::uint16_t kEscapeKeyCode = 53;

}  // namespace

ApplicationShell::ApplicationShell(AppSettings& settings, PlatformServices& platform,
                                   std::shared_ptr<MainQueue> mainQueue,
                                   std::shared_ptr<BackgroundQueue> backgroundQueue)
    : settings_(settings), platform_(platform), mainQueue_(std::move(mainQueue)),
      backgroundQueue_(std::move(backgroundQueue))
{
}

ApplicationShell::~ApplicationShell()
{
    settings_.defaults().setSaveFailureObserver({});
}

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
    // The settings window asks about the same model files the transcriber loads.
    const auto models = std::make_shared<const ModelStore>(std::move(catalogue), modelsDir());
    transcriber_ =
        std::make_shared<WhisperTranscriber>(modelName, std::make_shared<ModelStoreFiles>(*models), vocabulary_,
                                             [&settings = settings_] { return settings.useGpu(); });

    DictationCollaborators collaborators;
    collaborators.mainQueue = mainQueue_;
    collaborators.backgroundQueue = backgroundQueue_;
    collaborators.recorder = platform_.makeRecorder(*mainQueue_);
    collaborators.recorder->setInputChoice([&settings = settings_] { return settings.inputDevice(); });
    collaborators.unloadModelAfterMinutes = [&settings = settings_] { return settings.unloadModelAfterMinutes(); };
    collaborators.transcriber = transcriber_;
    collaborators.cleaner = vocabulary_;
    collaborators.focusTracker = platform_.makeFocusTracker();
    collaborators.accessibility = platform_.makeAccessibility();
    collaborators.delivery =
        platform_.makeDelivery(mainQueue_, [&settings = settings_] { return settings.pasteKeys(); });
    // Where the desktop asks the user before Korvane may send keys, it asks now, at launch, rather
    // than in the middle of the first dictation.
    platform_.requestPasteKeyApproval(
        storedPasteKeyApproval(settings_), false,
        [&settings = settings_](const PasteKeyApproval& approval) { keepPasteKeyApproval(settings, approval); });
    collaborators.modelNames = modelNames;
    controller_ = DictationController::create(modelName, std::move(collaborators));
    controller_->setOnStatusChange(weakCallback(
        alive_, [](ApplicationShell* shell, const DictationStatus& status) { shell->handleStatus(status); }));

    // The indicator is the shell's own and goes with it; its providers still hold the shell only
    // weakly, as every callback handed out does.
    indicator_ = std::make_unique<ListeningIndicatorController>(mainQueue_);
    indicator_->setLevelProvider([alive = std::weak_ptr<ApplicationShell*>(alive_)] {
        const auto shell = alive.lock();
        return shell && (*shell)->controller_ ? (*shell)->controller_->currentLevel() : 0.0F;
    });
    indicator_->setFocusedFrameProvider([alive = std::weak_ptr<ApplicationShell*>(alive_)] {
        const auto shell = alive.lock();
        return shell ? (*shell)->platform_.focusedElementFrame() : std::nullopt;
    });

    DesktopUpdates::Parts updateParts;
    updateParts.mainQueue = mainQueue_;
    updateParts.backgroundQueue = backgroundQueue_;
    updateParts.prompts = std::make_shared<UpdateDialogs>();
    updateParts.isBusy = [alive = std::weak_ptr<ApplicationShell*>(alive_)] {
        const auto shell = alive.lock();
        return shell && (*shell)->isBusy();
    };
    updateParts.shutdown = weakTask(alive_, [](ApplicationShell* shell) { shell->shutdown(); });
    updates_ = std::make_unique<DesktopUpdates>(settings_, std::move(updateParts));

    SettingsCollaborators windowParts;
    windowParts.dictation = controller_;
    windowParts.mainQueue = mainQueue_;
    windowParts.models = models;
    windowParts.updates = &updates_->controller();
    windowParts.countTokens = [transcriber = transcriber_](const std::string& text) {
        return transcriber->tryTokenCount(text);
    };
    windowParts.gpuBackendActive = [transcriber = transcriber_] { return transcriber->isGpuBackendActive(); };
    windowParts.pauseHotkey = weakTask(alive_, [](ApplicationShell* shell) { shell->pauseHotkey(); });
    windowParts.applyHotkey = weakCallback(alive_, [](ApplicationShell* shell, std::optional<HotkeyBinding> binding) {
        shell->applyHotkey(std::move(binding));
    });
    const PlatformCapabilities capabilities = platform_.capabilities();
    windowParts.modifierChordsAllowed = capabilities.shortcut != ShortcutMethod::portal;
    windowParts.shownShortcut = [alive = std::weak_ptr<ApplicationShell*>(alive_), &settings = settings_] {
        const auto shell = alive.lock();
        return shell && (*shell)->hotkeyCoordinator_ ? (*shell)->hotkeyCoordinator_->shownShortcut()
                                                     : shortcutLabel(settings.hotkeyBinding());
    };
    if (capabilities.shortcut == ShortcutMethod::compositorBinding) {
        windowParts.compositorBinding = [family = compositorFamilyOf(capabilities.desktop),
                                         &settings = settings_](HotkeyMode mode) {
            const HotkeyBinding binding = settings.hotkeyBinding();
            const std::optional<std::uint32_t> keysym =
                binding.keyCode() ? KeyPositionTable::keysym(*binding.keyCode()) : std::nullopt;
            return compositorBindingText(family, {binding.modifiers(), keysym ? xkbKeysymName(*keysym) : ""}, mode);
        };
    }
    settingsWindow_ = std::make_unique<SettingsWindow>(settings_, std::move(windowParts));

    alerts_ = std::make_shared<QtShellAlerts>(
        weakTask(alive_, [](ApplicationShell* shell) { shell->restoreActivationPolicy(); }));
    hotkeys_ = platform_.makeHotkeyBackendFactory(mainQueue_);
    HotkeyCoordinator::Ports hotkeyPorts;
    hotkeyPorts.mainQueue = mainQueue_;
    hotkeyPorts.makeBackend = [this](const HotkeyBinding& binding) -> std::shared_ptr<HotkeyBackend> {
        if (!hotkeys_) {
            return nullptr;  // no X server: no global shortcut at all
        }
        return hotkeys_->make(binding, weakCallback(alive_, [](ApplicationShell* shell, HotkeyEvent event) {
                                  shell->handleHotkeyEvent(event);
                              }));
    };
    hotkeyPorts.isTrusted = [&platform = platform_] { return platform.isAccessibilityTrusted(); };
    hotkeyPorts.isBusy = [alive = std::weak_ptr<ApplicationShell*>(alive_)] {
        const auto shell = alive.lock();
        return shell && (*shell)->isBusy();
    };
    hotkeyPorts.setStatusLine =
        weakCallback(alive_, [](ApplicationShell* shell, const std::string& line) { shell->setStatusLine(line); });
    hotkeyPorts.alerts = alerts_;
    hotkeyPorts.boundByCompositor = capabilities.shortcut == ShortcutMethod::compositorBinding;
    hotkeyCoordinator_ = HotkeyCoordinator::create(settings_, std::move(hotkeyPorts));

    StatusMenu::Actions actions;
    // The menu is the shell's own and goes with it, so its actions may reach the shell directly.
    actions.toggleDictation = [this] { toggleDictation(); };
    actions.cancelDictation = [this] { cancelDictation(); };
    actions.lastTranscript = [this] { return controller_->lastTranscript(); };
    actions.showSettings = [this] { showSettings(); };
    actions.quit = [] { QCoreApplication::quit(); };
    actions.menuWillOpen = [this] { hotkeyCoordinator_->menuWillOpen(); };
    // A model that cannot be had is said on the desktop too: the tray may be hidden, and nobody
    // reads the log. Clicking the notification opens the settings window, where Retry is.
    notifications_ = std::make_unique<DesktopNotifications>(
        weakTask(alive_, [](ApplicationShell* shell) { shell->showSettings(); }));
    menu_ = std::make_unique<StatusMenu>(shortcutLabel(settings_.hotkeyBinding()), std::move(actions));
    // Settings that cannot be saved are said on the desktop too: changes then last only until
    // Korvane quits, and nothing else would tell. The launch's own saves have been tried by now.
    settings_.defaults().setSaveFailureObserver(
        [queue = mainQueue_, alive = std::weak_ptr<ApplicationShell*>(alive_)](const std::string& reason) {
            queue->post(weakTask(alive, [reason](ApplicationShell* shell) { shell->announceSettingsProblem(reason); }));
        });
    announceSettingsProblem(settings_.defaults().saveProblem());

    hotkeyCoordinator_->registerStoredHotkey();
    if (hotkeys_) {
        cancelKey_ =
            hotkeys_->makeBareKey(kEscapeKeyCode, weakCallback(alive_, [](ApplicationShell* shell, HotkeyEvent event) {
                                      if (event == HotkeyEvent::pressed) {
                                          shell->cancelDictation();
                                      }
                                  }));
    }

    Logger::log("App started -- main run loop active");
    controller_->preloadModel(modelName);
    updates_->start();
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
    return hotkeyCoordinator_ ? hotkeyCoordinator_->hotkeyHint() : std::string();
}

void ApplicationShell::handleStatus(const DictationStatus& status)
{
    if (const std::optional<std::string> line = statusLog_.lineFor(status)) {
        Logger::log(*line);
    }
    holdCancelKeyWhileRecording();
    if (settingsWindow_) {
        settingsWindow_->refreshModelStatus();
    }
    if (notifications_) {
        const std::optional<ModelFailureNotice> notice =
            modelFailureNotices_.observe(status, controller_->failedModelName(), controller_->modelLoadFailure());
        if (notice) {
            notifications_->notify(notice->summary, notice->body);
        }
        const std::optional<PasteUnavailableNotice> pasteNotice =
            pasteUnavailableNotices_.observe(status, platform_.missingPasteKeys());
        if (pasteNotice) {
            notifications_->notify(pasteNotice->summary, pasteNotice->body);
        }
    }
    if (menu_) {
        const std::optional<IndicatorChange> change = menu_->handleStatus(status, hotkeyHint());
        if (indicator_) {
            indicator_->apply(change);
        }
    }
}

void ApplicationShell::holdCancelKeyWhileRecording()
{
    const bool recording = controller_ && controller_->state().kind() == DictationState::Kind::recording;
    if (!cancelKey_ || recording == cancelKeyHeld_) {
        return;
    }
    if (recording) {
        // When another client holds Escape the dictation goes on; the tray menu can still cancel.
        cancelKeyHeld_ = cancelKey_->start();
    } else {
        cancelKey_->stop();
        cancelKeyHeld_ = false;
    }
}

void ApplicationShell::announceSettingsProblem(const std::string& reason)
{
    if (reason.empty() || reason == announcedSettingsProblem_ || !notifications_) {
        return;
    }
    announcedSettingsProblem_ = reason;
    std::string sentence = reason;
    sentence.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence.front())));
    notifications_->notify("Settings can't be saved",
                           sentence + ". Korvane keeps working with the settings it has; changes last until it quits.");
}

void ApplicationShell::setStatusLine(const std::string& line)
{
    if (menu_) {
        menu_->setStatusLine(line);
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

void ApplicationShell::cancelDictation()
{
    if (controller_) {
        controller_->cancel();
    }
}

void ApplicationShell::copyLastTranscript()
{
    if (menu_) {
        menu_->copyLastTranscript();
    }
}

void ApplicationShell::showSettings(const ActivationTokens& tokens)
{
    if (settingsWindow_) {
        settingsWindow_->show(tokens);
    }
}

void ApplicationShell::restoreActivationPolicy()
{
    QMainWindow* window = settingsWindow_ ? settingsWindow_->window() : nullptr;
    if (window != nullptr && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

void ApplicationShell::pauseHotkey()
{
    if (hotkeyCoordinator_) {
        hotkeyCoordinator_->pauseHotkey();
    }
}

void ApplicationShell::applyHotkey(std::optional<HotkeyBinding> binding)
{
    if (hotkeyCoordinator_) {
        hotkeyCoordinator_->applyHotkey(std::move(binding));
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
