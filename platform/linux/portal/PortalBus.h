#pragma once

#include <QDBusConnection>
#include <QString>

namespace korvane {

// Where the desktop portal answers on the session bus, and the interface its sessions share.
inline const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString kPortalSessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// The version of the portal's `interface` on `bus`; 0 where there is none, or when the portal does
// not answer within `timeoutMs`.
unsigned portalInterfaceVersion(const QDBusConnection& bus, const QString& interface, int timeoutMs);

}  // namespace korvane
