#include "platform/linux/portal/QtGlobalShortcutsPortal.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <utility>

namespace {

// One entry of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

}  // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace korvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// Response codes of a portal request.
constexpr unsigned kCancelled = 1;

void registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    (void)registered;
}

// A path or a string: portals have sent the session handle as either.
QString pathText(const QVariant& value)
{
    if (value.canConvert<QDBusObjectPath>() && value.userType() == qMetaTypeId<QDBusObjectPath>()) {
        return value.value<QDBusObjectPath>().path();
    }
    return value.toString();
}

std::vector<GlobalShortcutsPortal::Shortcut> shortcutsOf(const QVariant& value)
{
    std::vector<GlobalShortcutsPortal::Shortcut> shortcuts;
    if (!value.canConvert<QDBusArgument>()) {
        return shortcuts;
    }
    const QList<PortalShortcut> entries = qdbus_cast<QList<PortalShortcut>>(value.value<QDBusArgument>());
    for (const PortalShortcut& entry : entries) {
        shortcuts.push_back({entry.id.toStdString(), entry.properties.value("description").toString().toStdString(),
                             entry.properties.value("trigger_description").toString().toStdString()});
    }
    return shortcuts;
}

std::string reasonFor(unsigned response, const QVariantMap& results)
{
    if (results.contains("error")) {
        return "The desktop portal failed: " + results.value("error").toString().toStdString();
    }
    return response == kCancelled ? "The shortcut was declined on the desktop" : "The desktop refused the shortcut";
}

}  // namespace

QtGlobalShortcutsPortal::QtGlobalShortcutsPortal(QDBusConnection bus, LogSink log)
    : bus_(std::move(bus)), log_(std::move(log))
{
    registerTypes();
    for (const char* name : {"Activated", "Deactivated", "ShortcutsChanged"}) {
        bus_.connect(kService, kPath, kInterface, QString::fromLatin1(name), this,
                     SLOT(onShortcutSignal(QDBusMessage)));
    }
}

QtGlobalShortcutsPortal::~QtGlobalShortcutsPortal()
{
    if (!session_.isEmpty()) {
        bus_.call(QDBusMessage::createMethodCall(kService, session_, kSessionInterface, QStringLiteral("Close")),
                  QDBus::NoBlock);
    }
}

unsigned QtGlobalShortcutsPortal::version(const QDBusConnection& bus, int timeoutMs)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return 0;
    }
    return reply.arguments().first().value<QDBusVariant>().variant().toUInt();
}

void QtGlobalShortcutsPortal::bind(const Shortcut& shortcut, std::function<void(const Answer&)> done)
{
    if (!session_.isEmpty()) {
        bindInSession(shortcut, std::move(done));
        return;
    }
    waiting_.emplace_back(shortcut, std::move(done));
    if (!opening_) {
        openSession();
    }
}

void QtGlobalShortcutsPortal::openSession()
{
    opening_ = true;
    QVariantMap options;
    options.insert("session_handle_token", QStringLiteral("korvane_session_%1").arg(++nextToken_));
    request(QStringLiteral("CreateSession"), {options}, [this](unsigned response, const QVariantMap& results) {
        opening_ = false;
        auto waiting = std::move(waiting_);
        waiting_.clear();
        const QString session = pathText(results.value("session_handle"));
        if (response != 0 || session.isEmpty()) {
            const std::string reason = reasonFor(response, results);
            log_("Portal shortcut session not opened: " + reason);
            for (auto& [shortcut, done] : waiting) {
                done(Answer{false, {}, reason});
            }
            return;
        }
        session_ = session;
        bus_.connect(kService, session_, kSessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QDBusMessage)));
        for (auto& [shortcut, done] : waiting) {
            bindInSession(shortcut, std::move(done));
        }
    });
}

void QtGlobalShortcutsPortal::bindInSession(const Shortcut& shortcut, std::function<void(const Answer&)> done)
{
    QVariantMap properties;
    properties.insert("description", QString::fromStdString(shortcut.description));
    if (!shortcut.trigger.empty()) {
        properties.insert("preferred_trigger", QString::fromStdString(shortcut.trigger));
    }
    const QList<PortalShortcut> shortcuts{{QString::fromStdString(shortcut.id), properties}};
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString(), QVariantMap()},
            [done = std::move(done)](unsigned response, const QVariantMap& results) {
                if (response != 0) {
                    done(Answer{false, {}, reasonFor(response, results)});
                    return;
                }
                done(Answer{true, shortcutsOf(results.value("shortcuts")), {}});
            });
}

void QtGlobalShortcutsPortal::request(const QString& method, QList<QVariant> arguments, ResponseHandler handler)
{
    const QString token = QStringLiteral("korvane_%1").arg(++nextToken_);
    QVariantMap options = arguments.takeLast().toMap();
    options.insert("handle_token", token);
    arguments.append(options);
    // The portal names the request object after our unique name and the token, so the answer can
    // be subscribed to before the call.
    QString sender = bus_.baseService().mid(1);
    sender.replace('.', '_');
    const QString expected = kPath + "/request/" + sender + "/" + token;
    bus_.connect(kService, expected, kRequestInterface, QStringLiteral("Response"), this,
                 SLOT(onResponse(QDBusMessage)));
    pending_[expected] = std::move(handler);

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, expected](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isError()) {
            const auto found = pending_.find(expected);
            if (found == pending_.end()) {
                return;
            }
            ResponseHandler failed = std::move(found->second);
            pending_.erase(found);
            bus_.disconnect(kService, expected, kRequestInterface, QStringLiteral("Response"), this,
                            SLOT(onResponse(QDBusMessage)));
            failed(2, QVariantMap{{"error", reply.error().message()}});
            return;
        }
        const QString actual = reply.value().path();
        if (actual != expected) {
            // A portal that picked another path (one already in use): follow the answer there.
            const auto found = pending_.find(expected);
            if (found != pending_.end()) {
                ResponseHandler moved = std::move(found->second);
                pending_.erase(found);
                pending_[actual] = std::move(moved);
                bus_.connect(kService, actual, kRequestInterface, QStringLiteral("Response"), this,
                             SLOT(onResponse(QDBusMessage)));
            }
        }
    });
}

void QtGlobalShortcutsPortal::onResponse(const QDBusMessage& message)
{
    const auto found = pending_.find(message.path());
    if (found == pending_.end() || message.arguments().size() < 2) {
        return;
    }
    ResponseHandler handler = std::move(found->second);
    pending_.erase(found);
    bus_.disconnect(kService, message.path(), kRequestInterface, QStringLiteral("Response"), this,
                    SLOT(onResponse(QDBusMessage)));
    const unsigned response = message.arguments().at(0).toUInt();
    const QVariantMap results = qdbus_cast<QVariantMap>(message.arguments().at(1));
    handler(response, results);
}

void QtGlobalShortcutsPortal::onShortcutSignal(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (session_.isEmpty() || arguments.size() < 2 || pathText(arguments.at(0)) != session_) {
        return;
    }
    const QString member = message.member();
    if (member == QLatin1String("ShortcutsChanged")) {
        if (handlers_.changed) {
            handlers_.changed(shortcutsOf(arguments.at(1)));
        }
        return;
    }
    const std::string id = arguments.at(1).toString().toStdString();
    const bool pressed = member == QLatin1String("Activated");
    if (pressed) {
        held_.insert(id);
    } else {
        held_.erase(id);
    }
    const auto& handler = pressed ? handlers_.activated : handlers_.deactivated;
    if (handler) {
        handler(id);
    }
}

void QtGlobalShortcutsPortal::onSessionClosed(const QDBusMessage& message)
{
    if (message.path() != session_) {
        return;
    }
    log_("Portal shortcut session closed by the desktop");
    forgetSession();
    if (handlers_.closed) {
        handlers_.closed();
    }
}

void QtGlobalShortcutsPortal::forgetSession()
{
    bus_.disconnect(kService, session_, kSessionInterface, QStringLiteral("Closed"), this,
                    SLOT(onSessionClosed(QDBusMessage)));
    session_.clear();
    held_.clear();
}

std::uint64_t QtGlobalShortcutsPortal::subscribe(Handlers handlers)
{
    subscriber_ = ++subscriptions_;
    handlers_ = std::move(handlers);
    return subscriber_;
}

void QtGlobalShortcutsPortal::unsubscribe(std::uint64_t subscription)
{
    if (subscription == subscriber_) {
        subscriber_ = 0;
        handlers_ = {};
    }
}

}  // namespace korvane
