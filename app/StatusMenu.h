#pragma once

#include "base/logging/LogSink.h"
#include "core/dictation/DictationStatus.h"
#include "ui/logic/StatusMenuModel.h"

#include <QColor>
#include <QIcon>
#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace korvane {

// The tray icon and its menu: the status line, Start/Stop Dictation, Copy Last Transcript,
// Settings… and Quit Korvane. The tooltip says "Korvane — " and the status line;
// the icon is drawn to match the state. Without a tray host the menu still exists (and the shortcut
// works); that is said once in the log. Main thread.
class StatusMenu final : public QObject {
public:
    struct Actions {
        std::function<void()> toggleDictation;
        std::function<void()> cancelDictation;  // "Cancel Dictation", shown while a dictation runs
        std::function<std::optional<std::string>()> lastTranscript;
        std::function<void()> showSettings;  // empty: the item stays disabled
        std::function<void()> quit;
        // Each time the menu is about to open, before it shows.
        std::function<void()> menuWillOpen;
    };

    StatusMenu(std::string bindingDisplayText, Actions actions, LogSink log = defaultLogSink());
    ~StatusMenu() override;

    // The controller's status; `hint` is " — press <shortcut>" while a shortcut is registered.
    std::optional<IndicatorChange> handleStatus(const DictationStatus& status, const std::string& hint);
    void setStatusLine(std::string line);

    const StatusMenuTexts& texts() const { return model_.texts(); }
    QMenu* menu() const { return menu_.get(); }
    // The tray's icon for a kind of status: a dot of its colour, the same icon every time.
    const QIcon& trayIcon(DictationStatus::Kind kind);
    void copyLastTranscript();

private:
    void refresh();

    StatusMenuModel model_;
    Actions actions_;
    LogSink log_;
    std::unique_ptr<QMenu> menu_;
    QAction* statusLine_ = nullptr;
    QAction* dictation_ = nullptr;
    QAction* cancel_ = nullptr;
    QAction* copyTranscript_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    DictationStatus::Kind iconKind_ = DictationStatus::Kind::ready;  // idle until a status says otherwise
    std::optional<DictationStatus::Kind> shownIconKind_;
    std::map<QRgb, QIcon> icons_;  // by colour
};

}  // namespace korvane
