#include "platform/linux/x11/InputPermission.h"

#include "platform/linux/x11/X11Connection.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstdlib>
#include <cstring>

namespace korvane {

namespace {

bool isWaylandSession()
{
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return type != nullptr && std::strcmp(type, "wayland") == 0;
}

}  // namespace

std::optional<std::string> InputPermission::whyUntrusted() const
{
    if (isWaylandSession()) {
        return "Wayland session";
    }
    if (connection_ == nullptr) {
        return "no X server";
    }
    Display* display = connection_->display();
    int opcode = 0;
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display, "XTEST", &opcode, &event, &error)) {
        return "X server without XTEST";
    }
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) {
        return "X server without XInputExtension";
    }
    // The first version a connection announces is the one the server holds it to for good. Ask for
    // 2.2: from 2.1 on, raw key events (the modifier-chord watch) also arrive while another client
    // holds the keyboard. Any 2.x answer will do for the permission.
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success || major < 2) {
        return "X server without XInput 2";
    }
    return std::nullopt;
}

bool InputPermission::isTrusted() const
{
    return !whyUntrusted().has_value();
}

}  // namespace korvane
