#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korvane {

// The desktop portal's global shortcuts, as Korvane uses them: one session for the whole run, in
// which the desktop binds keys to shortcut ids, then says when they are pressed and released.
// Main thread; answers and events arrive there, later.
class GlobalShortcutsPortal {
public:
    struct Shortcut {
        std::string id;
        std::string description;
        std::string trigger;  // asked for: the preferred trigger; answered: the desktop's description

        bool operator==(const Shortcut&) const = default;
    };

    struct Answer {
        bool bound = false;
        std::vector<Shortcut> shortcuts;  // as the desktop bound them
        std::string reason;               // why not, in words for the user
    };

    struct Handlers {
        std::function<void(const std::string& id)> activated;
        std::function<void(const std::string& id)> deactivated;
        std::function<void(const std::vector<Shortcut>& shortcuts)> changed;
        // The desktop ended the session; the next bind opens another.
        std::function<void()> closed;
    };

    virtual ~GlobalShortcutsPortal() = default;

    // Opens the session if none is open, then asks the desktop to bind `shortcut` (which may show
    // the user a dialog). `done` runs once.
    virtual void bind(const Shortcut& shortcut, std::function<void(const Answer&)> done) = 0;

    // Events go to the last subscriber only; unsubscribing an older one changes nothing.
    virtual std::uint64_t subscribe(Handlers handlers) = 0;
    virtual void unsubscribe(std::uint64_t subscription) = 0;
};

}  // namespace korvane
