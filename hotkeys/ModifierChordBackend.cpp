#include "hotkeys/ModifierChordBackend.h"

#include "base/scheduling/WeakTask.h"

#include <string>
#include <utility>

namespace korvane {

namespace {

// ["function", "option"]
std::string targetList(ChordModifierSet modifiers)
{
    std::string text = "[";
    for (const std::string& raw : modifiers.sortedRawValues()) {
        text += (text.size() > 1 ? ", \"" : "\"") + raw + "\"";
    }
    return text + "]";
}

}  // namespace

std::shared_ptr<ModifierChordBackend> ModifierChordBackend::create(ChordModifierSet modifiers, HotkeyCallback callback,
                                                                   Services services)
{
    return std::make_shared<ModifierChordBackend>(Passkey{}, modifiers, std::move(callback), std::move(services));
}

ModifierChordBackend::ModifierChordBackend(Passkey, ChordModifierSet modifiers, HotkeyCallback callback,
                                           Services services)
    : callback_(std::move(callback)), target_(modifiers), services_(std::move(services)), state_(modifiers, {})
{
    services_.log("ModifierChordBackend init: target=" + targetList(target_));
}

ModifierChordBackend::~ModifierChordBackend()
{
    stop();
}

bool ModifierChordBackend::start()
{
    requireMainThread(*services_.mainQueue, "ModifierChordBackend::start");
    if (globalMonitor_) {
        stop();
    }
    if (!services_.isTrusted()) {
        services_.log("ModifierChordBackend: Accessibility not granted -- cannot observe modifiers globally");
        return false;
    }
    {
        const ChordModifierSet held = services_.keys->heldModifiers();
        const std::lock_guard lock(stateLock_);
        state_ = ModifierChordState(target_, held);
    }
    // One watch covers every window, this application's own included, so no second one is needed.
    globalMonitor_ = services_.keys->watch(weakCallback(
        shared_from_this(), [](ModifierChordBackend& self, ChordModifierSet held) { self.handleChange(held); }));
    if (globalMonitor_) {
        services_.log("ModifierChordBackend started: target=" + targetList(target_));
        return true;
    }
    services_.log("ModifierChordBackend: global monitor could not be installed");
    stop();
    return false;
}

void ModifierChordBackend::stop()
{
    globalMonitor_.reset();
    reconcileTimer_ = 0;
    bool wasActive = false;
    {
        const std::lock_guard lock(stateLock_);
        wasActive = state_.isActive;
        state_.isActive = false;
        state_.needsRelease = true;
    }
    if (wasActive) {
        services_.log("ModifierChordBackend stopped while chord active -- emitting release");
        deliver(HotkeyEvent::released);
    }
}

void ModifierChordBackend::handleChange(ChordModifierSet held)
{
    std::optional<HotkeyEvent> event;
    bool active = false;
    {
        const std::lock_guard lock(stateLock_);
        event = state_.observe(held);
        active = state_.isActive;
    }
    syncReconcileTimer(active);
    if (event) {
        deliver(*event);
    }
}

void ModifierChordBackend::deliver(HotkeyEvent event)
{
    services_.log("Modifier chord " + std::string(name(event)));
    services_.mainQueue->post([callback = callback_, event] { callback(event); });
}

void ModifierChordBackend::syncReconcileTimer(bool active)
{
    if (!services_.mainQueue->isMainThread()) {
        services_.mainQueue->post(
            weakTask(weak_from_this(), [active](ModifierChordBackend& self) { self.syncReconcileTimer(active); }));
        return;
    }
    if (!active) {
        reconcileTimer_ = 0;
    } else if (reconcileTimer_ == 0) {
        reconcileTimer_ = ++timersStarted_;
        scheduleReconcile(reconcileTimer_);
    }
}

// A repeating timer made of one-shot posts: each tick schedules the next while the timer that
// scheduled it is still the running one.
void ModifierChordBackend::scheduleReconcile(std::uint64_t timer)
{
    services_.mainQueue->postAfter(reconcileInterval, weakTask(weak_from_this(), [timer](ModifierChordBackend& self) {
                                       if (self.reconcileTimer_ != timer) {
                                           return;
                                       }
                                       self.reconcileNow();
                                       if (self.reconcileTimer_ == timer) {
                                           self.scheduleReconcile(timer);
                                       }
                                   }));
}

void ModifierChordBackend::reconcileNow()
{
    const ChordModifierSet held = services_.keys->heldModifiers();
    bool missedRelease = false;
    bool active = false;
    {
        const std::lock_guard lock(stateLock_);
        if (state_.isActive && held != target_) {
            state_.isActive = false;
            state_.needsRelease = false;
            missedRelease = true;
        }
        active = state_.isActive;
    }
    if (missedRelease) {
        services_.log("ModifierChordBackend: reconciled a missed release");
        deliver(HotkeyEvent::released);
    }
    syncReconcileTimer(active);
}

}  // namespace korvane
