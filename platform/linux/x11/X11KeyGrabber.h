#pragma once

#include "base/logging/LogSink.h"
#include "hotkeys/KeyGrabber.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11KeyboardMapping.h"

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace korvane {

// Key grabs on the root window (XGrabKey), for every key that produces the keysym and every
// combination of the lock keys, as checked requests: a BadAccess (another client holds one of
// them) undoes what was grabbed and becomes the status. Grabs are taken again when the keyboard
// mapping changes. Detectable auto-repeat is switched on for the connection, so a held key gives
// repeated presses and one release, which are reported as such. Main thread only.
class X11KeyGrabber final : public KeyGrabber, public std::enable_shared_from_this<X11KeyGrabber> {
public:
    // `connection` must outlive this object and every grab it hands out.
    X11KeyGrabber(X11Connection& connection, std::shared_ptr<X11KeyboardMapping> mapping,
                  LogSink log = defaultLogSink());
    ~X11KeyGrabber() override;

    Result grab(const KeyGrabRequest& request) override;
    void setEventHandler(EventHandler handler) override;

private:
    using Combination = std::pair<unsigned, unsigned>;  // key code, modifier state

    struct Held {
        KeyGrabRequest request;
        unsigned mask = 0;      // the modifier bits the grab needs
        unsigned lockMask = 0;  // lock bits that may be on as well
        std::vector<Combination> combinations;
    };

    class HeldGrab;

    // The combinations a request needs with the current mapping, or the status why there are none.
    int combinationsFor(const KeyGrabRequest& request, Held& held) const;
    // Grabs them all or none; the X error code, or 0.
    int grabAll(const std::vector<Combination>& combinations);
    void ungrabAll(const std::vector<Combination>& combinations);
    void release(std::uint32_t hotkeyId);
    void handle(const _XEvent& event);
    void regrab();

    X11Connection& connection_;
    std::shared_ptr<X11KeyboardMapping> mapping_;
    LogSink log_;
    EventHandler handler_;
    std::map<std::uint32_t, Held> held_;
    std::map<unsigned, std::uint32_t> keysDown_;  // key code -> hotkey id, between a press and its release
    X11Connection::Subscription subscription_;
    X11KeyboardMapping::Listener mappingListener_;
};

}  // namespace korvane
