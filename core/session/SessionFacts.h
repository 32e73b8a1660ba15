#pragma once

#include <string>

namespace korvane {

// The variables a graphical session sets for its programs, as Korvane found them (empty when unset).
struct SessionEnvironment {
    std::string sessionType;     // XDG_SESSION_TYPE: "x11", "wayland", "tty", ...
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string display;         // DISPLAY: set in a Wayland session where XWayland runs
    std::string currentDesktop;  // XDG_CURRENT_DESKTOP: "KDE", "ubuntu:GNOME", "sway", ...
};

enum class SessionKind { x11, wayland };

// What kind of session this is, and which desktop runs it.
struct SessionFacts {
    SessionKind kind = SessionKind::x11;
    // The desktop's usual name ("KDE", "GNOME", "sway", "Hyprland"); empty when it did not say.
    std::string desktop;
    // A Wayland session with an X server for X11 applications beside it.
    bool xwayland = false;

    bool operator==(const SessionFacts&) const = default;
};

// A Wayland session is one whose login says so or whose programs are given a Wayland display (a
// compositor started from a console leaves XDG_SESSION_TYPE at "tty"); anything else is taken
// for X11. Of the names in XDG_CURRENT_DESKTOP the first that a desktop is known by wins
// ("ubuntu:GNOME" is GNOME), else the first.
SessionFacts sessionFactsFrom(const SessionEnvironment& environment);

// "x11" or "wayland", as the log and the self-test write it.
const char* sessionKindName(SessionKind kind);

}  // namespace korvane
