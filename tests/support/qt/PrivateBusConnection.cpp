#include "tests/support/qt/PrivateBusConnection.h"

namespace korvane::testing {

PrivateBusConnection::PrivateBusConnection(const std::string& address)
{
    // Qt shares a connection between all who connect under one name.
    static int connections = 0;
    name_ = QStringLiteral("korvane-test-bus-%1").arg(++connections);
    QDBusConnection::connectToBus(QString::fromStdString(address), name_);
}

PrivateBusConnection::~PrivateBusConnection()
{
    QDBusConnection::disconnectFromBus(name_);
}

}  // namespace korvane::testing
