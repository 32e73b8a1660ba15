#pragma once

#include "core/updates/UpdateCheckKind.h"
#include "core/updates/UpdateFeed.h"

#include <functional>
#include <string>

namespace korvane {

// How the user answered an update offer.
enum class UpdateOfferAnswer {
    later,            // "Later", or the dialog closed any other way
    openReleasePage,  // "Open Release Page" (the dialog has opened it)
    skipVersion,      // "Skip This Version"
};

// What the user sees of updates: dialogs on the desktop, a recording fake in tests. Every call comes
// on the main thread and must not block it (show the dialog and return).
class UpdatePrompts {
public:
    virtual ~UpdatePrompts() = default;

    // A newer release exists; the dialog offers to open `offer.releasePage`. An offer found by a
    // scheduled check comes while the user works in another application, perhaps dictating into it:
    // it appears without taking the keyboard focus or coming to the front. One the user asked for
    // with "Check Now…" comes to the front. `answer` runs on the main thread with the choice, at most
    // once (a dialog still open when the prompts are destroyed answers nothing).
    virtual void offerUpdate(const UpdateOffer& offer, const std::string& currentVersion, UpdateCheckKind origin,
                             std::function<void(UpdateOfferAnswer)> answer) = 0;

    // After "Check Now…" only: the running version is the newest.
    virtual void reportUpToDate(const std::string& currentVersion) = 0;

    // After "Check Now…" only: the check failed for `reason`.
    virtual void reportCheckFailed(const std::string& reason) = 0;

    // The installed executable was replaced (a package upgrade): asks whether to relaunch into it.
    // `answer` runs on the main thread with the choice, exactly once: closing the dialog any other
    // way is "not now". Until it runs, no further relaunch question is asked.
    virtual void offerRelaunch(std::function<void(bool relaunch)> answer) = 0;
};

}  // namespace korvane
