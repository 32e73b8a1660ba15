#include "platform/linux/portal/PortalBus.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace korvane {

unsigned portalInterfaceVersion(const QDBusConnection& bus, const QString& interface, int timeoutMs)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << interface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return 0;
    }
    return reply.arguments().first().value<QDBusVariant>().variant().toUInt();
}

}  // namespace korvane
