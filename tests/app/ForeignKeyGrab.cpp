#include "tests/app/ForeignKeyGrab.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <stdexcept>

namespace korvane::testing {

ForeignKeyGrab::ForeignKeyGrab()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        throw std::runtime_error("no X server to hold the shortcut on");
    }
    display_ = display;
    const KeyCode space = XKeysymToKeycode(display, XK_space);
    XGrabKey(display, space, ControlMask | ShiftMask, DefaultRootWindow(display), True, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
}

ForeignKeyGrab::~ForeignKeyGrab()
{
    XCloseDisplay(static_cast<Display*>(display_));
}

}  // namespace korvane::testing
