#pragma once

#include "core/session/SessionFacts.h"

#include <string>

namespace korvane {

// What the running desktop turned out to offer, found out at launch.
struct SessionOffers {
    // The version of the desktop portal's global shortcuts interface; 0 where there is none.
    unsigned globalShortcutsPortal = 0;
    // A wlroots compositor telling its clients which window is active (foreign-toplevel).
    bool foreignToplevel = false;
};

// How the global shortcut reaches Korvane.
enum class ShortcutMethod {
    keyGrab,            // X11: a passive grab on the root window
    portal,             // Wayland: the desktop portal's global shortcuts
    compositorBinding,  // Wayland without it: the compositor's own binding runs `korvane --toggle`
};

// Where Korvane learns which application and which field the user works in.
enum class FocusSource {
    activeWindow,     // X11: the window manager's active window, with AT-SPI for the field
    accessibility,    // Wayland: the AT-SPI frame in the active state
    foreignToplevel,  // wlroots: the compositor's activated toplevel, with AT-SPI for the field
};

struct SessionMethods {
    ShortcutMethod shortcut = ShortcutMethod::keyGrab;
    FocusSource focus = FocusSource::activeWindow;

    bool operator==(const SessionMethods&) const = default;
};

// Qt's platform for Korvane's own windows: X11 wherever an X server runs, XWayland included (the
// compositor bridges its clipboard, and windows there can be placed); Wayland's own otherwise.
const char* qtPlatformFor(const SessionFacts& facts);

// The first method of each facility that this session offers.
SessionMethods chooseSessionMethods(const SessionFacts& facts, const SessionOffers& offers);

// One line for the log at launch:
// "Session: wayland (KDE), windows on XWayland; shortcut: portal (version 1); focus: AT-SPI".
std::string sessionLogLine(const SessionFacts& facts, const SessionOffers& offers, const SessionMethods& methods);

}  // namespace korvane
