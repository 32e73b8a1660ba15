#pragma once

#include "hotkeys/ChordModifierSet.h"

#include <functional>
#include <memory>

namespace korvane {

// The modifier keys held on the keyboard, whatever window has the focus (the modifier-chord
// backend's port). Everything runs on the main thread.
class ModifierKeySource {
public:
    // Reports changes while it lives.
    class Watch {
    public:
        virtual ~Watch() = default;
    };

    using Handler = std::function<void(ChordModifierSet held)>;

    virtual ~ModifierKeySource() = default;

    // The modifiers held right now, read from the window system.
    virtual ChordModifierSet heldModifiers() = 0;

    // Calls `handler` with the held set each time it changes, typing of ordinary keys left out.
    // Nothing when changes cannot be watched.
    virtual std::unique_ptr<Watch> watch(Handler handler) = 0;
};

}  // namespace korvane
