#include "platform/linux/notifications/DesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <utility>

namespace korvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// "default" is what the server sends for a click on the notification itself.
const QString kDefaultAction = QStringLiteral("default");
const QString kSettingsAction = QStringLiteral("settings");

}  // namespace

DesktopNotifications::DesktopNotifications(std::function<void()> openSettings, QObject* parent)
    : QObject(parent), openSettings_(std::move(openSettings)), bus_(QDBusConnection::sessionBus())
{
    if (!bus_.isConnected()) {
        return;
    }
    // Any sender: a server that starts (or restarts) later has another unique name.
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(onNotificationClosed(uint, uint)));
}

DesktopNotifications::~DesktopNotifications() = default;

void DesktopNotifications::notify(const std::string& summary, const std::string& body)
{
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QStringList actions{kDefaultAction, QStringLiteral("Open Settings"), kSettingsAction,
                              QStringLiteral("Open Settings")};
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("korvane"));
    const std::uint32_t replaces = shown_.contains(lastId_) ? lastId_ : 0;
    call << QStringLiteral("Korvane") << replaces << QStringLiteral("korvane") << QString::fromStdString(summary)
         << QString::fromStdString(body) << actions << hints << qint32(-1);
    // With no server the call fails with an error reply, which is simply dropped.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<uint> reply = *finished;
        if (!reply.isError()) {
            lastId_ = reply.value();
            shown_.insert(lastId_);
        }
        finished->deleteLater();
    });
}

void DesktopNotifications::onActionInvoked(uint id, const QString& actionKey)
{
    if (!shown_.contains(id) || (actionKey != kDefaultAction && actionKey != kSettingsAction)) {
        return;
    }
    if (openSettings_) {
        openSettings_();
    }
}

void DesktopNotifications::onNotificationClosed(uint id, uint /*reason*/)
{
    shown_.erase(id);
}

}  // namespace korvane
