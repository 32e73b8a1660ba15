#pragma once

#include "hotkeys/HotkeyEvent.h"

#include <functional>
#include <string>

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

    // What a backend learns only after start() returned true: a desktop that binds shortcuts
    // itself (a portal) answers later, may let the user pick other keys, and may end the binding.
    struct Settled {
        bool active = false;
        std::string trigger;  // the keys as the desktop names them ("Ctrl+Shift+Space"); may be empty
        std::string reason;   // why the shortcut is not active, in words for the user
    };
    using SettledObserver = std::function<void(const Settled&)>;
    // Told on the main thread, each time the desktop's word changes, until the backend stops.
    // Backends that know at once keep start()'s answer and never call it.
    virtual void setSettledObserver(SettledObserver observer) { (void)observer; }
};

}  // namespace korvane
