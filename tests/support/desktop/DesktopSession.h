#pragma once

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/process/ChildProcess.h"
#include "tests/support/process/Programs.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvane::testing {

// A private desktop for integration tests: an Xvfb server with the openbox window manager (EWMH),
// a session D-Bus and the AT-SPI accessibility bus on it. While the object lives, DISPLAY,
// DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR point at it, so programs started afterwards (and
// this process's own connections) use it. Throws std::runtime_error when a part does not come up.
class DesktopSession {
public:
    struct Options {
        bool accessibilityBus = true;
        bool windowManager = true;
        int width = 1280;
        int height = 800;
    };

    DesktopSession();
    explicit DesktopSession(Options options);
    ~DesktopSession();

    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    const std::string& display() const { return display_; }
    // Kills the X server, as a crash of it would end it; the programs on it are left to notice.
    void killDisplay();

private:
    TemporaryDirectory files_{"korvane-desktop"};
    std::string display_;
    std::vector<std::unique_ptr<ScopedEnvironment>> environment_;
    std::vector<std::unique_ptr<ChildProcess>> programs_;  // started in order, ended in reverse
};

// Polls `done` every 20 ms until it holds or `timeout` passed.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

}  // namespace korvane::testing
