#include "hotkeys/HotkeyRegistry.h"

#include <iterator>
#include <utility>

namespace korvane {

std::uint32_t HotkeyRegistry::nextId()
{
    const std::lock_guard lock(lock_);
    return nextId_++;
}

void HotkeyRegistry::add(std::uint32_t id, std::weak_ptr<HotkeyManager> manager)
{
    const std::lock_guard lock(lock_);
    entries_[id] = std::move(manager);
    for (auto it = entries_.begin(); it != entries_.end();) {
        it = it->second.expired() ? entries_.erase(it) : std::next(it);
    }
}

void HotkeyRegistry::remove(std::uint32_t id)
{
    const std::lock_guard lock(lock_);
    entries_.erase(id);
}

std::shared_ptr<HotkeyManager> HotkeyRegistry::find(std::uint32_t id) const
{
    const std::lock_guard lock(lock_);
    const auto found = entries_.find(id);
    return found != entries_.end() ? found->second.lock() : nullptr;
}

}  // namespace korvane
