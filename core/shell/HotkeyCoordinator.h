#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"
#include "core/shell/ShellAlerts.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/HotkeyBinding.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

class AppSettings;

// Keeps the stored shortcut registered: registers it at launch, answers the settings window's
// shortcut changes (keeping the old shortcut when the new one cannot be had), and, for a
// modifier-only chord that needs the input permission, waits for the permission, re-checks when
// the tray menu opens and warns once per run when it does not come.
//
// Main thread only. Timed work runs on the main queue, holds the coordinator weakly and does
// nothing once it is gone.
class HotkeyCoordinator : public std::enable_shared_from_this<HotkeyCoordinator> {
    struct PassKey {};

public:
    // Seconds between permission checks while waiting, how long to wait, and how long to put off
    // the warning while a dictation runs (an alert must not take the focus from the target).
    static constexpr double kAccessibilityRetryInterval = 2.0;
    static constexpr double kAccessibilityWaitLimit = 120.0;
    static constexpr double kBusyWarningDeferral = 5.0;

    struct Ports {
        std::shared_ptr<MainQueue> mainQueue;
        // Builds, never starts, the backend watching `binding`; nothing where none can be had.
        std::function<std::shared_ptr<HotkeyBackend>(const HotkeyBinding&)> makeBackend;
        // Whether Korvane may watch other applications' input, asked afresh each time.
        std::function<bool()> isTrusted;
        // Whether a dictation records, transcribes or pastes.
        std::function<bool()> isBusy;
        // The tray menu's status line; the last writer wins.
        std::function<void(const std::string&)> setStatusLine;
        std::shared_ptr<ShellAlerts> alerts;
        LogSink log = defaultLogSink();
        // The compositor's own configuration binds the shortcut to `korvane --toggle` (a Wayland
        // session without a portal): nothing is registered here, and a new shortcut is only stored.
        bool boundByCompositor = false;
    };

    // Throws std::invalid_argument when a port is missing. `settings` must outlive the coordinator.
    static std::shared_ptr<HotkeyCoordinator> create(AppSettings& settings, Ports ports);
    HotkeyCoordinator(PassKey, AppSettings& settings, Ports ports);

    HotkeyCoordinator(const HotkeyCoordinator&) = delete;
    HotkeyCoordinator& operator=(const HotkeyCoordinator&) = delete;

    // Registers the stored shortcut (at launch); on failure says so on the status line and, for a
    // chord without the permission, starts waiting for it. True when registered.
    bool registerStoredHotkey();

    // The settings window's change: `binding`, or nothing to register the stored one again.
    void applyHotkey(std::optional<HotkeyBinding> binding);

    // Stops watching the shortcut while a new one is recorded; applyHotkey() takes it up again.
    void pauseHotkey();

    // The tray menu is opening: a chord left unregistered for want of the permission is
    // registered now if the permission has come.
    void menuWillOpen();

    // Whether the last registration succeeded.
    bool isRegistered() const { return registered_; }

    // What the ready status line ends with: " — press " and the stored shortcut while it is
    // registered, nothing while it is not (telling someone to press keys that do nothing misleads).
    std::string hotkeyHint() const;
    // The shortcut as the user should press it: the desktop's name for it where the desktop chose.
    std::string shownShortcut() const;
    bool isWaitingForAccessibility() const { return activeWait_.has_value(); }

private:
    bool registerHotkey();
    // The desktop's later word on `backend`, when it is still the current one.
    void backendSettled(const std::shared_ptr<HotkeyBackend>& backend, const HotkeyBackend::Settled& settled);
    void alertDesktopFailure(const std::shared_ptr<HotkeyBackend>& backend, const std::string& reason);
    void reportHotkeyFailure(const HotkeyBinding& attempted, const HotkeyBinding& kept);
    void showUnavailable();

    void retryHotkeyWhenAccessibilityGranted();
    void checkAccessibility(std::uint64_t wait, int tick);
    void stopWaiting();
    void registerHotkeyAfterAccessibilityGrant();
    void warnHotkeyNeedsAccessibility();

    void log(const std::string& line) const;

    AppSettings& settings_;
    const Ports ports_;
    std::shared_ptr<HotkeyBackend> backend_;
    bool registered_ = false;
    std::string desktopTrigger_;  // the keys the desktop bound, as it names them; empty when it did not say
    // Timed posts cannot be withdrawn: each check carries the wait it belongs to and does nothing
    // once that wait has ended.
    std::optional<std::uint64_t> activeWait_;
    std::uint64_t nextWait_ = 0;
    bool warningShown_ = false;
    bool warningDeferred_ = false;  // one deferral chain at a time
};

}  // namespace korvane
