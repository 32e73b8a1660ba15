#include "platform/linux/x11/X11WindowActivation.h"

#include "platform/linux/x11/X11ActiveWindow.h"
#include "platform/linux/x11/X11Connection.h"

#include <X11/Xlib.h>

namespace korvane {

bool X11WindowActivation::activate(const std::string& bundleId)
{
    const std::vector<unsigned long> windows = windows_.windowsOfClass(bundleId);
    if (windows.empty()) {
        log_("activate: no running app with bundle id " + bundleId);
        return false;
    }
    Display* display = connection_.display();
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = windows.back();  // the list runs from bottom to top of the stack
    message.xclient.message_type = connection_.atom("_NET_ACTIVE_WINDOW");
    message.xclient.format = 32;
    message.xclient.data.l[0] = 2;  // the request comes from a pager-like tool, not the application
    message.xclient.data.l[1] = CurrentTime;
    message.xclient.data.l[2] = 0;
    XSendEvent(display, connection_.rootWindow(), False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
    XFlush(display);
    log_("Activated: " + bundleId);
    return true;
}

}  // namespace korvane
