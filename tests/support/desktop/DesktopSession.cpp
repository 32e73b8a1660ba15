#include "tests/support/desktop/DesktopSession.h"

#include "tests/support/process/Programs.h"

#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <thread>

namespace korvane::testing {

namespace {

using namespace std::chrono_literals;

}  // namespace

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

DesktopSession::DesktopSession() : DesktopSession(Options{})
{
}

void DesktopSession::killDisplay()
{
    programs_.front()->signal(SIGKILL);  // Xvfb, started first
}

DesktopSession::DesktopSession(Options options)
{
    const auto set = [this](const std::string& name, const std::string& value) {
        environment_.push_back(std::make_unique<ScopedEnvironment>(name, value));
    };
    const std::filesystem::path runtime = files_.path() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    set("XDG_RUNTIME_DIR", runtime.string());
    set("XDG_SESSION_TYPE", "x11");
    set("WAYLAND_DISPLAY", "");

    // Xvfb picks a free display number itself and writes it to standard output once it listens, so
    // tests running side by side never race for one.
    programs_.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
        "Xvfb", "-displayfd", "1", "-screen", "0",
        std::to_string(options.width) + "x" + std::to_string(options.height) + "x24", "-nolisten", "tcp", "-noreset"}));
    const std::optional<std::string> number = programs_.back()->readLine(15s);
    if (!number || number->empty()) {
        throw std::runtime_error("Xvfb did not start");
    }
    display_ = ":" + *number;
    set("DISPLAY", display_);
    if (!waitFor([] { return succeeds({"xdotool", "getdisplaygeometry"}); }, 15s)) {
        throw std::runtime_error("Xvfb did not answer on " + display_);
    }

    const std::filesystem::path bus = files_.path() / "session-bus";
    programs_.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
        "dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + bus.string()}));
    set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus.string());
    if (!waitFor([&] { return std::filesystem::exists(bus); }, 10s)) {
        throw std::runtime_error("the session bus did not start");
    }

    if (options.windowManager) {
        programs_.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{"openbox", "--sm-disable"}));
        // Openbox announces itself (_NET_SUPPORTING_WM_CHECK, _NET_SUPPORTED) before it loads its
        // theme and sets up the desktops; a window mapped meanwhile waits for all that. The current
        // desktop is set last, just before it starts managing windows.
        if (!waitFor(
                [] {
                    return succeeds({"sh", "-c", "xprop -root _NET_SUPPORTED | grep -q _NET_ACTIVE_WINDOW"}) &&
                           succeeds({"sh", "-c", "xprop -root -notype _NET_CURRENT_DESKTOP | grep -q ' = '"});
                },
                10s)) {
            throw std::runtime_error("openbox did not start");
        }
    }

    if (options.accessibilityBus) {
        // GTK 3 loads its AT-SPI bridge by itself; Qt only with this switch.
        set("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        set("NO_AT_BRIDGE", "0");
        programs_.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"}));
        if (!waitFor(
                [] {
                    return succeeds({"dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                     "org.a11y.Bus.GetAddress"});
                },
                10s)) {
            throw std::runtime_error("the accessibility bus did not start");
        }
    }
}

DesktopSession::~DesktopSession()
{
    while (!programs_.empty()) {
        programs_.pop_back();
    }
    while (!environment_.empty()) {
        environment_.pop_back();
    }
}

}  // namespace korvane::testing
