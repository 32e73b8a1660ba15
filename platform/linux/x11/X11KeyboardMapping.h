#pragma once

#include "hotkeys/ModifierMapping.h"
#include "platform/linux/x11/X11Connection.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace korvane {

// The keyboard mapping as the X server has it right now: which keys produce which keysyms, and the
// modifier map. Kept up to date through XKB's notifications (a layout switch with setxkbmap, a
// keyboard plugged in); listeners hear of each change once the new mapping is read. Shared by the
// key grabber and the modifier-key watch; lives on the thread of the connection's event loop.
class X11KeyboardMapping {
public:
    // Stops the notifications of one listener when destroyed.
    class Listener {
    public:
        Listener() = default;
        Listener(X11KeyboardMapping* mapping, int id) : mapping_(mapping), id_(id) {}
        Listener(Listener&& other) noexcept;
        Listener& operator=(Listener&& other) noexcept;
        ~Listener();

    private:
        X11KeyboardMapping* mapping_ = nullptr;
        int id_ = 0;
    };

    // `connection` must outlive this object.
    explicit X11KeyboardMapping(X11Connection& connection);
    ~X11KeyboardMapping();

    X11KeyboardMapping(const X11KeyboardMapping&) = delete;
    X11KeyboardMapping& operator=(const X11KeyboardMapping&) = delete;

    const ModifierMap& modifierMap() const { return modifierMap_; }

    // The keysym of the key's first level in the first group; 0 for keys without one.
    std::uint32_t baseKeysym(unsigned keyCode) const;

    // The keys that produce `keysym` without a level key (Shift, AltGr) in any group; when none
    // does, the keys that produce it at some level (the keypad digits, which need Num Lock).
    // Never key code 0, which would mean any key to a grab.
    std::vector<unsigned> keyCodesFor(std::uint32_t keysym) const;

    [[nodiscard]] Listener onChange(std::function<void()> callback);

private:
    struct KeySymbols {
        std::vector<std::uint32_t> baseLevels;  // level 1 of each group
        std::vector<std::uint32_t> allLevels;
    };

    void reload();
    void removeListener(int id);

    X11Connection& connection_;
    int xkbEventBase_ = -1;  // -1 without XKB: the mapping is then read once
    X11Connection::Subscription subscription_;
    ModifierMap modifierMap_;
    std::array<KeySymbols, 256> keys_;
    std::map<int, std::function<void()>> listeners_;
    int nextListenerId_ = 1;
};

}  // namespace korvane
