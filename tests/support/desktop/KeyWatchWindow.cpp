#include "tests/support/desktop/KeyWatchWindow.h"

#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/desktop/FieldsClient.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace korvane::testing {

using namespace std::chrono_literals;

KeyWatchWindow::KeyWatchWindow() : display_(XOpenDisplay(nullptr))
{
    if (display_ == nullptr) {
        throw std::runtime_error("KeyWatchWindow: cannot open the display");
    }
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 40, 40, 320, 120, 0, 0,
                                  WhitePixel(display_, DefaultScreen(display_)));
    XStoreName(display_, window_, "Key watch");
    XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
    XMapRaised(display_, window_);
    XFlush(display_);
    bool mapped = false;
    waitFor(
        [&] {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                mapped = mapped || event.type == MapNotify;
            }
            return mapped;
        },
        10s);
    if (!mapped) {
        throw std::runtime_error("KeyWatchWindow: the window was not mapped");
    }
}

KeyWatchWindow::~KeyWatchWindow()
{
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

void KeyWatchWindow::activate()
{
    xdotool({"windowactivate", "--sync", std::to_string(window_)});
}

const std::vector<std::string>& KeyWatchWindow::pressedKeys()
{
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type != KeyPress) {
            continue;
        }
        const KeySym keysym = XLookupKeysym(&event.xkey, 0);
        const char* name = XKeysymToString(keysym);
        pressed_.emplace_back(name != nullptr ? name : "?");
    }
    return pressed_;
}

std::size_t KeyWatchWindow::pressCount(const std::string& name)
{
    const std::vector<std::string>& keys = pressedKeys();
    return static_cast<std::size_t>(std::count(keys.begin(), keys.end(), name));
}

}  // namespace korvane::testing
