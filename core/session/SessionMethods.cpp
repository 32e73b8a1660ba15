#include "core/session/SessionMethods.h"

namespace korvane {

const char* qtPlatformFor(const SessionFacts& facts)
{
    return facts.kind == SessionKind::wayland && !facts.xwayland ? "wayland" : "xcb";
}

SessionMethods chooseSessionMethods(const SessionFacts& facts, const SessionOffers& offers)
{
    if (facts.kind == SessionKind::x11) {
        return SessionMethods{ShortcutMethod::keyGrab, FocusSource::activeWindow};
    }
    SessionMethods methods;
    methods.shortcut = offers.globalShortcutsPortal > 0 ? ShortcutMethod::portal : ShortcutMethod::compositorBinding;
    methods.focus = offers.foreignToplevel ? FocusSource::foreignToplevel : FocusSource::accessibility;
    return methods;
}

std::string sessionLogLine(const SessionFacts& facts, const SessionOffers& offers, const SessionMethods& methods)
{
    std::string line = std::string("Session: ") + sessionKindName(facts.kind);
    if (!facts.desktop.empty()) {
        line += " (" + facts.desktop + ")";
    }
    if (facts.kind == SessionKind::wayland) {
        line += facts.xwayland ? ", windows on XWayland" : ", windows on Wayland";
    }
    line += "; shortcut: ";
    switch (methods.shortcut) {
    case ShortcutMethod::keyGrab:
        line += "X11 key grab";
        break;
    case ShortcutMethod::portal:
        line += "portal (version " + std::to_string(offers.globalShortcutsPortal) + ")";
        break;
    case ShortcutMethod::compositorBinding:
        line += "compositor binding (korvane --toggle)";
        break;
    }
    line += "; focus: ";
    switch (methods.focus) {
    case FocusSource::activeWindow:
        line += "X11 active window";
        break;
    case FocusSource::accessibility:
        line += "AT-SPI";
        break;
    case FocusSource::foreignToplevel:
        line += "foreign-toplevel and AT-SPI";
        break;
    }
    return line;
}

}  // namespace korvane
