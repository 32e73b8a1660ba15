#pragma once

#include "base/logging/LogSink.h"
#include "hotkeys/ModifierKeySource.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11KeyboardMapping.h"

#include <bitset>
#include <map>
#include <memory>

namespace korvane {

// The modifier keys held, from XInput 2 raw key events on the root window: they arrive whatever
// window has the focus, without a grab, and (for clients of XInput 2.1 and later) even while
// another client holds the keyboard. The held set is made from the physical keys down and their
// base keysyms, so it does not depend on which modifier bits the keymap gives them. The raw
// events are selected only while someone watches. Main thread only.
class X11ModifierKeys final : public ModifierKeySource, public std::enable_shared_from_this<X11ModifierKeys> {
public:
    // `connection` must outlive this object and every watch it hands out.
    X11ModifierKeys(X11Connection& connection, std::shared_ptr<X11KeyboardMapping> mapping,
                    LogSink log = defaultLogSink());
    ~X11ModifierKeys() override;

    ChordModifierSet heldModifiers() override;
    std::unique_ptr<Watch> watch(Handler handler) override;

private:
    class RawKeySelection;
    class ActiveWatch;

    using KeysDown = std::bitset<256>;

    KeysDown queryKeysDown() const;
    ChordModifierSet modifiersOf(const KeysDown& keys) const;
    void handle(const _XEvent& event);
    void publish(ChordModifierSet held);
    void unwatch(int id);

    X11Connection& connection_;
    std::shared_ptr<X11KeyboardMapping> mapping_;
    LogSink log_;
    int inputOpcode_ = -1;  // XInput's major opcode; -1 without XInput 2
    std::unique_ptr<RawKeySelection> selection_;
    KeysDown keysDown_;
    ChordModifierSet held_;
    std::map<int, Handler> handlers_;
    int nextHandlerId_ = 1;
    X11Connection::Subscription subscription_;
    X11KeyboardMapping::Listener mappingListener_;
};

}  // namespace korvane
