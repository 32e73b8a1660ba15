#include "ui/settings/BringToFront.h"

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xlib.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace korvane {

namespace {

// Qt's own connection when it runs on X11, so our requests are ordered with its own.
Display* qtDisplay()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->display() : nullptr;
}

// Names the launch on the window. Window managers read the time of the user's action from it (and
// their own record of the launch) when they decide whether the window may take the focus, and
// activate a window that is already shown when it changes.
void setStartupId(Display* display, Window window, const std::string& id)
{
    XChangeProperty(display, window, XInternAtom(display, "_NET_STARTUP_ID", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(id.data()), static_cast<int>(id.size()));
}

// Asks for the focus as an application does, citing the time of the action that launched the
// start: newer than the user's last action elsewhere, unlike anything Korvane itself has seen.
void requestActivation(Display* display, Window window, std::uint32_t time)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // source: an application
    event.xclient.data.l[1] = static_cast<long>(time);
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// The startup-notification "remove" message: the launch is complete, so the launcher's busy cursor
// or task bar entry goes. It travels as client messages to the root window, 20 bytes each, the
// first of type _NET_STARTUP_INFO_BEGIN; the terminating NUL is part of it. The id needs no
// quoting: usable tokens hold no spaces, quotes or backslashes.
void endStartupFeedback(Display* display, Window window, const std::string& id)
{
    const std::string message = "remove: ID=" + id;
    const std::size_t length = message.size() + 1;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.format = 8;
    constexpr std::size_t piece = sizeof(event.xclient.data.b);
    for (std::size_t sent = 0; sent < length; sent += piece) {
        event.xclient.message_type =
            XInternAtom(display, sent == 0 ? "_NET_STARTUP_INFO_BEGIN" : "_NET_STARTUP_INFO", False);
        std::memset(event.xclient.data.b, 0, piece);
        std::memcpy(event.xclient.data.b, message.c_str() + sent, std::min(piece, length - sent));
        XSendEvent(display, DefaultRootWindow(display), False, PropertyChangeMask, &event);
    }
}

}  // namespace

void bringToFront(QWidget& window, const ActivationTokens& tokens)
{
    // A minimized window is still visible to Qt, so show() alone would leave it minimized.
    window.showNormal();
    window.raise();

    Display* display = qtDisplay();
    const Window id = display != nullptr ? static_cast<Window>(window.winId()) : None;
    if (display != nullptr && !tokens.startupId.empty()) {
        setStartupId(display, id, tokens.startupId);
    }
    if (!tokens.activationToken.empty() && QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        // Qt's Wayland platform hands this token to the compositor with its next activation
        // request, and then drops it.
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(tokens.activationToken));
    }
    window.activateWindow();
    if (display != nullptr && !tokens.startupId.empty()) {
        if (const std::optional<std::uint32_t> time = startupIdTime(tokens.startupId)) {
            requestActivation(display, id, *time);
        }
        endStartupFeedback(display, id, tokens.startupId);
        XFlush(display);
    }
}

}  // namespace korvane
