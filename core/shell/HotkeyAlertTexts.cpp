#include "core/shell/HotkeyAlertTexts.h"

#include "hotkeys/ShortcutLabel.h"

#include <string>

namespace korvane {

namespace {

// "Trusted" on Linux is not a switch in a settings panel: Korvane can watch and type keys only on an
// X server with XInput2 and XTEST, which a Wayland session does not offer. The alerts say so and
// point to the one remedy, an X11 session.
constexpr const char* kWhatTrustMeansHere =
    "On Linux Korvane has it only in an X11 session whose X server offers the XInput2 and XTEST "
    "extensions; a Wayland session does not give it.";

}  // namespace

ShellAlert hotkeyFailureAlert(const HotkeyBinding& attempted, const HotkeyBinding& kept)
{
    ShellAlert alert;
    alert.message = "Could not register " + shortcutLabel(attempted);
    if (attempted.isModifierChord()) {
        alert.informativeText = std::string("A modifier-only shortcut needs Accessibility permission. ") +
                                kWhatTrustMeansHere + " Log in to an X11 session, then try again.\n\nStill using " +
                                shortcutLabel(kept) + ".";
    } else {
        alert.informativeText =
            "Another app is probably already using that shortcut.\n\nStill using " + shortcutLabel(kept) + ".";
    }
    alert.buttons = {"OK"};
    return alert;
}

ShellAlert hotkeyInactiveAlert(const HotkeyBinding& binding)
{
    ShellAlert alert;
    alert.message = shortcutLabel(binding) + " is not active";
    alert.informativeText = std::string("A shortcut that uses Super needs Accessibility permission. ") +
                            kWhatTrustMeansHere +
                            " Choose an X11 (Xorg) session on the login screen.\n\nThe shortcut starts working the "
                            "next time you open the Korvane menu. Until then, use Start Dictation from the menu.";
    alert.buttons = {kOpenAccessibilitySettingsButton, "Not Now"};
    return alert;
}

ShellAlert desktopShortcutFailureAlert(const HotkeyBinding& binding, const std::string& reason)
{
    ShellAlert alert;
    alert.message = "Could not register " + shortcutLabel(binding);
    alert.informativeText = reason +
                            ".\n\nChoose the shortcut again in Korvane's settings to ask the desktop once more. "
                            "Until then, use Start Dictation from the menu.";
    alert.buttons = {"OK"};
    return alert;
}

}  // namespace korvane
