#include "hotkeys/PortalShortcutBackend.h"

#include "base/scheduling/WeakTask.h"

#include <algorithm>
#include <utility>

namespace korvane {

namespace {

const GlobalShortcutsPortal::Shortcut* ours(const std::vector<GlobalShortcutsPortal::Shortcut>& shortcuts)
{
    const auto found = std::find_if(shortcuts.begin(), shortcuts.end(), [](const auto& shortcut) {
        return shortcut.id == PortalShortcutBackend::kShortcutId;
    });
    return found == shortcuts.end() ? nullptr : &*found;
}

}  // namespace

std::shared_ptr<PortalShortcutBackend> PortalShortcutBackend::create(std::string preferredTrigger,
                                                                     HotkeyCallback callback, Services services)
{
    return std::make_shared<PortalShortcutBackend>(Passkey{}, std::move(preferredTrigger), std::move(callback),
                                                   std::move(services));
}

PortalShortcutBackend::PortalShortcutBackend(Passkey, std::string preferredTrigger, HotkeyCallback callback,
                                             Services services)
    : preferredTrigger_(std::move(preferredTrigger)), callback_(std::move(callback)), services_(std::move(services))
{
}

PortalShortcutBackend::~PortalShortcutBackend()
{
    stop();
}

bool PortalShortcutBackend::start()
{
    requireMainThread(*services_.mainQueue, "PortalShortcutBackend::start");
    stop();
    started_ = true;
    awaitingAnswer_ = true;
    const std::uint64_t run = ++run_;
    GlobalShortcutsPortal::Handlers handlers;
    handlers.activated = weakCallback(
        shared_from_this(), [](PortalShortcutBackend& self, const std::string& id) { self.activated(id, true); });
    handlers.deactivated = weakCallback(
        shared_from_this(), [](PortalShortcutBackend& self, const std::string& id) { self.activated(id, false); });
    handlers.changed =
        weakCallback(shared_from_this(),
                     [](PortalShortcutBackend& self, const std::vector<GlobalShortcutsPortal::Shortcut>& shortcuts) {
                         self.changed(shortcuts);
                     });
    handlers.closed = weakCallback(shared_from_this(), [](PortalShortcutBackend& self) { self.closed(); });
    subscription_ = services_.portal->subscribe(std::move(handlers));
    services_.portal->bind(GlobalShortcutsPortal::Shortcut{kShortcutId, kDescription, preferredTrigger_},
                           weakCallback(shared_from_this(), [run](PortalShortcutBackend& self,
                                                                  const GlobalShortcutsPortal::Answer& answer) {
                               self.answered(run, answer);
                           }));
    services_.mainQueue->postAfter(
        kAnswerLimit, weakTask(weak_from_this(), [run](PortalShortcutBackend& self) { self.answerOverdue(run); }));
    return true;
}

void PortalShortcutBackend::stop()
{
    if (!started_) {
        return;
    }
    started_ = false;
    awaitingAnswer_ = false;
    down_ = false;
    ++run_;
    services_.portal->unsubscribe(subscription_);
}

void PortalShortcutBackend::answered(std::uint64_t run, const GlobalShortcutsPortal::Answer& answer)
{
    if (run != run_ || !started_) {
        return;
    }
    awaitingAnswer_ = false;
    if (!answer.bound) {
        services_.log("Portal shortcut not bound: " + answer.reason);
        settle(false, {}, answer.reason);
        return;
    }
    const GlobalShortcutsPortal::Shortcut* shortcut = ours(answer.shortcuts);
    if (!shortcut) {
        // The desktop answered without our shortcut: the user declined it in the desktop's dialog.
        services_.log("Portal shortcut not bound: the desktop left it out");
        settle(false, {}, "The desktop did not assign the shortcut");
        return;
    }
    services_.log("Portal shortcut bound: " + (shortcut->trigger.empty() ? "no keys yet" : shortcut->trigger));
    settle(true, shortcut->trigger, {});
}

void PortalShortcutBackend::answerOverdue(std::uint64_t run)
{
    if (run != run_ || !started_ || !awaitingAnswer_) {
        return;
    }
    services_.log("Portal shortcut: no answer from the desktop");
    settle(false, {}, "The desktop did not answer");
}

void PortalShortcutBackend::activated(const std::string& id, bool pressed)
{
    // Press and release alternate, starting with a press, whatever the desktop repeats.
    if (!started_ || id != kShortcutId || pressed == down_) {
        return;
    }
    down_ = pressed;
    services_.mainQueue->post(
        [callback = callback_, pressed] { callback(pressed ? HotkeyEvent::pressed : HotkeyEvent::released); });
}

void PortalShortcutBackend::changed(const std::vector<GlobalShortcutsPortal::Shortcut>& shortcuts)
{
    if (!started_) {
        return;
    }
    if (const GlobalShortcutsPortal::Shortcut* shortcut = ours(shortcuts)) {
        services_.log("Portal shortcut changed: " + shortcut->trigger);
        awaitingAnswer_ = false;
        settle(true, shortcut->trigger, {});
    }
}

void PortalShortcutBackend::closed()
{
    if (!started_) {
        return;
    }
    services_.log("Portal shortcut session ended by the desktop");
    awaitingAnswer_ = false;
    down_ = false;
    settle(false, {}, "The desktop ended the shortcut");
}

void PortalShortcutBackend::settle(bool active, const std::string& trigger, const std::string& reason)
{
    if (observer_) {
        observer_(Settled{active, trigger, reason});
    }
}

}  // namespace korvane
