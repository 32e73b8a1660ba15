#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct _XDisplay;

namespace korvane::testing {

// A plain X window of the test's own, on a connection of its own, that notes every key pressed
// while it has the focus: it tells whether a key typed on the desktop reached the applications or
// was taken by a grab. Needs a DesktopSession.
class KeyWatchWindow {
public:
    // Creates the window and waits until it is mapped.
    KeyWatchWindow();
    ~KeyWatchWindow();

    KeyWatchWindow(const KeyWatchWindow&) = delete;
    KeyWatchWindow& operator=(const KeyWatchWindow&) = delete;

    unsigned long window() const { return window_; }
    // Activates the window through the window manager and waits until it is the active window.
    void activate();
    // The keysym names ("Escape", "v", "Control_L") of every key pressed in the window so far.
    const std::vector<std::string>& pressedKeys();
    // How many of those presses were `name`.
    std::size_t pressCount(const std::string& name);

private:
    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    std::vector<std::string> pressed_;
};

}  // namespace korvane::testing
