#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"
#include "hotkeys/GlobalShortcutsPortal.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/HotkeyBinding.h"
#include "hotkeys/KeyGrabber.h"
#include "hotkeys/ModifierKeySource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace korvane {

class HotkeyRegistry;

// Picks the backend for a binding: key combinations are grabbed (HotkeyManager), modifier-only
// chords are watched (ModifierChordBackend), invalid bindings get none. Where the desktop binds
// shortcuts itself (a portal), key combinations go to it instead (PortalShortcutBackend) and a
// modifier-only chord cannot be had. Backends are built, never started. The platform supplies the
// ports; the window system's factory function builds this.
class HotkeyBackendFactory {
public:
    struct Ports {
        std::shared_ptr<KeyGrabber> keyGrabber;
        std::shared_ptr<ModifierKeySource> modifierKeys;
        std::function<bool()> isTrusted;  // whether other applications' input may be watched
        // Set where the desktop's portal binds the shortcut; then keyGrabber serves bare keys only
        // and may be missing.
        std::shared_ptr<GlobalShortcutsPortal> portal;
        // The keysym's name as xkbcommon spells it ("space"), for the portal's preferred trigger.
        std::function<std::string(std::uint32_t keysym)> keysymName;
    };

    HotkeyBackendFactory(Ports ports, std::shared_ptr<MainQueue> mainQueue, LogSink log = defaultLogSink());

    // The backend for `binding`, calling `callback` from the main queue; nothing (logged) for an
    // invalid binding.
    std::shared_ptr<HotkeyBackend> make(const HotkeyBinding& binding, HotkeyCallback callback) const;

    // A key with no modifier (a Mac virtual key code), grabbed while the backend runs: for a key
    // the application takes from the desktop only briefly, as Escape while a dictation records.
    // A shortcut the user chooses always has a modifier and goes through make(). Nothing without a
    // key grabber.
    std::shared_ptr<HotkeyBackend> makeBareKey(std::uint16_t keyCode, HotkeyCallback callback) const;

private:
    std::shared_ptr<HotkeyBackend> makePortalBackend(const HotkeyBinding& binding, HotkeyCallback callback) const;

    Ports ports_;
    std::shared_ptr<MainQueue> mainQueue_;
    LogSink log_;
    std::shared_ptr<HotkeyRegistry> registry_;
};

}  // namespace korvane
