#pragma once

#include "base/logging/LogSink.h"
#include "core/settings/HotkeyMode.h"
#include "hotkeys/HotkeyBinding.h"
#include "ui/logic/LoginItem.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;

namespace korvane {

class AppSettings;
class DictationController;
class HotkeyRecorderWindow;
class MainQueue;
class ModelStore;

// The General tab: Start at Login, the shortcut and its recorder, hold mode, and the speech models
// (preview, download, switch, delete, retry). What the model rows say is decided by
// decideModelRows(); this widget gathers the facts and draws the answer. Main thread only.
class GeneralPane final : public QWidget {
    Q_OBJECT

public:
    struct Hotkeys {
        std::function<void()> pause;
        std::function<void(std::optional<HotkeyBinding>)> apply;
        // The shortcut as the user presses it, where the desktop names it; the stored one otherwise.
        std::function<std::string()> shownShortcut;
        // Where the compositor's configuration binds the shortcut: what to add there for a mode
        // (nothing when the keys cannot be written there). The pane then shows it with a Copy
        // button in place of the recorder.
        std::function<std::optional<std::string>(HotkeyMode)> compositorBinding;
        // False where the desktop binds the shortcut: the recorder refuses modifiers alone.
        bool modifierChordsAllowed = true;
    };

    // The settings store, controller, model store and main queue must outlive the pane.
    GeneralPane(AppSettings& settings, std::shared_ptr<DictationController> dictation,
                std::shared_ptr<const ModelStore> models, std::shared_ptr<MainQueue> mainQueue, Hotkeys hotkeys,
                LoginItem loginItem, LogSink log = defaultLogSink(), QWidget* parent = nullptr);
    ~GeneralPane() override;

    // Recomputes the model rows from the controller and the files on disk.
    void refreshModelStatus();

    // Asked at every refresh whether the loaded model runs on a GPU; unset, it does not.
    void setGpuBackendActive(std::function<bool()> gpuBackendActive);

    // The user's actions.
    void onLoginToggled();
    void onOpenLoginItems();
    void onChangeHotkey();
    void onHoldToggled();
    void onCopyBinding();
    void onModelPreviewed();
    void onUseModel();
    void onRetry();
    void onDeleteModel();

    // The open recorder, if any (tests press keys in it).
    HotkeyRecorderWindow* recorder() const { return recorder_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    // The shortcut row: the keys, or the compositor's line.
    void refreshShortcut();
    void setLoginRows(bool noteShown, bool buttonShown);
    void refreshLoginItem(const std::optional<std::string>& error);
    void load(const std::string& name);
    std::string sizeText(const std::string& name) const;
    std::string storedModel() const;

    AppSettings& settings_;
    std::shared_ptr<DictationController> dictation_;
    std::shared_ptr<const ModelStore> models_;
    std::shared_ptr<MainQueue> mainQueue_;
    Hotkeys hotkeys_;
    LoginItem loginItem_;
    LogSink log_;
    std::function<bool()> gpuBackendActive_;

    QGridLayout* grid_ = nullptr;
    QCheckBox* loginCheckbox_ = nullptr;
    QLabel* loginNote_ = nullptr;
    QPushButton* openLoginItemsButton_ = nullptr;
    QLabel* hotkeyLabel_ = nullptr;
    QCheckBox* holdCheckbox_ = nullptr;
    QComboBox* modelPopup_ = nullptr;
    QLabel* modelDescription_ = nullptr;
    QLabel* modelDisk_ = nullptr;
    QPushButton* useModelButton_ = nullptr;
    QPushButton* deleteModelButton_ = nullptr;
    QLabel* modelStatus_ = nullptr;
    QPushButton* retryButton_ = nullptr;
    QLabel* modelFailureReason_ = nullptr;
    HotkeyRecorderWindow* recorder_ = nullptr;  // a child of the window while open
    // Callbacks handed to the controller and the dialogs hold the pane through this token and do
    // nothing once it is gone.
    std::shared_ptr<GeneralPane*> alive_ = std::make_shared<GeneralPane*>(this);
};

}  // namespace korvane
