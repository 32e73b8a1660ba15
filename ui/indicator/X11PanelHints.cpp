#include "ui/indicator/X11PanelHints.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace korvane::X11PanelHints {

namespace {

xcb_connection_t* qtConnection()
{
    auto* application = qGuiApp;
    if (application == nullptr) {
        return nullptr;
    }
    auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The screen number of DISPLAY (":0.1" is screen 1), which Qt connects to by default.
int defaultScreenNumber()
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr) {
        return 0;
    }
    const char* colon = std::strrchr(display, ':');
    const char* dot = colon != nullptr ? std::strchr(colon, '.') : nullptr;
    return dot != nullptr ? std::atoi(dot + 1) : 0;
}

}  // namespace

bool compositorRunning()
{
    xcb_connection_t* connection = qtConnection();
    if (connection == nullptr) {
        return true;
    }
    const std::string name = "_NET_WM_CM_S" + std::to_string(defaultScreenNumber());
    const xcb_atom_t selection = atom(connection, name.c_str());
    if (selection == XCB_ATOM_NONE) {
        return false;
    }
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr), &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

void showOnAllDesktops(std::uintptr_t window)
{
    xcb_connection_t* connection = qtConnection();
    if (connection == nullptr || window == 0) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window);
    // EWMH: the desktop number 0xFFFFFFFF means every desktop.
    const std::uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom(connection, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL,
                        32, 1, &allDesktops);
    // The window manager drops _NET_WM_STATE when the window is withdrawn, and Qt writes its own
    // states (above, for the stays-on-top hint) into it at the next map, keeping those already
    // there. So merge ours in before every map, without repeating one.
    const xcb_atom_t stateProperty = atom(connection, "_NET_WM_STATE");
    std::vector<xcb_atom_t> states;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> current(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, id, stateProperty, XCB_ATOM_ATOM, 0, 64),
                               nullptr),
        &std::free);
    if (current && current->format == 32) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(current.get()));
        states.assign(values, values + xcb_get_property_value_length(current.get()) / 4);
    }
    for (const char* name : {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t state = atom(connection, name);
        if (std::find(states.begin(), states.end(), state) == states.end()) {
            states.push_back(state);
        }
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, stateProperty, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
    xcb_flush(connection);
}

}  // namespace korvane::X11PanelHints
