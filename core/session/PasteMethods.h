#pragma once

#include "core/session/SessionFacts.h"

#include <span>
#include <string>

namespace korvane {

// How the paste keys reach another application.
enum class PasteKeyMethod {
    xtest,            // X11: the XTEST extension
    remoteDesktop,    // the desktop portal's remote desktop, with a keyboard (KDE, GNOME)
    virtualKeyboard,  // the virtual keyboard protocol (wlroots compositors)
    uinput,           // a keyboard of our own through /dev/uinput
    none,             // the transcript stays on the clipboard
};

// How Korvane reads, writes and gives back the clipboard.
enum class ClipboardMethod {
    x11Selections,  // X11, or XWayland, whose selections the compositor bridges
    dataControl,    // ext_data_control_v1 or zwlr_data_control_manager_v1
    none,           // only Qt's own clipboard, which Wayland gives a window in front
};

// What this session offers for the paste, found at launch.
struct PasteOffers {
    unsigned remoteDesktopPortal = 0;   // the portal's remote desktop version; 0 where there is none
    bool remoteDesktopRefused = false;  // the user refused its approval, as remembered in the settings
    bool virtualKeyboard = false;       // the compositor offers zwp_virtual_keyboard_manager_v1
    bool uinputWritable = false;        // /dev/uinput can be opened for writing
    bool dataControl = false;           // the compositor offers a data-control protocol
};

struct PasteMethods {
    PasteKeyMethod keys = PasteKeyMethod::xtest;
    ClipboardMethod clipboard = ClipboardMethod::x11Selections;

    bool operator==(const PasteMethods&) const = default;
};

// The first key method of the fixed order that this session offers and that has not failed in this
// run, and the clipboard method: on X11 the selections; in a Wayland session data control where the
// compositor offers it, else XWayland's selections where it runs.
PasteMethods choosePasteMethods(const SessionFacts& facts, const PasteOffers& offers,
                                std::span<const PasteKeyMethod> failed = {});

// "XTest", "remote desktop portal", "virtual keyboard", "uinput" or "none", for the log and the
// self-test.
const char* pasteKeyMethodName(PasteKeyMethod method);

// What this session lacks for sending paste keys, as one sentence; empty when a method is there.
std::string missingPasteKeys(const SessionFacts& facts, const PasteOffers& offers);

}  // namespace korvane
