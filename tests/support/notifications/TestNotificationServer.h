#pragma once

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/process/ChildProcess.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// A private session bus: a dbus-daemon of its own, with DBUS_SESSION_BUS_ADDRESS pointing at it
// while the object lives. Create it before the process first touches the session bus (Qt keeps
// its first connection).
class TestSessionBus {
public:
    TestSessionBus();

private:
    TemporaryDirectory files_{"korvane-bus"};
    std::unique_ptr<ChildProcess> daemon_;
    std::unique_ptr<ScopedEnvironment> address_;
};

// One Notify call as the server received it.
struct ReceivedNotification {
    std::uint32_t id = 0;
    std::string appName;
    std::uint32_t replacesId = 0;
    std::string summary;
    std::string body;
    std::vector<std::string> actions;  // key, label, key, label, ...
};

// A desktop notification server on the session bus (a Python program the test starts), which
// records what it is asked to show and clicks the notifications' actions on request.
class TestNotificationServer {
public:
    // Returns once the server owns its name; throws std::runtime_error when it does not.
    TestNotificationServer();

    // The next Notify call, waiting up to `timeout`; `whileWaiting` runs about every 20 ms (the
    // test's event loop, which sends the call).
    std::optional<ReceivedNotification> nextNotification(std::chrono::milliseconds timeout,
                                                         const std::function<void()>& whileWaiting);

    // As if the user clicked `action` ("default" for the notification itself) of notification `id`.
    void invokeAction(std::uint32_t id, const std::string& action);

private:
    ChildProcess server_;
};

}  // namespace korvane::testing
