#include "bench/platform/XTestKeyboard.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <stdexcept>

namespace korvane::bench {

XTestKeyboard::XTestKeyboard() : display_(XOpenDisplay(nullptr))
{
    if (display_ == nullptr) {
        throw std::runtime_error("no X server for XTest");
    }
}

XTestKeyboard::~XTestKeyboard()
{
    XCloseDisplay(display_);
}

void XTestKeyboard::press(const std::string& keysym)
{
    send(keysym, true);
}

void XTestKeyboard::release(const std::string& keysym)
{
    send(keysym, false);
}

void XTestKeyboard::send(const std::string& keysym, bool down)
{
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym.c_str()));
    if (code == 0) {
        throw std::runtime_error("no key for " + keysym);
    }
    XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
    XFlush(display_);
}

}  // namespace korvane::bench
