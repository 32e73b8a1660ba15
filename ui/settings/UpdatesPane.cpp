#include "ui/settings/UpdatesPane.h"

#include "core/updates/UpdateController.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace korvane {

namespace {

// Notes in the secondary text colour (the palette's own text colour, greyed, so that it follows light
// and dark themes) and sizes given against a 13-point body text, as the other panes draw them.
void greyText(QWidget& widget)
{
    QPalette palette = widget.palette();
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(0.6F);
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget.setPalette(palette);
}

QFont scaledFont(const QFont& base, double points, QFont::Weight weight = QFont::Normal)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * points / 13.0);
    font.setWeight(weight);
    return font;
}

}  // namespace

UpdatesPane::UpdatesPane(UpdateController& updates, QWidget* parent) : QWidget(parent), updates_(updates)
{
    autoCheckbox_ = new QCheckBox(QStringLiteral("Check Automatically"), this);
    connect(autoCheckbox_, &QCheckBox::toggled, this, &UpdatesPane::onAutoToggled);

    help_ = new QLabel(this);
    help_->setWordWrap(true);
    help_->setFont(scaledFont(font(), 11));
    greyText(*help_);

    checkNow_ = new QPushButton(QStringLiteral("Check Now\u2026"), this);
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
}

QSize UpdatesPane::sizeHint() const
{
    return {480, 150};
}

void UpdatesPane::onAutoToggled(bool checked)
{
    updates_.setAutomaticallyChecksForUpdates(checked);
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
