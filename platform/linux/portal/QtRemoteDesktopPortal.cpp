#include "platform/linux/portal/QtRemoteDesktopPortal.h"

#include "platform/linux/portal/PortalBus.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <optional>
#include <utility>

namespace korvane {

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");

// Device types, a bit mask.
constexpr unsigned kKeyboard = 1;
// Keep the grant until the user revokes it, rather than for this run only.
constexpr unsigned kPersistUntilRevoked = 2;
// A key the portal has not taken by then is given up, so that the keys behind it are not stuck.
constexpr int kKeyTimeoutMs = 2000;

// A path or a string: portals have sent the session handle as either.
QString pathText(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusObjectPath>()) {
        return value.value<QDBusObjectPath>().path();
    }
    return value.userType() == QMetaType::QString ? value.toString() : QString();
}

// The left-hand keys: applications match shortcuts on either side, and every layout has these.
std::uint32_t modifierKeysym(KeyModifier modifier)
{
    switch (modifier) {
    case KeyModifier::shift:
        return XKB_KEY_Shift_L;
    case KeyModifier::control:
        return XKB_KEY_Control_L;
    case KeyModifier::alt:
        return XKB_KEY_Alt_L;
    case KeyModifier::super:
        return XKB_KEY_Super_L;
    }
    return XKB_KEY_NoSymbol;
}

std::optional<std::uint32_t> keysymNamed(const std::string& name)
{
    const xkb_keysym_t keysym = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS);
    if (keysym == XKB_KEY_NoSymbol) {
        return std::nullopt;
    }
    return keysym;
}

std::string reasonFor(unsigned response, const QVariantMap& results, const std::string& step)
{
    if (results.contains("error")) {
        return "The desktop portal failed to " + step + ": " + results.value("error").toString().toStdString();
    }
    return response == PortalRequests::kCancelled
               ? "The keyboard access was declined on the desktop"
               : "The desktop refused to " + step + " (response " + std::to_string(response) + ")";
}

}  // namespace

QtRemoteDesktopPortal::QtRemoteDesktopPortal(QDBusConnection bus, LogSink log, std::chrono::milliseconds startTimeout)
    : bus_(std::move(bus)), log_(std::move(log)), requests_(bus_, kInterface, QStringLiteral("korvane_keys"))
{
    startTimer_.setSingleShot(true);
    startTimer_.setInterval(startTimeout);
    connect(&startTimer_, &QTimer::timeout, this, [this, startTimeout] {
        requests_.closeAll();
        const auto ms = startTimeout.count();
        finish({RemoteDesktopStart::Outcome::failed,
                {},
                "The desktop did not answer the keyboard request within " +
                    (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms")});
    });
}

QtRemoteDesktopPortal::~QtRemoteDesktopPortal()
{
    if (!session_.isEmpty()) {
        bus_.send(
            QDBusMessage::createMethodCall(kPortalService, session_, kPortalSessionInterface, QStringLiteral("Close")));
    }
}

unsigned QtRemoteDesktopPortal::version(const QDBusConnection& bus, int timeoutMs)
{
    return portalInterfaceVersion(bus, kInterface, timeoutMs);
}

void QtRemoteDesktopPortal::start(const std::string& restoreToken, std::function<void(RemoteDesktopStart)> completion)
{
    if (completion_ || !session_.isEmpty()) {
        // Told later, like every other outcome, so that callers never see it inside start().
        QTimer::singleShot(0, this, [completion = std::move(completion)] {
            completion({RemoteDesktopStart::Outcome::failed, {}, "The keyboard session was already asked for"});
        });
        return;
    }
    completion_ = std::move(completion);
    startTimer_.start();
    QVariantMap options;
    options.insert("session_handle_token", requests_.sessionToken());
    requests_.request(QStringLiteral("CreateSession"), {options},
                      [this, restoreToken](unsigned response, const QVariantMap& results) {
                          const QString session = pathText(results.value("session_handle"));
                          if (response != 0 || session.isEmpty()) {
                              fail(response == 0 ? PortalRequests::kFailed : response, results, "open a session");
                              return;
                          }
                          session_ = session;
                          bus_.connect(kPortalService, session_, kPortalSessionInterface, QStringLiteral("Closed"),
                                       this, SLOT(onSessionClosed(QDBusMessage)));
                          selectDevices(restoreToken);
                      });
}

void QtRemoteDesktopPortal::selectDevices(const std::string& restoreToken)
{
    QVariantMap options;
    options.insert("types", kKeyboard);
    // Portals before version 2 of the interface drop both without complaint.
    options.insert("persist_mode", kPersistUntilRevoked);
    if (!restoreToken.empty()) {
        options.insert("restore_token", QString::fromStdString(restoreToken));
    }
    requests_.request(QStringLiteral("SelectDevices"), {QVariant::fromValue(QDBusObjectPath(session_)), options},
                      [this](unsigned response, const QVariantMap& results) {
                          if (response != 0) {
                              fail(response, results, "select the keyboard");
                              return;
                          }
                          startSession();
                      });
}

void QtRemoteDesktopPortal::startSession()
{
    requests_.request(
        QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(session_)), QString(), QVariantMap()},
        [this](unsigned response, const QVariantMap& results) {
            if (response != 0) {
                fail(response, results, "start the session");
                return;
            }
            const QVariant devices = results.value("devices");
            if (devices.userType() != QMetaType::UInt || (devices.toUInt() & kKeyboard) == 0) {
                finish({RemoteDesktopStart::Outcome::failed, {}, "The desktop did not grant the keyboard"});
                return;
            }
            const QVariant token = results.value("restore_token");
            started_ = true;
            finish({RemoteDesktopStart::Outcome::started,
                    token.userType() == QMetaType::QString ? token.toString().toStdString() : std::string(),
                    {}});
        });
}

void QtRemoteDesktopPortal::fail(unsigned response, const QVariantMap& results, const std::string& step)
{
    const auto outcome = response == PortalRequests::kCancelled && !results.contains("error")
                             ? RemoteDesktopStart::Outcome::refused
                             : RemoteDesktopStart::Outcome::failed;
    finish({outcome, {}, reasonFor(response, results, step)});
}

void QtRemoteDesktopPortal::finish(RemoteDesktopStart outcome)
{
    if (!completion_) {
        return;
    }
    startTimer_.stop();
    if (outcome.outcome == RemoteDesktopStart::Outcome::started) {
        log_("Portal keyboard session started");
    } else {
        log_("Portal keyboard session not started: " + outcome.reason);
        if (!session_.isEmpty()) {
            bus_.send(QDBusMessage::createMethodCall(kPortalService, session_, kPortalSessionInterface,
                                                     QStringLiteral("Close")));
            bus_.disconnect(kPortalService, session_, kPortalSessionInterface, QStringLiteral("Closed"), this,
                            SLOT(onSessionClosed(QDBusMessage)));
            session_.clear();
        }
    }
    auto completion = std::move(completion_);
    completion_ = nullptr;
    completion(std::move(outcome));
}

void QtRemoteDesktopPortal::onSessionClosed(const QDBusMessage& message)
{
    if (message.path() != session_) {
        return;
    }
    log_("Portal keyboard session closed by the desktop");
    bus_.disconnect(kPortalService, session_, kPortalSessionInterface, QStringLiteral("Closed"), this,
                    SLOT(onSessionClosed(QDBusMessage)));
    session_.clear();
    started_ = false;
    keys_.clear();
    finish({RemoteDesktopStart::Outcome::failed, {}, "The desktop closed the session"});
}

bool QtRemoteDesktopPortal::releaseModifiers(const std::vector<KeyModifier>& modifiers)
{
    if (!started_ || !bus_.isConnected()) {
        return false;
    }
    for (KeyModifier modifier : modifiers) {
        keys_.push_back({modifierKeysym(modifier), false});
    }
    sendNextKey();
    return true;
}

bool QtRemoteDesktopPortal::sendChord(const KeyChord& chord)
{
    if (!started_ || !bus_.isConnected()) {
        return false;
    }
    const std::optional<std::uint32_t> key = keysymNamed(chord.key);
    if (!key) {
        log_("No keysym is named \"" + chord.key + "\"");
        return false;
    }
    for (KeyModifier modifier : chord.modifiers) {
        keys_.push_back({modifierKeysym(modifier), true});
    }
    keys_.push_back({*key, true});
    keys_.push_back({*key, false});
    for (auto modifier = chord.modifiers.rbegin(); modifier != chord.modifiers.rend(); ++modifier) {
        keys_.push_back({modifierKeysym(*modifier), false});
    }
    sendNextKey();
    return true;
}

void QtRemoteDesktopPortal::sendNextKey()
{
    if (keyInFlight_ || keys_.empty()) {
        return;
    }
    if (session_.isEmpty()) {
        keys_.clear();
        return;
    }
    const KeyEvent next = keys_.front();
    keys_.pop_front();
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kInterface, QStringLiteral("NotifyKeyboardKeysym"));
    call.setArguments({QVariant::fromValue(QDBusObjectPath(session_)), QVariantMap(), static_cast<int>(next.keysym),
                       static_cast<unsigned>(next.pressed ? 1 : 0)});
    keyInFlight_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kKeyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        keyInFlight_ = false;
        if (finished->isError() && !keyErrorLogged_) {
            keyErrorLogged_ = true;
            log_("The desktop portal refused a key: " + finished->error().message().toStdString());
        }
        // Even after an error: the releases behind it must still go out.
        sendNextKey();
    });
}

}  // namespace korvane
