#include "app/StatusMenu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <utility>

namespace korvane {

namespace {

// One colour per kind of state, readable on light and dark panels: a filled dot with a light ring
// and a dark outline.
QColor colourFor(DictationStatus::Kind kind)
{
    switch (kind) {
    case DictationStatus::Kind::recording:
    case DictationStatus::Kind::recordingLimitReached:
        return QColor(255, 69, 58);
    case DictationStatus::Kind::transcribing:
    case DictationStatus::Kind::loading:
    case DictationStatus::Kind::downloading:
        return QColor(255, 159, 10);
    case DictationStatus::Kind::copiedToClipboard:
        return QColor(10, 132, 255);
    case DictationStatus::Kind::error:
    case DictationStatus::Kind::notDelivered:
        return QColor(255, 214, 10);
    case DictationStatus::Kind::ready:
    case DictationStatus::Kind::pasteSent:
    case DictationStatus::Kind::noSpeech:
    case DictationStatus::Kind::cancelled:
        break;
    }
    return QColor(142, 142, 147);
}

QIcon drawIcon(const QColor& colour)
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 255, 255, 220), 6));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(6, 6, 52, 52));
    painter.setPen(QPen(QColor(0, 0, 0, 160), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(2, 2, 60, 60));
    return QIcon(pixmap);
}

}  // namespace

StatusMenu::StatusMenu(std::string bindingDisplayText, Actions actions, LogSink log)
    : model_(bindingDisplayText), actions_(std::move(actions)), log_(std::move(log)), menu_(std::make_unique<QMenu>())
{
    statusLine_ = menu_->addAction(QString());
    statusLine_->setEnabled(false);
    dictation_ = menu_->addAction(QString());
    QObject::connect(dictation_, &QAction::triggered, this, [this] {
        if (actions_.toggleDictation) {
            actions_.toggleDictation();
        }
    });
    cancel_ = menu_->addAction("Cancel Dictation");
    QObject::connect(cancel_, &QAction::triggered, this, [this] {
        if (actions_.cancelDictation) {
            actions_.cancelDictation();
        }
    });
    copyTranscript_ = menu_->addAction("Copy Last Transcript");
    copyTranscript_->setToolTip("Put the most recent transcript back on the clipboard. Kept in memory only, until "
                                "the app quits.");
    menu_->setToolTipsVisible(true);
    QObject::connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        if (actions_.menuWillOpen) {
            actions_.menuWillOpen();
        }
    });
    QObject::connect(copyTranscript_, &QAction::triggered, this, [this] { copyLastTranscript(); });
    menu_->addSeparator();
    // No key equivalents on the items: a tray menu never has the keyboard focus to use them.
    QAction* settings = menu_->addAction("Settings…");
    settings->setEnabled(static_cast<bool>(actions_.showSettings));
    QObject::connect(settings, &QAction::triggered, this, [this] {
        if (actions_.showSettings) {
            actions_.showSettings();
        }
    });
    menu_->addSeparator();
    QAction* quit = menu_->addAction("Quit Korvane");
    QObject::connect(quit, &QAction::triggered, this, [this] {
        if (actions_.quit) {
            actions_.quit();
        }
    });

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(this);
        tray_->setContextMenu(menu_.get());
        // A plain click opens the menu too, as users expect of a tray utility.
        QObject::connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) {
                menu_->popup(QCursor::pos());
            }
        });
    } else {
        log_("No system tray found: Korvane keeps working from its shortcut");
    }
    refresh();
    if (tray_ != nullptr) {
        tray_->show();
    }
}

StatusMenu::~StatusMenu() = default;

std::optional<IndicatorChange> StatusMenu::handleStatus(const DictationStatus& status, const std::string& hint)
{
    const bool hasTranscript = actions_.lastTranscript && actions_.lastTranscript().has_value();
    std::optional<IndicatorChange> change = model_.apply(status, hint, hasTranscript);
    if (change || status.kind() != DictationStatus::Kind::downloading || !model_.showingPasteInstruction()) {
        iconKind_ = status.kind();
    }
    refresh();
    return change;
}

void StatusMenu::setStatusLine(std::string line)
{
    model_.setStatusLine(std::move(line));
    refresh();
}

void StatusMenu::copyLastTranscript()
{
    const std::optional<std::string> transcript = actions_.lastTranscript ? actions_.lastTranscript() : std::nullopt;
    bool copied = false;
    if (transcript) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QString::fromStdString(*transcript), QClipboard::Clipboard);
        copied = clipboard->text(QClipboard::Clipboard) == QString::fromStdString(*transcript);
    }
    model_.showCopyResult(copied);
    refresh();
}

void StatusMenu::refresh()
{
    const StatusMenuTexts& texts = model_.texts();
    statusLine_->setText(QString::fromStdString(texts.statusLine));
    dictation_->setText(QString::fromStdString(texts.dictationItemTitle));
    cancel_->setVisible(texts.cancelDictationVisible);
    copyTranscript_->setEnabled(texts.copyLastTranscriptEnabled);
    if (tray_ != nullptr) {
        tray_->setToolTip(QString::fromStdString(trayToolTip(texts.statusLine)));
        if (iconKind_ != shownIconKind_) {
            shownIconKind_ = iconKind_;
            tray_->setIcon(trayIcon(iconKind_));
        }
    }
}

const QIcon& StatusMenu::trayIcon(DictationStatus::Kind kind)
{
    // Drawn once per colour: the tray keeps the scaled copy of each icon it is given in the
    // process's pixmap cache under that icon's key, so an icon drawn afresh at every status change
    // left one more copy behind each time, about 10 MB over a few hundred dictations.
    const QColor colour = colourFor(kind);
    auto found = icons_.find(colour.rgba());
    if (found == icons_.end()) {
        found = icons_.emplace(colour.rgba(), drawIcon(colour)).first;
    }
    return found->second;
}

}  // namespace korvane
