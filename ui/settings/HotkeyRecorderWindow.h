#pragma once

#include "hotkeys/ChordModifierSet.h"
#include "hotkeys/HotkeyBinding.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;

namespace korvane {

class HotkeyRecorder;
class MainQueue;

// The window in which the user presses a new shortcut: a window-modal dialog over the settings
// window that takes every key typed while it is open (no key reaches a button or a menu shortcut),
// shows the modifiers held and the candidate, and explains refused input. It stores and registers
// nothing; the completion gets the chosen binding after "Use This", or nothing after Cancel or
// Escape, once, after the dialog has closed. One recording per object. Main thread only.
class HotkeyRecorderWindow final : public QDialog {
    Q_OBJECT

public:
    using Completion = std::function<void(std::optional<HotkeyBinding>)>;

    HotkeyRecorderWindow(std::shared_ptr<MainQueue> mainQueue, QWidget* parent);
    ~HotkeyRecorderWindow() override;

    // Shows the dialog over its parent with `current` as the binding in force. Where the desktop
    // binds the shortcut, `modifierChordsAllowed` is false.
    void begin(const HotkeyBinding& current, Completion completion, bool modifierChordsAllowed = true);

    void onUse();
    void onCancel();

    QLabel* heldLabel() const { return heldLabel_; }
    QLabel* candidateLabel() const { return candidateLabel_; }
    QLabel* messageLabel() const { return messageLabel_; }
    QPushButton* useButton() const { return useButton_; }
    const HotkeyRecorder& recorder() const { return *recorder_; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void handleKey(QKeyEvent& event);
    void refresh();
    void finish(std::optional<HotkeyBinding> result);
    ChordModifierSet currentModifiers() const;

    std::shared_ptr<MainQueue> mainQueue_;
    std::unique_ptr<HotkeyRecorder> recorder_;
    Completion completion_;
    ChordModifierSet held_;  // as the last key events of this window left it
    QLabel* heldLabel_;
    QLabel* currentLabel_;
    QLabel* candidateLabel_;
    QLabel* messageLabel_;
    QPushButton* useButton_;
};

}  // namespace korvane
