#pragma once

#include "base/scheduling/Task.h"

#include <memory>
#include <utility>

namespace korvane {

// Wraps `body` so that it holds `owner` weakly: when the task runs after the owner is gone, it
// does nothing. Deferred work (timed posts, callbacks handed to collaborators) must never keep its
// owner alive nor touch it after destruction.
template <class Owner, class Body>
Task weakTask(std::weak_ptr<Owner> owner, Body body)
{
    return [weak = std::move(owner), body = std::move(body)]() mutable {
        if (auto strong = weak.lock()) {
            body(*strong);
        }
    };
}

template <class Owner, class Body>
Task weakTask(const std::shared_ptr<Owner>& owner, Body body)
{
    return weakTask(std::weak_ptr<Owner>(owner), std::move(body));
}

// The same for callbacks with arguments.
template <class Owner, class Body>
auto weakCallback(const std::shared_ptr<Owner>& owner, Body body)
{
    return [weak = std::weak_ptr<Owner>(owner), body = std::move(body)](auto&&... args) mutable {
        if (auto strong = weak.lock()) {
            body(*strong, std::forward<decltype(args)>(args)...);
        }
    };
}

}  // namespace korvane
