#pragma once

#include "tests/support/TemporaryDirectory.h"
#include "tests/support/process/ChildProcess.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace korvane::testing {

// A sway compositor on the headless backend (no screen, no input devices, no XWayland), for tests of
// what Korvane learns from a wlroots compositor. sway refuses to run as root, so it runs as nobody
// in a runtime folder of its own; root (the tests) may still connect to its socket. Throws
// std::runtime_error, with sway's log, when it does not come up. Ended with SIGTERM on destruction.
class HeadlessSway {
public:
    enum class Toolkit { gtk, qt };

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

    // The absolute path of its Wayland socket, usable as WAYLAND_DISPLAY.
    const std::string& waylandDisplay() const { return waylandDisplay_; }
    const std::filesystem::path& runtimeDir() const { return runtime_.path(); }

    // Runs swaymsg with these arguments against this sway and returns its output; throws when it
    // fails (a command sway refused included).
    std::string swaymsg(const std::vector<std::string>& arguments) const;
    // Focuses the window whose app id is exactly `appId`.
    void focus(const std::string& appId) const;

    // Starts a client and waits until the compositor lists its window.
    Client startClient(Toolkit toolkit) const;

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
};

}  // namespace korvane::testing
