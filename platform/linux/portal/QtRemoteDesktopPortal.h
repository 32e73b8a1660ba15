#pragma once

#include "base/logging/LogSink.h"
#include "delivery/paste/KeySynthesizer.h"
#include "delivery/paste/RemoteDesktopStart.h"
#include "platform/linux/portal/PortalRequests.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace korvane {

// Synthetic keys through the desktop portal's remote desktop session
// (org.freedesktop.portal.RemoteDesktop), where Wayland compositors allow no XTest. The session is
// asked for once and kept for the run; each call is answered through a Request object's Response
// signal, subscribed to before the call so it cannot be missed. Keys go as keysyms, so the
// compositor maps them through the user's own layout. Main thread.
class QtRemoteDesktopPortal final : public QObject, public KeySynthesizer {
    Q_OBJECT

public:
    // `startTimeout` bounds the whole start, dialog included; a desktop that never answers must not
    // leave the paste path waiting forever.
    explicit QtRemoteDesktopPortal(QDBusConnection bus, LogSink log = defaultLogSink(),
                                   std::chrono::milliseconds startTimeout = std::chrono::seconds(60));
    ~QtRemoteDesktopPortal() override;

    // The version of the portal's remote desktop interface on `bus`; 0 where there is none, or when
    // the portal does not answer within `timeoutMs`.
    static unsigned version(const QDBusConnection& bus, int timeoutMs);

    // Opens the session for the keyboard, reusing the grant behind `restoreToken` when the portal
    // still knows it, and tells `completion` once, on the main thread, never from inside start().
    // While a start is under way or a session is open, a further start is reported as failed.
    void start(const std::string& restoreToken, std::function<void(RemoteDesktopStart)> completion);
    bool isStarted() const { return started_; }

    // The portal cannot tell which keys the user holds.
    std::vector<KeyModifier> heldModifiers() override { return {}; }
    // Both queue their keys and return at once; the keys reach the desktop in the order queued,
    // shortly after. False when no session is started, or a key has no keysym.
    bool releaseModifiers(const std::vector<KeyModifier>& modifiers) override;
    bool sendChord(const KeyChord& chord) override;

private slots:
    void onSessionClosed(const QDBusMessage& message);

private:
    void selectDevices(const std::string& restoreToken);
    void startSession();
    void finish(RemoteDesktopStart outcome);
    void fail(unsigned response, const QVariantMap& results, const std::string& step);
    // Sends the first queued key unless one is on its way. The portal handles each call on a thread
    // of its own, so a key sent before the previous one is answered may overtake it.
    void sendNextKey();

    struct KeyEvent {
        std::uint32_t keysym = 0;
        bool pressed = false;
    };

    QDBusConnection bus_;
    LogSink log_;
    PortalRequests requests_;
    QTimer startTimer_;
    QString session_;  // empty until CreateSession answered
    bool started_ = false;
    std::function<void(RemoteDesktopStart)> completion_;
    std::deque<KeyEvent> keys_;
    bool keyInFlight_ = false;
    bool keyErrorLogged_ = false;
};

}  // namespace korvane
