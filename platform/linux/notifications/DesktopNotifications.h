#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace korvane {

// Desktop notifications through the freedesktop notification service on the session bus
// (org.freedesktop.Notifications). A click on one of ours, or its "Open Settings" button, runs
// `openSettings`. Without a session bus or a notification server nothing is shown and nothing is
// reported: the tray and the settings window still say the same. Main thread.
class DesktopNotifications final : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifications(std::function<void()> openSettings, QObject* parent = nullptr);
    ~DesktopNotifications() override;

    DesktopNotifications(const DesktopNotifications&) = delete;
    DesktopNotifications& operator=(const DesktopNotifications&) = delete;

    // Shows `summary` and `body`, replacing our previous notification while the server still
    // shows it. Returns at once; the server answers later.
    void notify(const std::string& summary, const std::string& body);

private slots:
    void onActionInvoked(uint id, const QString& actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    std::function<void()> openSettings_;
    QDBusConnection bus_;
    std::set<std::uint32_t> shown_;  // ids of ours the server has not closed
    std::uint32_t lastId_ = 0;
};

}  // namespace korvane
