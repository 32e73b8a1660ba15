#pragma once

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/process/ChildProcess.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// A private session bus with the real xdg-desktop-portal on it, whose global shortcuts (and, when
// asked for, remote desktop keyboard) come from our backend (portal_backend.py), which the test
// drives: it chooses the answers to the portal's calls, presses, releases and reassigns shortcuts,
// and records the keys sent to it. DBUS_SESSION_BUS_ADDRESS points at the bus
// while the object lives, so create it before the process first touches the session bus (Qt keeps
// its first connection).
//
// The methods below talk to the backend only, which never waits for the test, so none needs the
// test's event loop to run. They do not wait for calls the test has yet to make either: a test that
// expects a bind pumps its events until bindCount() grows. Without the backend they throw
// std::logic_error.
class PortalTestBus {
public:
    struct Options {
        // Whether the desktop offers global shortcuts at all (without, the portal has no such
        // interface).
        bool globalShortcuts = true;
        // Whether our backend runs; without it the portal fails its global-shortcuts calls
        // (response 2).
        bool backendRunning = true;
        // Whether the desktop offers remote desktop input (the keyboard for synthetic keys).
        bool remoteDesktop = false;
    };

    // The last SelectDevices as the backend saw it; -1 for an option the portal did not pass on.
    struct DeviceRequest {
        long types = -1;
        long persistMode = -1;
    };

    struct KeysymEvent {
        std::uint32_t keysym = 0;
        bool pressed = false;

        friend bool operator==(const KeysymEvent&, const KeysymEvent&) = default;
    };

    struct BoundShortcut {
        std::string id;
        std::string description;
        std::string preferredTrigger;
    };

    // Returns once the portal owns org.freedesktop.portal.Desktop; throws std::runtime_error,
    // with the portal's output, when it does not within 10 s.
    PortalTestBus();
    explicit PortalTestBus(Options options);
    ~PortalTestBus();

    PortalTestBus(const PortalTestBus&) = delete;
    PortalTestBus& operator=(const PortalTestBus&) = delete;

    const std::string& address() const { return address_; }
    // What the portal wrote so far (verbose), for the messages of failed tests.
    std::string frontendOutput() const;

    // The response of later CreateSession calls (0 granted, 1 cancelled, 2 failed).
    void setCreateAnswer(unsigned response);
    // The response of later BindShortcuts calls; on 0 each shortcut is bound to `trigger`, or to
    // its preferred trigger when `trigger` is empty.
    void setBindAnswer(unsigned response, const std::string& trigger = "");
    // BindShortcuts calls stay unanswered until releaseBinds(), which answers them as set then.
    void holdBinds();
    void releaseBinds();

    // The user pressed or released shortcut `id`, or assigned it `trigger`: signalled on every
    // live session.
    void activate(const std::string& id);
    void deactivate(const std::string& id);
    void changeTrigger(const std::string& id, const std::string& trigger);
    // The desktop ends every live session.
    void closeSessions();

    // The shortcuts of the last BindShortcuts call, as asked for.
    std::vector<BoundShortcut> lastBind();
    int bindCount();
    // Live sessions, remote desktop ones included.
    int liveSessions();

    // The answer of later remote desktop Starts that show the approval dialog (0 granted,
    // 1 cancelled, 2 failed); a grant gives `devices` (a device type mask), or the types asked.
    void setRemoteDesktopAnswer(unsigned response, std::optional<unsigned> devices = std::nullopt);
    // Remote desktop Starts stay unanswered from now on.
    void holdRemoteDesktopStarts();
    // The approval dialogs shown so far; a Start that restores an earlier grant shows none.
    int approvalCount();
    DeviceRequest lastDeviceRequest();
    std::vector<KeysymEvent> keysymEvents();

private:
    // Sends `command` to the backend and returns its answer's first line; throws when the answer
    // does not start with `answer` or none comes within 10 s.
    std::string ask(const std::string& command, const std::string& answer);
    ChildProcess& backend();

    TemporaryDirectory files_{"korvane-portal"};
    std::unique_ptr<ChildProcess> daemon_;
    std::string address_;
    std::unique_ptr<ScopedEnvironment> addressVariable_;
    std::unique_ptr<ChildProcess> backend_;
    std::unique_ptr<ChildProcess> frontend_;
};

}  // namespace korvane::testing
