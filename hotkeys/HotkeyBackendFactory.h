#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/HotkeyBinding.h"
#include "hotkeys/KeyGrabber.h"
#include "hotkeys/ModifierKeySource.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace korvane {

class HotkeyRegistry;

// Picks the backend for a binding: key combinations are grabbed (HotkeyManager), modifier-only
// chords are watched (ModifierChordBackend), invalid bindings get none. Backends are built, never
// started. The platform supplies the ports; the window system's factory function builds this.
class HotkeyBackendFactory {
public:
    struct Ports {
        std::shared_ptr<KeyGrabber> keyGrabber;
        std::shared_ptr<ModifierKeySource> modifierKeys;
        std::function<bool()> isTrusted;  // whether other applications' input may be watched
    };

    HotkeyBackendFactory(Ports ports, std::shared_ptr<MainQueue> mainQueue, LogSink log = defaultLogSink());

    // The backend for `binding`, calling `callback` from the main queue; nothing (logged) for an
    // invalid binding.
    std::shared_ptr<HotkeyBackend> make(const HotkeyBinding& binding, HotkeyCallback callback) const;

    // A key with no modifier (a Mac virtual key code), grabbed while the backend runs: for a key
    // the application takes from the desktop only briefly, as Escape while a dictation records.
    // A shortcut the user chooses always has a modifier and goes through make().
    std::shared_ptr<HotkeyBackend> makeBareKey(std::uint16_t keyCode, HotkeyCallback callback) const;

private:
    Ports ports_;
    std::shared_ptr<MainQueue> mainQueue_;
    LogSink log_;
    std::shared_ptr<HotkeyRegistry> registry_;
};

}  // namespace korvane
