#pragma once

#include "hotkeys/ChordModifierSet.h"
#include "hotkeys/HotkeyEvent.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace korvane {

// One key combination to take from the whole desktop: the key by its keysym, the modifiers that
// must be held with it (the lock keys never matter), and the hotkey id its events carry.
struct KeyGrabRequest {
    std::uint32_t hotkeyId = 0;
    std::uint32_t keysym = 0;
    ChordModifierSet modifiers;
};

// A press or release of a grabbed combination, as the keyboard reported it.
struct GrabbedKeyEvent {
    std::uint32_t hotkeyId = 0;
    HotkeyEvent event = HotkeyEvent::pressed;
    // A press that the keyboard repeats while the key stays down.
    bool autoRepeat = false;
};

// Outcomes of a grab besides the window system's own error codes, which are positive.
namespace KeyGrabStatus {
inline constexpr int grabbed = 0;
inline constexpr int noKeyForKeysym = -1;       // no key of the current layout produces it
inline constexpr int modifierUnavailable = -2;  // a modifier has no modifier bit on this keyboard
inline constexpr int heldByThisProcess = -3;    // another of our own hotkeys holds the combination
}  // namespace KeyGrabStatus

// Passive key grabs on the whole desktop (the key-combination backend's port). Everything runs on
// the main thread; events arrive there too, for every grab through the one handler.
class KeyGrabber {
public:
    // A combination held; releasing it is destroying this object.
    class Grab {
    public:
        virtual ~Grab() = default;
    };

    struct Result {
        int status = KeyGrabStatus::grabbed;
        std::unique_ptr<Grab> grab;  // set exactly when status is KeyGrabStatus::grabbed
    };

    using EventHandler = std::function<void(const GrabbedKeyEvent&)>;

    virtual ~KeyGrabber() = default;

    // Takes the combination, or nothing of it: a grab that fails part-way is undone.
    virtual Result grab(const KeyGrabRequest& request) = 0;

    virtual void setEventHandler(EventHandler handler) = 0;
};

}  // namespace korvane
