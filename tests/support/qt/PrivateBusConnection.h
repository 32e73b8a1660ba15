#pragma once

#include <QDBusConnection>
#include <QString>

#include <string>

namespace korvane::testing {

// A connection of its own to the bus at `address`, with a unique name of its own, as a separate
// launch of Korvane would have; closed when this goes, so anything that holds a copy of it must go
// first.
class PrivateBusConnection {
public:
    explicit PrivateBusConnection(const std::string& address);
    ~PrivateBusConnection();

    PrivateBusConnection(const PrivateBusConnection&) = delete;
    PrivateBusConnection& operator=(const PrivateBusConnection&) = delete;

    QDBusConnection connection() const { return QDBusConnection(name_); }

private:
    QString name_;
};

}  // namespace korvane::testing
