#pragma once

#include "tests/support/TemporaryDirectory.h"
#include "tests/support/process/ChildProcess.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace korvane::testing {

// A sway compositor on the headless backend (no screen, no XWayland, and no input devices but a
// keyboard it is given), for tests of what Korvane learns from a wlroots compositor. sway refuses to
// run as root, so it runs as nobody in a runtime folder of its own; root (the tests) may still
// connect to its socket. Throws std::runtime_error, with sway's log, when it does not come up.
// Ended with SIGTERM on destruction.
class HeadlessSway {
public:
    enum class Toolkit { gtk, qt };
    // Whether a client joins the accessibility bus of this process's session bus (the address in
    // DBUS_SESSION_BUS_ADDRESS, the AT-SPI bus a testing::DesktopSession starts).
    enum class Accessibility { off, sessionBus };

    // A toolkit window on this compositor: the fields client of the desktop tests, as root.
    struct Client {
        std::unique_ptr<ChildProcess> process;  // reset it to close the window
        std::string appId;                      // as the compositor lists it
    };

    // `extraConfig`: lines added to sway's configuration.
    explicit HeadlessSway(const std::vector<std::string>& extraConfig = {});
    ~HeadlessSway();

    HeadlessSway(const HeadlessSway&) = delete;
    HeadlessSway& operator=(const HeadlessSway&) = delete;

    // The X display of its XWayland (":1"), which runs when `extraConfig` says "xwayland enable";
    // throws when sway gives its programs none.
    std::string xwaylandDisplay() const;

    // The absolute path of its Wayland socket, usable as WAYLAND_DISPLAY.
    const std::string& waylandDisplay() const { return waylandDisplay_; }
    const std::filesystem::path& runtimeDir() const { return runtime_.path(); }

    // Runs swaymsg with these arguments against this sway and returns its output; throws when it
    // fails (a command sway refused included).
    std::string swaymsg(const std::vector<std::string>& arguments) const;
    // Focuses the window whose app id is exactly `appId`.
    void focus(const std::string& appId) const;

    // Starts a client and waits until the compositor lists its window.
    Client startClient(Toolkit toolkit, Accessibility accessibility = Accessibility::off) const;

    // Plugs a keyboard into sway's seat (a virtual one), as a session has: without one no window
    // gets the keyboard focus, which GTK 3 takes for being the active window. Stays while sway runs.
    void addKeyboard();

    // The user sway runs as, and so the one its bindings run commands as.
    static std::string user();
    // Runs a program in this session as sway's user (WAYLAND_DISPLAY and XDG_RUNTIME_DIR of sway,
    // nothing of this process's desktop) and returns its output; throws when it fails. Keys pressed
    // with wtype this way reach sway's bindings like a keyboard's.
    std::string runAsUser(const std::vector<std::string>& arguments) const;

private:
    std::vector<std::string> swaymsgCommand(const std::vector<std::string>& arguments) const;
    std::string log() const;
    // The app id of the window of process `pid`; empty while sway lists none.
    std::string appIdOfProcess(int pid) const;

    TemporaryDirectory runtime_{"korvane-sway"};
    TemporaryDirectory clientRuntime_{"korvane-wayland-client"};
    std::string waylandDisplay_;
    std::string ipcSocket_;
    std::unique_ptr<ChildProcess> sway_;
    std::unique_ptr<ChildProcess> keyboard_;
};

}  // namespace korvane::testing
