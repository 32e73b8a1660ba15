#include "ui/settings/HotkeyRecorderWindow.h"

#include "hotkeys/KeyPositionTable.h"
#include "hotkeys/ShortcutLabel.h"
#include "ui/logic/HotkeyRecorder.h"
#include "ui/settings/RecorderKeys.h"
#include "ui/settings/SettingsLook.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <utility>

namespace korvane {

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 250;

// Places a child by its frame measured from the bottom-left corner, as the layout was drawn.
void place(QWidget& widget, int x, int yFromBottom, int width, int height)
{
    widget.setGeometry(x, kHeight - yFromBottom - height, width, height);
}

QLabel* makeLabel(QWidget* parent, const QString& text, double points, QFont::Weight weight, bool wraps)
{
    auto* label = new QLabel(text, parent);
    label->setFont(settingslook::scaledFont(parent->font(), points, weight));
    label->setWordWrap(wraps);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

HotkeyRecorderWindow::HotkeyRecorderWindow(std::shared_ptr<MainQueue> mainQueue, QWidget* parent)
    : QDialog(parent), mainQueue_(std::move(mainQueue))
{
    setObjectName("hotkeyRecorder");
    setWindowTitle("Record Hotkey");
    setWindowModality(Qt::WindowModal);
    setFixedSize(kWidth, kHeight);
    // The dialog itself holds the focus, so every key comes here instead of to a button.
    setFocusPolicy(Qt::StrongFocus);

    auto* prompt =
        makeLabel(this,
                  "Hold your modifiers and press a key, or hold Super with one or more other modifiers (such "
                  "as Alt+Super) for a modifier-only shortcut.",
                  11, QFont::Normal, true);
    settingslook::setTextColour(*prompt, settingslook::secondaryText(palette()));
    place(*prompt, 20, 196, 380, 40);

    heldLabel_ = makeLabel(this, "—", 30, QFont::Medium, false);
    heldLabel_->setObjectName("heldLabel");
    heldLabel_->setAlignment(Qt::AlignCenter);
    settingslook::setTextColour(*heldLabel_, settingslook::secondaryText(palette()));
    place(*heldLabel_, 20, 146, 380, 42);

    currentLabel_ = makeLabel(this, QString(), 11, QFont::Normal, false);
    currentLabel_->setObjectName("currentLabel");
    currentLabel_->setAlignment(Qt::AlignCenter);
    settingslook::setTextColour(*currentLabel_, settingslook::tertiaryText(palette()));
    place(*currentLabel_, 20, 122, 380, 18);

    candidateLabel_ = makeLabel(this, QString(), 13, QFont::DemiBold, false);
    candidateLabel_->setObjectName("candidateLabel");
    candidateLabel_->setAlignment(Qt::AlignCenter);
    place(*candidateLabel_, 20, 92, 380, 22);

    messageLabel_ = makeLabel(this, QString(), 11, QFont::Normal, true);
    messageLabel_->setObjectName("messageLabel");
    messageLabel_->setAlignment(Qt::AlignCenter);
    settingslook::setTextColour(*messageLabel_, settingslook::errorRed());
    place(*messageLabel_, 20, 46, 380, 42);

    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancelButton");
    cancel->setFocusPolicy(Qt::NoFocus);
    cancel->setAutoDefault(false);
    place(*cancel, 120, 12, 90, 32);
    connect(cancel, &QPushButton::clicked, this, &HotkeyRecorderWindow::onCancel);

    useButton_ = new QPushButton("Use This", this);
    useButton_->setObjectName("useButton");
    useButton_->setFocusPolicy(Qt::NoFocus);
    useButton_->setAutoDefault(false);
    useButton_->setEnabled(false);
    place(*useButton_, 216, 12, 100, 32);
    connect(useButton_, &QPushButton::clicked, this, &HotkeyRecorderWindow::onUse);
}

HotkeyRecorderWindow::~HotkeyRecorderWindow()
{
    if (recorder_) {
        recorder_->stop();
    }
}

ChordModifierSet HotkeyRecorderWindow::currentModifiers() const
{
    // On X11 the server knows what is held right now, releases this window never saw included.
    // Elsewhere the window's own events are all there is.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        return chordModifiersOf(QGuiApplication::queryKeyboardModifiers());
    }
    return held_;
}

void HotkeyRecorderWindow::begin(const HotkeyBinding& current, Completion completion, bool modifierChordsAllowed)
{
    completion_ = std::move(completion);
    currentLabel_->setText(QString::fromStdString("Current: " + shortcutLabel(current)));
    held_ = currentModifiers();
    recorder_ = std::make_unique<HotkeyRecorder>(
        mainQueue_, [this] { return currentModifiers(); }, held_, [this] { refresh(); });
    recorder_->setModifierChordsAllowed(modifierChordsAllowed);
    refresh();
    open();
    setFocus(Qt::OtherFocusReason);
}

bool HotkeyRecorderWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claiming the key keeps the settings window's menu shortcuts (Ctrl+W, Ctrl+Q) from firing:
        // it then arrives here as an ordinary key press.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        handleKey(static_cast<QKeyEvent&>(*event));
        return true;
    default:
        return QDialog::event(event);
    }
}

void HotkeyRecorderWindow::closeEvent(QCloseEvent* event)
{
    // The title bar's close button counts as Cancel.
    event->ignore();
    onCancel();
}

void HotkeyRecorderWindow::handleKey(QKeyEvent& event)
{
    event.accept();
    if (!recorder_ || !completion_) {
        return;
    }
    const std::optional<std::uint32_t> keysym = baseKeysymOf(event);
    if (!keysym || HotkeyRecorder::ignoresKey(*keysym)) {
        return;
    }
    const bool press = event.type() == QEvent::KeyPress;
    if (const std::optional<ChordModifier> modifier = HotkeyRecorder::modifierOfKey(*keysym)) {
        // Platforms differ in whether a modifier key's own event already carries its modifier, so
        // the key itself decides: down on a press, up on a release.
        ChordModifierSet held = chordModifiersOf(event);
        if (press) {
            held.insert(*modifier);
        } else {
            held.erase(*modifier);
        }
        if (held != held_) {
            held_ = held;
            recorder_->modifiersChanged(held);
            refresh();
        }
        return;
    }
    if (event.isAutoRepeat()) {
        return;
    }
    if (!press) {
        recorder_->keyReleased();
        refresh();
        return;
    }
    const std::optional<std::uint16_t> keyCode = KeyPositionTable::keyCode(*keysym);
    if (!keyCode) {
        return;
    }
    if (recorder_->keyPressed(chordModifiersOf(event), *keyCode) == HotkeyRecorder::KeyResult::cancel) {
        onCancel();
        return;
    }
    refresh();
}

void HotkeyRecorderWindow::refresh()
{
    const HotkeyRecorderDisplay display = recorder_->display();
    heldLabel_->setText(QString::fromStdString(display.held));
    candidateLabel_->setText(QString::fromStdString(display.candidate));
    messageLabel_->setText(QString::fromStdString(display.message));
    settingslook::setTextColour(*messageLabel_, display.messageTone == HotkeyMessageTone::error
                                                    ? settingslook::errorRed()
                                                    : settingslook::secondaryText(palette()));
    useButton_->setEnabled(display.canUse);
}

void HotkeyRecorderWindow::onUse()
{
    if (!recorder_ || !recorder_->candidate() || !completion_) {
        return;
    }
    finish(recorder_->candidate());
}

void HotkeyRecorderWindow::onCancel()
{
    if (!completion_) {
        return;
    }
    finish(std::nullopt);
}

void HotkeyRecorderWindow::finish(std::optional<HotkeyBinding> result)
{
    Completion completion = std::exchange(completion_, nullptr);
    if (recorder_) {
        recorder_->stop();
    }
    // QDialog::done() hides the dialog; the completion runs once it is gone from the screen.
    done(result ? QDialog::Accepted : QDialog::Rejected);
    completion(std::move(result));
}

}  // namespace korvane
