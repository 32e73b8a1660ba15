// SPDX-License-Identifier: MIT
// The settings window on a real X server with a window manager: "Settings…" brings it back in front
// with the keyboard when it was minimized, the window asks for no minimize button, and the startup
// id of a start that asked for the window reaches the window manager, with the launch's end told to
// the launcher. What the window manager did is read from the X server, not from Qt.
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/ui/SettingsTestWorld.h"

#include <QMainWindow>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;
using testing::xdotool;

// A second connection to the test's X server: reads what the window manager made of a window, and
// collects the startup-notification messages sent to the root window.
class XObserver {
public:
    XObserver() : display_(XOpenDisplay(nullptr))
    {
        if (display_ != nullptr) {
            XSelectInput(display_, DefaultRootWindow(display_), PropertyChangeMask);
        }
    }
    ~XObserver()
    {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    XObserver(const XObserver&) = delete;
    XObserver& operator=(const XObserver&) = delete;

    bool connected() const { return display_ != nullptr; }

    struct Seen {
        bool viewable = false;  // mapped, with its frame
        bool iconic = false;    // WM_STATE says minimized
        bool active = false;    // the window manager's active window
        bool operator==(const Seen&) const = default;
    };
    Seen seen(Window window)
    {
        XWindowAttributes attributes{};
        const bool viewable =
            XGetWindowAttributes(display_, window, &attributes) != 0 && attributes.map_state == IsViewable;
        const std::vector<unsigned long> state = longs(window, "WM_STATE");
        const std::vector<unsigned long> active = longs(DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW");
        return {viewable, !state.empty() && state[0] == IconicState, !active.empty() && active[0] == window};
    }

    // A property's items: bytes for format 8, longs (as Xlib hands them out) for format 32.
    std::string bytes(Window window, const char* name)
    {
        const std::vector<char> items = read<char>(window, name, 8);
        return {items.begin(), items.end()};
    }
    std::vector<unsigned long> longs(Window window, const char* name) { return read<unsigned long>(window, name, 32); }

    // The whole startup-notification messages received so far. Each comes in 20-byte pieces from
    // one sender's window, the first typed _NET_STARTUP_INFO_BEGIN, and ends at a NUL.
    std::vector<std::string> startupMessages()
    {
        const Atom begin = XInternAtom(display_, "_NET_STARTUP_INFO_BEGIN", False);
        const Atom more = XInternAtom(display_, "_NET_STARTUP_INFO", False);
        while (XPending(display_) > 0) {
            XEvent event{};
            XNextEvent(display_, &event);
            const XClientMessageEvent& piece = event.xclient;
            if (event.type != ClientMessage || (piece.message_type != begin && piece.message_type != more)) {
                continue;
            }
            std::string& pending = pending_[piece.window];
            pending = piece.message_type == begin ? std::string() : pending;
            const std::size_t length = strnlen(piece.data.b, sizeof(piece.data.b));
            pending.append(piece.data.b, length);
            if (length < sizeof(piece.data.b)) {
                complete_.push_back(std::exchange(pending, {}));
            }
        }
        return complete_;
    }

private:
    template <class Item>
    std::vector<Item> read(Window window, const char* name, int wanted)
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        std::vector<Item> items;
        if (XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 1024, False, AnyPropertyType,
                               &type, &format, &count, &after, &data) == Success &&
            format == wanted) {
            const auto* first = reinterpret_cast<const Item*>(data);
            items.assign(first, first + count);
        }
        XFree(data);
        return items;
    }

    Display* display_;
    std::map<Window, std::string> pending_;
    std::vector<std::string> complete_;
};

void PrintTo(const XObserver::Seen& seen, std::ostream* out)
{
    *out << (seen.viewable ? "viewable" : "unmapped") << (seen.iconic ? ", iconic" : "")
         << (seen.active ? ", active" : ", inactive");
}

const XObserver::Seen kInFront{true, false, true};

class SettingsWindowDesktopTest : public ::testing::Test {
protected:
    SettingsWindowDesktopTest()
    {
        other.setWindowTitle("Another application");
        other.resize(300, 200);
        other.move(700, 400);
    }

    Window settingsWindow() const { return static_cast<Window>(world.frame().winId()); }

    bool settingsSeenAs(const XObserver::Seen& expected)
    {
        return processEventsUntil([&] { return x.seen(settingsWindow()) == expected; }, 10s);
    }

    // Gives the keyboard to another window, as the user would by clicking it.
    void activateOther()
    {
        other.show();
        ASSERT_TRUE(processEventsUntil([&] { return x.seen(static_cast<Window>(other.winId())).viewable; }, 10s));
        xdotool({"windowactivate", std::to_string(other.winId())});
        ASSERT_TRUE(processEventsUntil([&] { return x.seen(static_cast<Window>(other.winId())).active; }, 10s));
    }

    testing::SettingsTestWorld world;
    QWidget other;
    XObserver x;
};

TEST_F(SettingsWindowDesktopTest, SettingsBringsAMinimizedWindowBackInFrontWithTheKeyboard)
{
    ASSERT_TRUE(x.connected());
    world.show();
    ASSERT_TRUE(settingsSeenAs(kInFront)) << ::testing::PrintToString(x.seen(settingsWindow()));

    // The window asks for no minimize button or function (Motif hints: flags, functions,
    // decorations; bit 3 of the functions and bit 5 of the decorations are "minimize").
    const std::vector<unsigned long> motif = x.longs(settingsWindow(), "_MOTIF_WM_HINTS");
    ASSERT_GE(motif.size(), 3u);
    EXPECT_NE(motif[0] & 1u, 0u) << "the functions are given";
    EXPECT_EQ(motif[1] & (1u << 3), 0u) << "functions " << motif[1];
    EXPECT_EQ(motif[2] & (1u << 5), 0u) << "decorations " << motif[2];

    // Window managers that keep their own minimize button (openbox does) or a task bar may still
    // minimize it.
    xdotool({"windowminimize", std::to_string(settingsWindow())});
    ASSERT_TRUE(settingsSeenAs({false, true, false})) << ::testing::PrintToString(x.seen(settingsWindow()));
    ASSERT_TRUE(processEventsUntil([&] { return world.frame().isMinimized(); }, 10s));
    activateOther();

    world.window->show();  // "Settings…"
    EXPECT_TRUE(settingsSeenAs(kInFront)) << ::testing::PrintToString(x.seen(settingsWindow()));
    EXPECT_TRUE(processEventsUntil([&] { return world.frame().isActiveWindow(); }, 10s));
}

TEST_F(SettingsWindowDesktopTest, AStartupIdReachesTheWindowManagerAndEndsTheLaunch)
{
    ASSERT_TRUE(x.connected());
    world.show();
    ASSERT_TRUE(settingsSeenAs(kInFront)) << ::testing::PrintToString(x.seen(settingsWindow()));
    activateOther();

    const std::string id = "xterm-4242-korvane-test-0_TIME1000";
    world.window->show(ActivationTokens{id, ""});

    EXPECT_TRUE(settingsSeenAs(kInFront)) << ::testing::PrintToString(x.seen(settingsWindow()));
    EXPECT_EQ(x.bytes(settingsWindow(), "_NET_STARTUP_ID"), id);
    std::vector<std::string> messages;
    EXPECT_TRUE(processEventsUntil(
        [&] {
            messages = x.startupMessages();
            return !messages.empty();
        },
        10s));
    EXPECT_EQ(messages, std::vector<std::string>{"remove: ID=" + id});
}

}  // namespace
}  // namespace korvane
