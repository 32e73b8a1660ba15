#include "platform/linux/wayland/ToplevelActivation.h"

#include <utility>

namespace korvane {

void ToplevelActivation::setAppId(Id toplevel, std::string appId)
{
    toplevels_[toplevel].pendingAppId = std::move(appId);
}

void ToplevelActivation::setActivated(Id toplevel, bool activated)
{
    toplevels_[toplevel].pendingActivated = activated;
}

void ToplevelActivation::done(Id toplevel)
{
    Toplevel& window = toplevels_[toplevel];
    if (window.pendingAppId) {
        window.appId = std::move(*window.pendingAppId);
        window.pendingAppId.reset();
    }
    if (window.pendingActivated) {
        // A window that stays active keeps its place; only a new activation moves it to the front.
        if (!*window.pendingActivated) {
            window.activatedAt = 0;
        } else if (window.activatedAt == 0) {
            window.activatedAt = ++activations_;
            window.lastActivatedAt = window.activatedAt;
        }
        window.pendingActivated.reset();
    }
}

void ToplevelActivation::closed(Id toplevel)
{
    toplevels_.erase(toplevel);
    // The compositor may hand its id to a new window, which is another window even if it is active.
    if (reportedId_ == toplevel) {
        reportedId_.reset();
    }
}

void ToplevelActivation::clear()
{
    toplevels_.clear();
}

std::optional<ToplevelActivation::Id> ToplevelActivation::front() const
{
    std::optional<Id> found;
    std::uint64_t latest = 0;
    for (const auto& [id, window] : toplevels_) {
        if (window.activatedAt > latest) {
            latest = window.activatedAt;
            found = id;
        }
    }
    return found;
}

std::optional<ToplevelActivation::Id> ToplevelActivation::windowOf(const std::string& appId) const
{
    std::optional<Id> found;
    std::uint64_t latest = 0;
    for (const auto& [id, window] : toplevels_) {
        if (window.appId == appId && (!found || window.lastActivatedAt > latest)) {
            latest = window.lastActivatedAt;
            found = id;
        }
    }
    return found;
}

std::optional<ActiveApplication> ToplevelActivation::active() const
{
    const std::optional<Id> id = front();
    if (!id || toplevels_.at(*id).appId.empty()) {
        return std::nullopt;
    }
    // The protocol names no process.
    return ActiveApplication{toplevels_.at(*id).appId, std::nullopt};
}

bool ToplevelActivation::takeChange()
{
    const std::optional<Id> id = front();
    std::optional<ActiveApplication> application = active();
    if (id == reportedId_ && application == reported_) {
        return false;
    }
    reportedId_ = id;
    reported_ = std::move(application);
    return true;
}

}  // namespace korvane
