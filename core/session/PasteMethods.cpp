#include "core/session/PasteMethods.h"

#include <algorithm>

namespace korvane {

namespace {

bool usable(PasteKeyMethod method, const PasteOffers& offers, std::span<const PasteKeyMethod> failed)
{
    if (std::find(failed.begin(), failed.end(), method) != failed.end()) {
        return false;
    }
    switch (method) {
    case PasteKeyMethod::remoteDesktop:
        return offers.remoteDesktopPortal > 0 && !offers.remoteDesktopRefused;
    case PasteKeyMethod::virtualKeyboard:
        return offers.virtualKeyboard;
    case PasteKeyMethod::uinput:
        return offers.uinputWritable;
    case PasteKeyMethod::xtest:
    case PasteKeyMethod::none:
        break;
    }
    return false;
}

}  // namespace

PasteMethods choosePasteMethods(const SessionFacts& facts, const PasteOffers& offers,
                                std::span<const PasteKeyMethod> failed)
{
    if (facts.kind == SessionKind::x11) {
        const bool xtestFailed = std::find(failed.begin(), failed.end(), PasteKeyMethod::xtest) != failed.end();
        return {xtestFailed ? PasteKeyMethod::none : PasteKeyMethod::xtest, ClipboardMethod::x11Selections};
    }
    PasteMethods methods{PasteKeyMethod::none, ClipboardMethod::none};
    for (const PasteKeyMethod method :
         {PasteKeyMethod::remoteDesktop, PasteKeyMethod::virtualKeyboard, PasteKeyMethod::uinput}) {
        if (usable(method, offers, failed)) {
            methods.keys = method;
            break;
        }
    }
    // Data control first: a compositor passes XWayland's clipboard on to Wayland windows only while
    // an X11 window has the keyboard (wlroots does so), and Korvane's windows never take it.
    if (offers.dataControl) {
        methods.clipboard = ClipboardMethod::dataControl;
    } else if (facts.xwayland) {
        methods.clipboard = ClipboardMethod::x11Selections;
    }
    return methods;
}

const char* pasteKeyMethodName(PasteKeyMethod method)
{
    switch (method) {
    case PasteKeyMethod::xtest:
        return "XTest";
    case PasteKeyMethod::remoteDesktop:
        return "remote desktop portal";
    case PasteKeyMethod::virtualKeyboard:
        return "virtual keyboard";
    case PasteKeyMethod::uinput:
        return "uinput";
    case PasteKeyMethod::none:
        break;
    }
    return "none";
}

std::string missingPasteKeys(const SessionFacts& facts, const PasteOffers& offers)
{
    if (choosePasteMethods(facts, offers).keys != PasteKeyMethod::none) {
        return {};
    }
    if (facts.kind == SessionKind::x11) {
        return "This X server lacks the XTEST extension, which sending keys needs.";
    }
    if (offers.remoteDesktopPortal > 0 && offers.remoteDesktopRefused) {
        return "You refused Korvane the desktop's permission to send keys, and this session offers no other "
               "way.";
    }
    return "This Wayland session offers no way to send keys: no remote desktop portal, no virtual keyboard, "
           "and /dev/uinput is not writable.";
}

}  // namespace korvane
