#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/ModifierChordState.h"
#include "hotkeys/ModifierKeySource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace korvane {

// The backend for modifier-only chords such as 🌐⌥: nothing is registered with the window system;
// the backend watches the modifier keys on the whole desktop and decides itself when the chord is
// pressed and released. Watching other applications' keys needs the input permission; without it
// the backend does not start. While a chord is held, a timer reads the keyboard four times a second
// so that a release the watch missed still ends the press. Stopping during a press reports the
// release, so a client never stays pressed.
class ModifierChordBackend final : public HotkeyBackend, public std::enable_shared_from_this<ModifierChordBackend> {
    struct Passkey {};

public:
    struct Services {
        std::shared_ptr<ModifierKeySource> keys;
        std::function<bool()> isTrusted;  // the input permission, asked at each start
        std::shared_ptr<MainQueue> mainQueue;
        LogSink log = defaultLogSink();
    };

    static constexpr double reconcileInterval = 0.25;

    static std::shared_ptr<ModifierChordBackend> create(ChordModifierSet modifiers, HotkeyCallback callback,
                                                        Services services);

    ModifierChordBackend(Passkey, ChordModifierSet modifiers, HotkeyCallback callback, Services services);
    ~ModifierChordBackend() override;

    bool start() override;
    void stop() override;

    ChordModifierSet target() const { return target_; }

private:
    void handleChange(ChordModifierSet held);
    void deliver(HotkeyEvent event);
    void syncReconcileTimer(bool active);
    void scheduleReconcile(std::uint64_t timer);
    void reconcileNow();

    const HotkeyCallback callback_;
    const ChordModifierSet target_;
    const Services services_;
    std::unique_ptr<ModifierKeySource::Watch> globalMonitor_;
    std::uint64_t reconcileTimer_ = 0;  // the number of the running timer, 0 when none runs
    std::uint64_t timersStarted_ = 0;
    std::mutex stateLock_;
    ModifierChordState state_;
};

}  // namespace korvane
