#include "ui/settings/SettingsWindow.h"

#include "core/settings/AppSettings.h"
#include "ui/logic/LoginItem.h"
#include "ui/settings/AboutPane.h"
#include "ui/settings/BringToFront.h"
#include "ui/settings/GeneralPane.h"
#include "ui/settings/SettingsWindowFrame.h"
#include "ui/settings/UpdatesPane.h"
#include "ui/settings/VocabularyPane.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include <stdexcept>
#include <utility>

namespace korvane {

SettingsWindow::SettingsWindow(AppSettings& settings, SettingsCollaborators collaborators)
    : settings_(settings), collaborators_(std::move(collaborators))
{
    if (!collaborators_.dictation || !collaborators_.mainQueue || !collaborators_.models) {
        throw std::invalid_argument("the settings window needs the dictation controller, main queue and model store");
    }
    if (!collaborators_.pauseHotkey) {
        collaborators_.pauseHotkey = [] {};
    }
    if (!collaborators_.applyHotkey) {
        collaborators_.applyHotkey = [](const std::optional<HotkeyBinding>&) {};
    }
}

SettingsWindow::~SettingsWindow() = default;

QMainWindow* SettingsWindow::window() const
{
    return frame_.get();
}

void SettingsWindow::addPane(SettingsTab tab, std::unique_ptr<QWidget> pane)
{
    frame_->addPane(tab, std::move(pane));
}

std::unique_ptr<GeneralPane> SettingsWindow::makeGeneralPane()
{
    std::filesystem::path executable = collaborators_.executable;
    if (executable.empty()) {
        executable = QCoreApplication::applicationFilePath().toStdString();
    }
    auto pane = std::make_unique<GeneralPane>(
        settings_, collaborators_.dictation, collaborators_.models, collaborators_.mainQueue,
        GeneralPane::Hotkeys{collaborators_.pauseHotkey, collaborators_.applyHotkey, collaborators_.shownShortcut,
                             collaborators_.compositorBinding, collaborators_.modifierChordsAllowed},
        LoginItem::forSession(std::move(executable)), collaborators_.log);
    pane->setGpuBackendActive(collaborators_.gpuBackendActive);
    generalPane_ = pane.get();
    return pane;
}

void SettingsWindow::makeWindow()
{
    frame_ = std::make_unique<SettingsWindowFrame>(settings_);

    // One line per pane; the tabs keep their fixed order whatever order the lines are in.
    addPane(SettingsTab::general, makeGeneralPane());
    addPane(SettingsTab::vocabulary,
            std::make_unique<VocabularyPane>(settings_, collaborators_.countTokens, collaborators_.mainQueue));
    if (collaborators_.updates != nullptr) {
        addPane(SettingsTab::updates, std::make_unique<UpdatesPane>(*collaborators_.updates));
        addPane(SettingsTab::about, std::make_unique<AboutPane>());
    }

    frame_->showTab(settings_.settingsTab());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed = frame_->frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        frame_->move(placed.topLeft());
    }
}

void SettingsWindow::show(const ActivationTokens& tokens)
{
    if (!frame_) {
        makeWindow();
    }
    bringToFront(*frame_, tokens);
}

void SettingsWindow::refreshModelStatus()
{
    if (generalPane_ != nullptr) {
        generalPane_->refreshModelStatus();
    }
}

}  // namespace korvane
