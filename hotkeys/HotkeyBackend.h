#pragma once

#include "hotkeys/HotkeyEvent.h"

#include <functional>

namespace korvane {

// Receives a backend's events, always later, from the main queue, once per press and once per
// release. Between one start() and the next stop() the events alternate, starting with pressed.
using HotkeyCallback = std::function<void(HotkeyEvent)>;

// Watches one global shortcut. Backends are made by HotkeyBackendFactory and owned through a
// shared pointer (their deferred work holds them weakly); they stop themselves when destroyed.
// start() and stop() belong to the main thread.
class HotkeyBackend {
public:
    virtual ~HotkeyBackend() = default;

    // Begins watching; true when the shortcut is now active. Starting a started backend stops it
    // first, so a second start registers afresh.
    virtual bool start() = 0;

    // Stops watching and releases everything taken from the window system. Harmless when not
    // started and when called again.
    virtual void stop() = 0;
};

}  // namespace korvane
