#include "ui/settings/UpdatesPane.h"

#include "core/updates/UpdateController.h"
#include "ui/settings/SettingsLook.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace korvane {

UpdatesPane::UpdatesPane(UpdateController& updates, QWidget* parent) : QWidget(parent), updates_(updates)
{
    autoCheckbox_ = new QCheckBox(QStringLiteral("Check Automatically"), this);
    connect(autoCheckbox_, &QCheckBox::toggled, this, &UpdatesPane::onAutoToggled);

    help_ = new QLabel(this);
    help_->setWordWrap(true);
    help_->setFont(settingslook::scaledFont(font(), 11));
    settingslook::setTextColour(*help_, settingslook::secondaryText(help_->palette()));

    checkNow_ = new QPushButton(this);
    checkNow_->setMinimumWidth(130);
    connect(checkNow_, &QPushButton::clicked, this, [this] { updates_.checkForUpdates(); });

    // The note sits under the checkbox's text, not under its box.
    auto* note = new QHBoxLayout;
    note->setContentsMargins(18, 0, 0, 0);
    note->addWidget(help_);
    auto* button = new QHBoxLayout;
    button->addWidget(checkNow_);
    button->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 18);
    layout->setSpacing(6);
    layout->addWidget(autoCheckbox_);
    layout->addLayout(note);
    layout->addStretch();
    layout->addLayout(button);

    refresh();
    showCheckRunning(updates_.isUserCheckRunning());
    updates_.setUserCheckObserver([this](bool running) { showCheckRunning(running); });
}

UpdatesPane::~UpdatesPane()
{
    updates_.setUserCheckObserver({});
}

QSize UpdatesPane::sizeHint() const
{
    return {480, 150};
}

void UpdatesPane::onAutoToggled(bool checked)
{
    updates_.setAutomaticallyChecksForUpdates(checked);
}

void UpdatesPane::showCheckRunning(bool running)
{
    checkNow_->setText(running ? QStringLiteral("Checking\u2026") : QStringLiteral("Check Now\u2026"));
    checkNow_->setEnabled(!running);
}

void UpdatesPane::showEvent(QShowEvent* event)
{
    refresh();
    QWidget::showEvent(event);
}

void UpdatesPane::refresh()
{
    // Setting the box from the store is no user action: it must not write the value back.
    const QSignalBlocker quiet(autoCheckbox_);
    autoCheckbox_->setChecked(updates_.automaticallyChecksForUpdates());
    help_->setText(QStringLiteral("Checks ") + QString::fromStdString(updates_.feedHost()) +
                   QStringLiteral(" once a day. A check sends your IP address and app version, nothing else. "
                                  "Updates still wait for your click."));
}

}  // namespace korvane
