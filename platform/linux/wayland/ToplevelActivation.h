#pragma once

#include "delivery/focus/ActiveApplicationSource.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace korvane {

// The toplevel windows a compositor lists, by an id of the caller's choosing, and which of them is
// active. A window's app id and state arrive one by one and count only once the compositor marks
// them complete (done), so a window is never seen half-updated. With several seats several windows
// may be active at once; the one activated last is in front.
class ToplevelActivation {
public:
    using Id = std::uint32_t;

    void setAppId(Id toplevel, std::string appId);
    void setActivated(Id toplevel, bool activated);
    void done(Id toplevel);
    void closed(Id toplevel);
    // Forgets every window, as when the compositor is gone.
    void clear();

    // The application of the window in front; nothing when no window is active or it has no app id.
    std::optional<ActiveApplication> active() const;
    // The window of application `appId` that was active last (any of its windows when none ever
    // was): the one to bring back to the front. Nothing when the application has no window.
    std::optional<Id> windowOf(const std::string& appId) const;
    // Whether another window came to the front, or the one in front changed its app id, since the
    // last call. Asked once the events at hand are all applied, so that a focus change, which
    // deactivates one window before it activates the next, counts once.
    bool takeChange();

private:
    struct Toplevel {
        std::string appId;
        std::uint64_t activatedAt = 0;      // 0 while not active
        std::uint64_t lastActivatedAt = 0;  // kept once it is no longer active
        std::optional<std::string> pendingAppId;
        std::optional<bool> pendingActivated;
    };

    std::optional<Id> front() const;

    std::map<Id, Toplevel> toplevels_;
    std::uint64_t activations_ = 0;
    std::optional<Id> reportedId_;
    std::optional<ActiveApplication> reported_;
};

}  // namespace korvane
