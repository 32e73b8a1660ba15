#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace korvane {

class UpdateController;

// The Updates tab: "Check Automatically" (the stored automatic-check preference, read again each
// time the pane appears), a note on what a check sends and to whom, and "Check Now…", which reads
// "Checking…" and stays disabled while the check it started runs. Main thread only; the update
// controller must outlive the pane, and only one pane may watch it.
class UpdatesPane final : public QWidget {
    Q_OBJECT

public:
    explicit UpdatesPane(UpdateController& updates, QWidget* parent = nullptr);
    ~UpdatesPane() override;

    // 480 x 150, the pane's designed size; the settings window fits itself to it.
    QSize sizeHint() const override;

    // The checkbox's action: stores the new state through the controller.
    void onAutoToggled(bool checked);

    QCheckBox* autoCheckbox() const { return autoCheckbox_; }
    QLabel* helpLabel() const { return help_; }
    QPushButton* checkNowButton() const { return checkNow_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The checkbox from the stored preference, the note from the feed in use.
    void refresh();
    void showCheckRunning(bool running);

    UpdateController& updates_;
    QCheckBox* autoCheckbox_ = nullptr;
    QLabel* help_ = nullptr;
    QPushButton* checkNow_ = nullptr;
};

}  // namespace korvane
