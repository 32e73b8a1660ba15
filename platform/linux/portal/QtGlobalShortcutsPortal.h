#pragma once

#include "base/logging/LogSink.h"
#include "hotkeys/GlobalShortcutsPortal.h"
#include "platform/linux/portal/PortalRequests.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

namespace korvane {

// The desktop portal's global shortcuts (org.freedesktop.portal.GlobalShortcuts) over D-Bus. One
// session is opened at the first bind and kept for the run; every call is answered through a
// Request object's Response signal, which is subscribed to before the call so it cannot be missed.
// Older portals send the pressed and released signals to every client, so only those of our
// session count. Main thread.
class QtGlobalShortcutsPortal final : public QObject, public GlobalShortcutsPortal {
    Q_OBJECT

public:
    explicit QtGlobalShortcutsPortal(QDBusConnection bus, LogSink log = defaultLogSink());
    ~QtGlobalShortcutsPortal() override;

    // The version of the portal's global shortcuts interface on `bus`; 0 where there is none, or
    // when the portal does not answer within `timeoutMs`.
    static unsigned version(const QDBusConnection& bus, int timeoutMs);

    void bind(const Shortcut& shortcut, std::function<void(const Answer&)> done) override;
    std::uint64_t subscribe(Handlers handlers) override;
    // Whether the desktop reported one of our shortcuts pressed and not yet released: its keys are
    // still down, and keys sent now would combine with them.
    bool shortcutHeld() const { return !held_.empty(); }
    void unsubscribe(std::uint64_t subscription) override;

private slots:
    void onShortcutSignal(const QDBusMessage& message);
    void onSessionClosed(const QDBusMessage& message);

private:
    void openSession();
    void bindInSession(const Shortcut& shortcut, std::function<void(const Answer&)> done);
    void forgetSession();

    QDBusConnection bus_;
    LogSink log_;
    PortalRequests requests_;
    QString session_;             // empty while none is open
    std::set<std::string> held_;  // shortcuts pressed and not released
    bool opening_ = false;
    // Binds asked while the session was being opened.
    std::vector<std::pair<Shortcut, std::function<void(const Answer&)>>> waiting_;
    std::uint64_t subscriber_ = 0;
    std::uint64_t subscriptions_ = 0;
    Handlers handlers_;
};

}  // namespace korvane
