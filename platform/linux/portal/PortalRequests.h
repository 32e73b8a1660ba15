#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <map>

namespace korvane {

// The calls of one desktop portal interface that are answered later, through a Request object's
// Response signal. The portal names that object after our unique bus name and a handle token of
// ours, so the signal is subscribed to before the call and cannot be missed. Clients that share a
// connection must use different token prefixes, or their requests would be given the same paths.
// Main thread.
class PortalRequests final : public QObject {
    Q_OBJECT

public:
    // The portal's response code (0 for success, 1 when the user cancelled) and its results.
    using Handler = std::function<void(unsigned response, const QVariantMap& results)>;
    static constexpr unsigned kCancelled = 1;
    // Also what a call that failed is reported as.
    static constexpr unsigned kFailed = 2;

    // Tokens are "<tokenPrefix>_<n>" for requests and "<tokenPrefix>_session_<n>" for sessions,
    // numbered together.
    PortalRequests(QDBusConnection bus, QString interface, QString tokenPrefix);

    // Calls `method` with `arguments`, the last of them an options map that gets our handle token,
    // and hands the Response (or a failure, as response 2 with "error") to `handler`.
    void request(const QString& method, QList<QVariant> arguments, Handler handler);
    // A token of ours for the session handle of a CreateSession call.
    QString sessionToken();
    // Closes every unanswered request, which makes the portal drop its dialog; their late answers
    // are ignored.
    void closeAll();

private slots:
    void onResponse(const QDBusMessage& message);

private:
    void listen(const QString& path, Handler handler);
    void forget(const QString& path);

    QDBusConnection bus_;
    QString interface_;
    QString tokenPrefix_;
    std::map<QString, Handler> pending_;  // by request path
    std::uint64_t nextToken_ = 0;
};

}  // namespace korvane
