#pragma once

#include "base/logging/LogSink.h"
#include "delivery/paste/KeySynthesizer.h"

#include <memory>

namespace korvane {

// Paste keys through the virtual keyboard wlroots compositors (sway, river, Hyprland...) lend
// their clients (zwp_virtual_keyboard_manager_v1): a keyboard of our own on the user's seat, with
// our keymap (PasteKeymap) uploaded once. Keeps a Wayland connection of its own. Main thread.
//
// The compositor makes the keyboard that typed last the seat's keyboard, with its own modifiers,
// so keys the user still holds on a real keyboard never combine with ours: heldModifiers() is
// empty, and releaseModifiers() clears our keyboard's modifiers.
class WaylandVirtualKeyboard final : public KeySynthesizer {
public:
    // Connects to the compositor WAYLAND_DISPLAY names and makes the keyboard. Nothing, and a log
    // line, when there is no compositor or it lends no virtual keyboard.
    static std::unique_ptr<WaylandVirtualKeyboard> create(LogSink log = defaultLogSink());
    ~WaylandVirtualKeyboard() override;

    WaylandVirtualKeyboard(const WaylandVirtualKeyboard&) = delete;
    WaylandVirtualKeyboard& operator=(const WaylandVirtualKeyboard&) = delete;

    std::vector<KeyModifier> heldModifiers() override;
    bool releaseModifiers(const std::vector<KeyModifier>& modifiers) override;
    // Sets the chord's modifiers, presses and releases the key, clears the modifiers, and waits
    // until the compositor has taken all of it: false when it refused any (the connection ends on
    // a protocol error) or the key is not in the keymap.
    bool sendChord(const KeyChord& chord) override;

private:
    class Impl;
    explicit WaylandVirtualKeyboard(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane
