#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/HotkeyBinding.h"
#include "hotkeys/HotkeyRegistry.h"
#include "hotkeys/KeyGrabber.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace korvane {

// Whether the shortcut is down, as far as events were passed on: pairs each press with a release.
struct HotkeyPressState {
    bool isPressed = false;
};

// The backend for key combinations: grabs the key with its modifiers on the whole desktop and
// reports each press and release of it. A manager stopped while its shortcut is held reports no
// release. Grab events come back through the registry by hotkey id (handleGrabbedKey).
class HotkeyManager final : public HotkeyBackend, public std::enable_shared_from_this<HotkeyManager> {
    struct Passkey {};

public:
    struct Services {
        std::shared_ptr<KeyGrabber> grabber;
        std::shared_ptr<HotkeyRegistry> registry;
        std::shared_ptr<MainQueue> mainQueue;
        LogSink log = defaultLogSink();
    };

    // Nothing for a chord and for a key combination without a classic modifier mask (one holding
    // the function key); nothing is logged then.
    static std::shared_ptr<HotkeyManager> create(const HotkeyBinding& binding, HotkeyCallback callback,
                                                 Services services);

    HotkeyManager(Passkey, std::uint16_t keyCode, ChordModifierSet modifiers, std::uint32_t mask,
                  HotkeyCallback callback, Services services);
    ~HotkeyManager() override;

    bool start() override;
    void stop() override;

    std::uint32_t targetKeyCode() const { return targetKeyCode_; }
    std::uint32_t targetModifiers() const { return targetModifiers_; }
    std::uint32_t hotkeyId() const { return hotkeyId_; }

    // Passes a grab's event to the manager of its id; false when no live manager has that id.
    static bool handleGrabbedKey(const HotkeyRegistry& registry, const GrabbedKeyEvent& event);

private:
    void deliver(HotkeyEvent event, bool autoRepeat);

    const std::uint32_t targetKeyCode_;
    const std::uint32_t targetModifiers_;
    const ChordModifierSet modifiers_;
    const HotkeyCallback callback_;
    const Services services_;
    std::unique_ptr<KeyGrabber::Grab> hotkeyRef_;  // set while registered
    const std::uint32_t hotkeyId_;
    std::mutex stateLock_;
    HotkeyPressState pressState_;
};

}  // namespace korvane
