#include "ui/settings/GeneralPane.h"

#include "core/dictation/DictationController.h"
#include "core/settings/AppSettings.h"
#include "hotkeys/ShortcutLabel.h"
#include "transcription/models/ModelStore.h"
#include "ui/logic/ModelRows.h"
#include "ui/settings/HotkeyRecorderWindow.h"
#include "ui/settings/SettingsLook.h"
#include "ui/settings/SettingsWindowFrame.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>

#include <filesystem>
#include <system_error>
#include <utility>

namespace korvane {

namespace {

constexpr int kPaneWidth = 480;
constexpr int kNoteWidth = 330;
constexpr int kMargin = 20;
constexpr int kSpacing = 8;

QString qt(const std::string& text)
{
    return QString::fromStdString(text);
}

// A wrapping label in the small font and the secondary text colour.
QLabel* note(QWidget* parent, const QString& objectName)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setFixedWidth(kNoteWidth);
    label->setFont(settingslook::scaledFont(parent->font(), 11));
    settingslook::setTextColour(*label, settingslook::secondaryText(parent->palette()));
    return label;
}

// Two controls side by side, 8 apart, with `extraAbove` more space above them than between rows.
QWidget* pair(QWidget* parent, QWidget* first, QWidget* second, int extraAbove = 0)
{
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, extraAbove, 0, 0);
    layout->setSpacing(kSpacing);
    layout->addWidget(first);
    if (second != nullptr) {
        layout->addWidget(second);
    }
    layout->addStretch(1);
    return box;
}

QLabel* rowTitle(QWidget* parent, const QString& text, int extraAbove)
{
    auto* label = new QLabel(text, parent);
    label->setContentsMargins(0, extraAbove, 0, 0);
    return label;
}

}  // namespace

GeneralPane::GeneralPane(AppSettings& settings, std::shared_ptr<DictationController> dictation,
                         std::shared_ptr<const ModelStore> models, std::shared_ptr<MainQueue> mainQueue,
                         Hotkeys hotkeys, LoginItem loginItem, LogSink log, QWidget* parent)
    : QWidget(parent), settings_(settings), dictation_(std::move(dictation)), models_(std::move(models)),
      mainQueue_(std::move(mainQueue)), hotkeys_(std::move(hotkeys)), loginItem_(std::move(loginItem)),
      log_(std::move(log))
{
    setObjectName("generalPane");
    build();
}

GeneralPane::~GeneralPane() = default;

void GeneralPane::build()
{
    setFixedWidth(kPaneWidth);
    grid_ = new QGridLayout(this);
    grid_->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    grid_->setHorizontalSpacing(kSpacing);
    grid_->setVerticalSpacing(kSpacing);
    grid_->setColumnStretch(1, 1);
    grid_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    const Qt::Alignment titleAlignment = Qt::AlignRight | Qt::AlignVCenter;

    loginCheckbox_ = new QCheckBox("Start at Login", this);
    loginCheckbox_->setObjectName("loginCheckbox");
    connect(loginCheckbox_, &QCheckBox::clicked, this, &GeneralPane::onLoginToggled);
    grid_->addWidget(loginCheckbox_, 0, 1);

    loginNote_ = note(this, "loginNote");
    grid_->addWidget(loginNote_, 1, 1);

    openLoginItemsButton_ = new QPushButton("Open Login Items", this);
    openLoginItemsButton_->setObjectName("openLoginItemsButton");
    connect(openLoginItemsButton_, &QPushButton::clicked, this, &GeneralPane::onOpenLoginItems);
    grid_->addWidget(openLoginItemsButton_, 2, 1, Qt::AlignLeft);

    hotkeyLabel_ = new QLabel(this);
    hotkeyLabel_->setObjectName("hotkeyLabel");
    QPushButton* change = nullptr;
    if (hotkeys_.compositorBinding) {
        // The compositor runs `korvane --toggle` on its own binding: there is nothing to record,
        // only a line to copy into its configuration.
        hotkeyLabel_->setWordWrap(true);
        hotkeyLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        change = new QPushButton("Copy", this);
        change->setObjectName("copyBindingButton");
        connect(change, &QPushButton::clicked, this, &GeneralPane::onCopyBinding);
    } else {
        change = new QPushButton("Change…", this);
        change->setObjectName("changeHotkeyButton");
        connect(change, &QPushButton::clicked, this, &GeneralPane::onChangeHotkey);
    }
    grid_->addWidget(rowTitle(this, "Hotkey:", 12), 3, 0, titleAlignment);
    grid_->addWidget(pair(this, hotkeyLabel_, change, 12), 3, 1);

    holdCheckbox_ = new QCheckBox("Hold Hotkey to Dictate", this);
    holdCheckbox_->setObjectName("holdCheckbox");
    holdCheckbox_->setToolTip("Start recording when the hotkey is pressed and transcribe when it is released.");
    connect(holdCheckbox_, &QCheckBox::clicked, this, &GeneralPane::onHoldToggled);
    grid_->addWidget(holdCheckbox_, 4, 1);

    modelPopup_ = new QComboBox(this);
    modelPopup_->setObjectName("modelPopup");
    for (const std::string& name : models_->names().names()) {
        modelPopup_->addItem(qt(name));
    }
    connect(modelPopup_, &QComboBox::activated, this, &GeneralPane::onModelPreviewed);
    grid_->addWidget(rowTitle(this, "Model:", 12), 5, 0, titleAlignment);
    grid_->addWidget(pair(this, modelPopup_, nullptr, 12), 5, 1);

    modelDescription_ = note(this, "modelDescription");
    grid_->addWidget(modelDescription_, 6, 1);
    modelDisk_ = note(this, "modelDisk");
    grid_->addWidget(modelDisk_, 7, 1);

    useModelButton_ = new QPushButton("Download and Use", this);
    useModelButton_->setObjectName("useModelButton");
    connect(useModelButton_, &QPushButton::clicked, this, &GeneralPane::onUseModel);
    deleteModelButton_ = new QPushButton("Delete…", this);
    deleteModelButton_->setObjectName("deleteModelButton");
    connect(deleteModelButton_, &QPushButton::clicked, this, &GeneralPane::onDeleteModel);
    grid_->addWidget(pair(this, useModelButton_, deleteModelButton_), 8, 1);

    modelStatus_ = new QLabel(this);
    modelStatus_->setObjectName("modelStatus");
    modelStatus_->setTextFormat(Qt::PlainText);
    retryButton_ = new QPushButton("Retry", this);
    retryButton_->setObjectName("retryButton");
    connect(retryButton_, &QPushButton::clicked, this, &GeneralPane::onRetry);
    grid_->addWidget(pair(this, modelStatus_, retryButton_, 6), 9, 1);
    modelFailureReason_ = note(this, "modelFailureReason");
    grid_->addWidget(modelFailureReason_, 10, 1);

    setLoginRows(false, false);
}

void GeneralPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window coming back from being minimized is not the pane appearing anew: the model the
    // user was looking at stays selected.
    if (event->spontaneous()) {
        return;
    }
    refreshLoginItem(std::nullopt);
    holdCheckbox_->setChecked(settings_.hotkeyMode() == HotkeyMode::hold);
    refreshShortcut();
    modelPopup_->setCurrentIndex(modelPopup_->findText(qt(storedModel())));
    refreshModelStatus();
}

// --- Start at Login ---

void GeneralPane::setLoginRows(bool noteShown, bool buttonShown)
{
    const int heightBefore = sizeHint().height();
    loginNote_->setVisible(noteShown);
    openLoginItemsButton_->setVisible(buttonShown);
    grid_->invalidate();
    if (sizeHint().height() == heightBefore) {
        return;
    }
    if (auto* frame = qobject_cast<SettingsWindowFrame*>(window())) {
        frame->fitWindow();
    }
}

void GeneralPane::refreshLoginItem(const std::optional<std::string>& error)
{
    const LoginItemStatus status = loginItem_.status();
    const bool approvalNeeded = status == LoginItemStatus::requiresApproval;
    loginCheckbox_->setChecked(status == LoginItemStatus::enabled || approvalNeeded);
    std::string text;
    if (error) {
        text = *error;
    } else if (approvalNeeded) {
        text = "Allow Korvane in the Autostart folder.";
    }
    loginNote_->setText(qt(text));
    settingslook::setTextColour(*loginNote_, error ? settingslook::errorRed() : settingslook::secondaryText(palette()));
    setLoginRows(!text.empty(), approvalNeeded);
}

void GeneralPane::onLoginToggled()
{
    const bool on = loginCheckbox_->isChecked();
    const std::string failure = on ? loginItem_.registerEntry() : loginItem_.unregisterEntry();
    if (failure.empty()) {
        log_(std::string("Start at Login: ") + (on ? "registered" : "unregistered"));
        refreshLoginItem(std::nullopt);
        return;
    }
    log_("Start at Login change failed: " + failure);
    refreshLoginItem("Could not change Start at Login: " + failure);
}

void GeneralPane::onOpenLoginItems()
{
    // A file manager shows nothing for a folder that is not there yet.
    std::error_code ignored;
    std::filesystem::create_directories(loginItem_.folder(), ignored);
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(loginItem_.folder().string())));
}

// --- Shortcut ---

void GeneralPane::onChangeHotkey()
{
    if (recorder_ || window() == nullptr) {
        return;
    }
    if (hotkeys_.pause) {
        hotkeys_.pause();
    }
    recorder_ = new HotkeyRecorderWindow(mainQueue_, window());
    recorder_->begin(
        settings_.hotkeyBinding(),
        [weak = std::weak_ptr(alive_)](std::optional<HotkeyBinding> result) {
            const auto alive = weak.lock();
            if (!alive) {
                return;
            }
            GeneralPane* self = *alive;
            if (self->recorder_ != nullptr) {
                self->recorder_->deleteLater();
            }
            self->recorder_ = nullptr;
            if (self->hotkeys_.apply) {
                self->hotkeys_.apply(std::move(result));
            }
            // Whatever is stored now: the old binding again when the new one was refused.
            self->refreshShortcut();
        },
        hotkeys_.modifierChordsAllowed);
}

void GeneralPane::refreshShortcut()
{
    if (hotkeys_.compositorBinding) {
        const std::optional<std::string> line = hotkeys_.compositorBinding(settings_.hotkeyMode());
        hotkeyLabel_->setText(line ? qt("Add to your compositor's configuration:\n" + *line)
                                   : qt("Your compositor cannot bind " + shortcutLabel(settings_.hotkeyBinding()) +
                                        ": bind korvane --toggle to keys of your choice there."));
        return;
    }
    hotkeyLabel_->setText(
        qt(hotkeys_.shownShortcut ? hotkeys_.shownShortcut() : shortcutLabel(settings_.hotkeyBinding())));
}

void GeneralPane::onCopyBinding()
{
    if (const std::optional<std::string> line =
            hotkeys_.compositorBinding ? hotkeys_.compositorBinding(settings_.hotkeyMode()) : std::nullopt) {
        QGuiApplication::clipboard()->setText(qt(*line));
    }
}

void GeneralPane::onHoldToggled()
{
    // Read at the next shortcut event; nothing needs registering again.
    settings_.setHotkeyMode(holdCheckbox_->isChecked() ? HotkeyMode::hold : HotkeyMode::toggle);
    refreshShortcut();  // the compositor's line differs by mode
}

// --- Models ---

std::string GeneralPane::storedModel() const
{
    return models_->names().resolve(settings_.modelSize());
}

std::string GeneralPane::sizeText(const std::string& name) const
{
    const qint64 bytes = models_->expectedBytes(name);
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat).toStdString();
}

void GeneralPane::refreshModelStatus()
{
    ModelFacts facts;
    facts.stored = storedModel();
    facts.loadingModelName = dictation_->loadingModelName();
    facts.downloadPercent = dictation_->downloadPercent();
    facts.failedModelName = dictation_->failedModelName();
    facts.modelLoadFailure = dictation_->modelLoadFailure();
    facts.lastReadyModel = dictation_->lastReadyModel();
    facts.previewed = modelPopup_->currentIndex() >= 0 ? modelPopup_->currentText().toStdString() : facts.stored;
    facts.previewedPresent = models_->isDownloaded(facts.previewed);
    facts.previewedSize = sizeText(facts.previewed);
    facts.gpuBackendActive = gpuBackendActive_ && gpuBackendActive_();
    const ModelRows rows = decideModelRows(facts);

    modelStatus_->setText(qt(rows.status.text()));
    settingslook::setTextColour(*modelStatus_,
                                rows.statusIsError ? settingslook::errorRed() : settingslook::secondaryText(palette()));
    retryButton_->setVisible(rows.retryVisible);
    modelFailureReason_->setText(qt(rows.failureReason));
    modelFailureReason_->setVisible(!rows.failureReason.empty());
    retryButton_->setEnabled(rows.retryEnabled);
    for (int i = 0; i < modelPopup_->count(); ++i) {
        const bool inUse = rows.checkedModel && modelPopup_->itemText(i).toStdString() == *rows.checkedModel;
        modelPopup_->setItemData(i, inUse ? QVariant(Qt::Checked) : QVariant(), Qt::CheckStateRole);
    }
    modelDescription_->setText(qt(rows.description));
    modelDisk_->setText(qt(rows.disk));
    useModelButton_->setText(qt(rows.useTitle));
    useModelButton_->setEnabled(rows.useEnabled);
    deleteModelButton_->setVisible(rows.deleteVisible);
}

void GeneralPane::setGpuBackendActive(std::function<bool()> gpuBackendActive)
{
    gpuBackendActive_ = std::move(gpuBackendActive);
    refreshModelStatus();
}

void GeneralPane::onModelPreviewed()
{
    refreshModelStatus();
}

void GeneralPane::onUseModel()
{
    if (modelPopup_->currentIndex() >= 0) {
        load(modelPopup_->currentText().toStdString());
    }
}

void GeneralPane::onRetry()
{
    const std::optional<std::string> failed = dictation_->failedModelName();
    if (dictation_->loadingModelName() || !failed) {
        return;
    }
    modelPopup_->setCurrentIndex(modelPopup_->findText(qt(*failed)));
    load(*failed);
}

void GeneralPane::load(const std::string& name)
{
    dictation_->preloadModel(name, [weak = std::weak_ptr(alive_), name](bool ready) {
        const auto alive = weak.lock();
        if (!alive) {
            return;
        }
        GeneralPane* self = *alive;
        // The stored choice changes only once the model has actually loaded.
        if (ready) {
            self->settings_.setModelSize(self->models_->names().resolve(name));
        }
        self->refreshModelStatus();
    });
    refreshModelStatus();
}

void GeneralPane::onDeleteModel()
{
    if (modelPopup_->currentIndex() < 0 || window() == nullptr) {
        return;
    }
    const std::string name = modelPopup_->currentText().toStdString();
    auto* alert = new QMessageBox(window());
    alert->setObjectName("deleteModelAlert");
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::Warning);
    alert->setText(qt(deleteModelQuestion(name)));
    alert->setInformativeText(qt(deleteModelDetail(sizeText(name))));
    QPushButton* remove = alert->addButton("Delete", QMessageBox::DestructiveRole);
    QPushButton* cancel = alert->addButton("Cancel", QMessageBox::RejectRole);
    alert->setDefaultButton(remove);
    alert->setEscapeButton(cancel);
    // The connection ends with the pane (its context), so the pane is there whenever it runs.
    connect(alert, &QMessageBox::buttonClicked, this, [this, remove, name](QAbstractButton* clicked) {
        if (clicked != remove) {
            return;
        }
        if (dictation_->deleteModel(name)) {
            refreshModelStatus();
            return;
        }
        modelStatus_->setText(qt(deleteRefusedText(name)));
        settingslook::setTextColour(*modelStatus_, settingslook::errorRed());
    });
    alert->open();
}

}  // namespace korvane
