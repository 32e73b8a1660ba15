#include "platform/linux/portal/QtGlobalShortcutsPortal.h"

#include "platform/linux/portal/PortalBus.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>

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

const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

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
    return response == PortalRequests::kCancelled ? "The shortcut was declined on the desktop"
                                                  : "The desktop refused the shortcut";
}

}  // namespace

QtGlobalShortcutsPortal::QtGlobalShortcutsPortal(QDBusConnection bus, LogSink log)
    : bus_(std::move(bus)), log_(std::move(log)), requests_(bus_, kInterface, QStringLiteral("korvane"))
{
    registerTypes();
    for (const char* name : {"Activated", "Deactivated", "ShortcutsChanged"}) {
        bus_.connect(kPortalService, kPortalPath, kInterface, QString::fromLatin1(name), this,
                     SLOT(onShortcutSignal(QDBusMessage)));
    }
}

QtGlobalShortcutsPortal::~QtGlobalShortcutsPortal()
{
    if (!session_.isEmpty()) {
        bus_.call(
            QDBusMessage::createMethodCall(kPortalService, session_, kPortalSessionInterface, QStringLiteral("Close")),
            QDBus::NoBlock);
    }
}

unsigned QtGlobalShortcutsPortal::version(const QDBusConnection& bus, int timeoutMs)
{
    return portalInterfaceVersion(bus, kInterface, timeoutMs);
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
    options.insert("session_handle_token", requests_.sessionToken());
    requests_.request(QStringLiteral("CreateSession"), {options},
                      [this](unsigned response, const QVariantMap& results) {
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
                          bus_.connect(kPortalService, session_, kPortalSessionInterface, QStringLiteral("Closed"),
                                       this, SLOT(onSessionClosed(QDBusMessage)));
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
    requests_.request(
        QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString(), QVariantMap()},
        [done = std::move(done)](unsigned response, const QVariantMap& results) {
            if (response != 0) {
                done(Answer{false, {}, reasonFor(response, results)});
                return;
            }
            done(Answer{true, shortcutsOf(results.value("shortcuts")), {}});
        });
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
    bus_.disconnect(kPortalService, session_, kPortalSessionInterface, QStringLiteral("Closed"), this,
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
