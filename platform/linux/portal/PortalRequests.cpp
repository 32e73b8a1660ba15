#include "platform/linux/portal/PortalRequests.h"

#include "platform/linux/portal/PortalBus.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <utility>
#include <vector>

namespace korvane {

namespace {

const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

}  // namespace

PortalRequests::PortalRequests(QDBusConnection bus, QString interface, QString tokenPrefix)
    : bus_(std::move(bus)), interface_(std::move(interface)), tokenPrefix_(std::move(tokenPrefix))
{
}

QString PortalRequests::sessionToken()
{
    return tokenPrefix_ + QStringLiteral("_session_%1").arg(++nextToken_);
}

void PortalRequests::request(const QString& method, QList<QVariant> arguments, Handler handler)
{
    const QString token = tokenPrefix_ + QStringLiteral("_%1").arg(++nextToken_);
    QVariantMap options = arguments.takeLast().toMap();
    options.insert("handle_token", token);
    arguments.append(options);
    // The portal names the request object after our unique name and the token, so the answer can
    // be subscribed to before the call.
    QString sender = bus_.baseService().mid(1);
    sender.replace('.', '_');
    const QString expected = kPortalPath + "/request/" + sender + "/" + token;
    listen(expected, std::move(handler));

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface_, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, expected](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        const auto found = pending_.find(expected);
        if (found == pending_.end()) {
            return;
        }
        if (reply.isError()) {
            Handler failed = std::move(found->second);
            forget(expected);
            failed(kFailed, QVariantMap{{"error", reply.error().message()}});
            return;
        }
        const QString actual = reply.value().path();
        if (actual != expected) {
            // A portal that picked another path (one already in use): follow the answer there.
            Handler moved = std::move(found->second);
            forget(expected);
            listen(actual, std::move(moved));
        }
    });
}

void PortalRequests::closeAll()
{
    std::vector<QString> unanswered;
    for (const auto& [path, handler] : pending_) {
        unanswered.push_back(path);
    }
    for (const QString& path : unanswered) {
        bus_.send(QDBusMessage::createMethodCall(kPortalService, path, kRequestInterface, QStringLiteral("Close")));
        forget(path);
    }
}

void PortalRequests::listen(const QString& path, Handler handler)
{
    bus_.connect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), this,
                 SLOT(onResponse(QDBusMessage)));
    pending_[path] = std::move(handler);
}

void PortalRequests::forget(const QString& path)
{
    pending_.erase(path);
    bus_.disconnect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), this,
                    SLOT(onResponse(QDBusMessage)));
}

void PortalRequests::onResponse(const QDBusMessage& message)
{
    const auto found = pending_.find(message.path());
    if (found == pending_.end() || message.arguments().size() < 2) {
        return;
    }
    Handler handler = std::move(found->second);
    forget(message.path());
    const unsigned response = message.arguments().at(0).toUInt();
    const QVariantMap results = qdbus_cast<QVariantMap>(message.arguments().at(1));
    handler(response, results);
}

}  // namespace korvane
