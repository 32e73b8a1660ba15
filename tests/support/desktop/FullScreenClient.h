#pragma once

#include "tests/support/process/ChildProcess.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace korvane::testing {

// A plain full-screen window of another program, filled with kColour, that records the mouse
// buttons pressed on it (see FullScreenWindow.cpp). Needs a DesktopSession.
class FullScreenClient {
public:
    static constexpr std::uint32_t kColour = 0x2080C0;

    // Starts the program and waits until its window is mapped.
    FullScreenClient();

    unsigned long window() const { return window_; }

    // Activates its window through the window manager, which raises it into its full-screen layer,
    // and waits until it is the active window.
    void activate();

    struct Press {
        int button = 0;
        int x = 0;
        int y = 0;
    };
    // The next button press the window received (root window coordinates), or nothing when none
    // came within `timeout`.
    std::optional<Press> nextPress(std::chrono::milliseconds timeout);

private:
    ChildProcess process_;
    unsigned long window_ = 0;
};

}  // namespace korvane::testing
