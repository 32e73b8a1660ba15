#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace korvane {

class HotkeyManager;

// Hotkey ids and the managers they belong to, held weakly: a manager that its owner drops goes
// away even if nobody stopped it, and events for its id then reach nobody. Ids are never reused.
class HotkeyRegistry {
public:
    // 1, 2, 3, ...
    std::uint32_t nextId();

    // Registers the manager under `id` and forgets every entry whose manager has gone.
    void add(std::uint32_t id, std::weak_ptr<HotkeyManager> manager);
    void remove(std::uint32_t id);

    // The manager registered under `id`, if it is still alive.
    std::shared_ptr<HotkeyManager> find(std::uint32_t id) const;

private:
    mutable std::mutex lock_;
    std::uint32_t nextId_ = 1;
    std::map<std::uint32_t, std::weak_ptr<HotkeyManager>> entries_;
};

}  // namespace korvane
