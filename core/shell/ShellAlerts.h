#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace korvane {

// A modal warning: a short message, the explanation under it, and the buttons from left to right
// (the first is the default).
struct ShellAlert {
    std::string message;
    std::string informativeText;
    std::vector<std::string> buttons;

    friend bool operator==(const ShellAlert&, const ShellAlert&) = default;
};

// How the shell talks to the user outside the tray menu. The desktop adapter shows alerts above
// every other window and gives the keyboard back to the settings window when that is open.
class ShellAlerts {
public:
    virtual ~ShellAlerts() = default;

    // Shows `alert` and waits for the answer: the index of the chosen button. Closing the alert
    // without choosing counts as the last button. Events keep being handled while it waits.
    virtual std::size_t runWarning(const ShellAlert& alert) = 0;

    // Opens the desktop's accessibility settings where a settings tool for this desktop is known,
    // otherwise the documentation that explains what Korvane needs.
    virtual void openAccessibilitySettings() = 0;
};

}  // namespace korvane
