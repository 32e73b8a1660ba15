#include "core/shell/HotkeyCoordinator.h"

#include "base/scheduling/WeakTask.h"
#include "core/dictation/StatusPresentation.h"
#include "core/settings/AppSettings.h"
#include "core/shell/HotkeyAlertTexts.h"
#include "hotkeys/ShortcutLabel.h"

#include <stdexcept>
#include <utility>

namespace korvane {

std::shared_ptr<HotkeyCoordinator> HotkeyCoordinator::create(AppSettings& settings, Ports ports)
{
    if (!ports.mainQueue || !ports.makeBackend || !ports.isTrusted || !ports.isBusy || !ports.setStatusLine ||
        !ports.alerts || !ports.log) {
        throw std::invalid_argument("HotkeyCoordinator needs every port");
    }
    return std::make_shared<HotkeyCoordinator>(PassKey{}, settings, std::move(ports));
}

HotkeyCoordinator::HotkeyCoordinator(PassKey, AppSettings& settings, Ports ports)
    : settings_(settings), ports_(std::move(ports))
{
}

bool HotkeyCoordinator::registerStoredHotkey()
{
    requireMainThread(*ports_.mainQueue, "HotkeyCoordinator::registerStoredHotkey");
    if (ports_.boundByCompositor) {
        log("Shortcut: bound in the compositor's configuration (korvane --toggle)");
        ports_.setStatusLine("Status: Shortcut from your compositor's settings (korvane --toggle)");
        return true;
    }
    if (registerHotkey()) {
        return true;
    }
    showUnavailable();
    retryHotkeyWhenAccessibilityGranted();
    return false;
}

bool HotkeyCoordinator::registerHotkey()
{
    if (backend_) {
        backend_->stop();
    }
    registered_ = false;
    desktopTrigger_.clear();
    backend_ = ports_.makeBackend(settings_.hotkeyBinding());
    if (!backend_) {
        return false;
    }
    backend_->setSettledObserver([self = weak_from_this(), backend = std::weak_ptr<HotkeyBackend>(backend_)](
                                     const HotkeyBackend::Settled& word) {
        const auto coordinator = self.lock();
        const auto current = backend.lock();
        if (coordinator && current) {
            coordinator->backendSettled(current, word);
        }
    });
    // A failed backend is kept: it owns nothing, and the next registration replaces it.
    registered_ = backend_->start();
    if (registered_) {
        stopWaiting();
    }
    return registered_;
}

void HotkeyCoordinator::applyHotkey(std::optional<HotkeyBinding> binding)
{
    requireMainThread(*ports_.mainQueue, "HotkeyCoordinator::applyHotkey");
    const HotkeyBinding current = settings_.hotkeyBinding();
    if (ports_.boundByCompositor) {
        // Kept for the line the settings show; the compositor's configuration does the binding.
        if (binding) {
            settings_.setHotkeyBinding(*binding);
        }
        return;
    }
    if (!binding || *binding == current) {
        registerStoredHotkey();
        return;
    }
    // A binding the store refuses (an invalid one) must not be reported as set: the registration
    // below would otherwise succeed with the old shortcut still stored.
    if (settings_.setHotkeyBinding(*binding) && registerHotkey()) {
        ports_.setStatusLine("Status: Hotkey set to " + shortcutLabel(*binding));
        return;
    }
    settings_.setHotkeyBinding(current);
    if (registerHotkey()) {
        ports_.setStatusLine("Status: " + shortcutLabel(*binding) + " unavailable -- kept " + shortcutLabel(current));
    } else {
        showUnavailable();
        retryHotkeyWhenAccessibilityGranted();
    }
    reportHotkeyFailure(*binding, settings_.hotkeyBinding());
}

void HotkeyCoordinator::pauseHotkey()
{
    requireMainThread(*ports_.mainQueue, "HotkeyCoordinator::pauseHotkey");
    if (backend_) {
        backend_->stop();
    }
}

std::string HotkeyCoordinator::hotkeyHint() const
{
    return korvane::hotkeyHint(registered_ ? std::optional<std::string>(shownShortcut()) : std::nullopt);
}

std::string HotkeyCoordinator::shownShortcut() const
{
    return desktopTrigger_.empty() ? shortcutLabel(settings_.hotkeyBinding()) : desktopTrigger_;
}

void HotkeyCoordinator::backendSettled(const std::shared_ptr<HotkeyBackend>& backend,
                                       const HotkeyBackend::Settled& settled)
{
    if (backend != backend_) {
        return;
    }
    if (settled.active) {
        const bool changed = !registered_ || settled.trigger != desktopTrigger_;
        registered_ = true;
        desktopTrigger_ = settled.trigger;
        if (changed) {
            log("Desktop shortcut: " + shownShortcut());
            ports_.setStatusLine("Status: Hotkey set to " + shownShortcut());
        }
        return;
    }
    registered_ = false;
    desktopTrigger_.clear();
    log("Desktop shortcut unavailable: " + settled.reason);
    showUnavailable();
    alertDesktopFailure(backend, settled.reason);
}

void HotkeyCoordinator::alertDesktopFailure(const std::shared_ptr<HotkeyBackend>& backend, const std::string& reason)
{
    if (backend != backend_ || registered_) {
        return;
    }
    if (ports_.isBusy()) {
        // An alert now would take the keyboard from the application being dictated into.
        ports_.mainQueue->postAfter(kBusyWarningDeferral,
                                    [self = weak_from_this(), weak = std::weak_ptr<HotkeyBackend>(backend), reason] {
                                        const auto coordinator = self.lock();
                                        const auto current = weak.lock();
                                        if (coordinator && current) {
                                            coordinator->alertDesktopFailure(current, reason);
                                        }
                                    });
        return;
    }
    ports_.alerts->runWarning(desktopShortcutFailureAlert(settings_.hotkeyBinding(), reason));
}

void HotkeyCoordinator::reportHotkeyFailure(const HotkeyBinding& attempted, const HotkeyBinding& kept)
{
    ports_.alerts->runWarning(hotkeyFailureAlert(attempted, kept));
}

void HotkeyCoordinator::showUnavailable()
{
    ports_.setStatusLine("Status: Hotkey unavailable (" + shortcutLabel(settings_.hotkeyBinding()) + ")");
}

void HotkeyCoordinator::retryHotkeyWhenAccessibilityGranted()
{
    if (!settings_.hotkeyBinding().isModifierChord() || ports_.isTrusted() || activeWait_) {
        return;
    }
    log("Waiting for Accessibility before registering modifier-only hotkey");
    const std::uint64_t wait = nextWait_++;
    activeWait_ = wait;
    ports_.mainQueue->postAfter(
        kAccessibilityRetryInterval,
        weakTask(weak_from_this(), [wait](HotkeyCoordinator& self) { self.checkAccessibility(wait, 1); }));
}

void HotkeyCoordinator::checkAccessibility(std::uint64_t wait, int tick)
{
    if (activeWait_ != wait) {
        return;
    }
    if (ports_.isTrusted()) {
        stopWaiting();
        registerHotkeyAfterAccessibilityGrant();
        return;
    }
    if (tick * kAccessibilityRetryInterval >= kAccessibilityWaitLimit) {
        stopWaiting();
        log("Stopped waiting for Accessibility -- menu open will re-check");
        warnHotkeyNeedsAccessibility();
        return;
    }
    ports_.mainQueue->postAfter(
        kAccessibilityRetryInterval,
        weakTask(weak_from_this(), [wait, tick](HotkeyCoordinator& self) { self.checkAccessibility(wait, tick + 1); }));
}

void HotkeyCoordinator::stopWaiting()
{
    activeWait_.reset();
}

void HotkeyCoordinator::registerHotkeyAfterAccessibilityGrant()
{
    const std::string shortcut = shortcutLabel(settings_.hotkeyBinding());
    if (registerHotkey()) {
        log("Accessibility granted -- hotkey registered");
        ports_.setStatusLine("Status: Hotkey ready (" + shortcut + ")");
    } else {
        ports_.setStatusLine("Status: Hotkey unavailable (" + shortcut + ")");
    }
}

void HotkeyCoordinator::menuWillOpen()
{
    requireMainThread(*ports_.mainQueue, "HotkeyCoordinator::menuWillOpen");
    if (!ports_.boundByCompositor && !registered_ && settings_.hotkeyBinding().isModifierChord() &&
        ports_.isTrusted()) {
        stopWaiting();
        registerHotkeyAfterAccessibilityGrant();
    }
}

void HotkeyCoordinator::warnHotkeyNeedsAccessibility()
{
    if (warningShown_ || registered_) {
        return;
    }
    if (ports_.isBusy()) {
        // An alert now would take the keyboard from the application being dictated into.
        if (!warningDeferred_) {
            warningDeferred_ = true;
            ports_.mainQueue->postAfter(kBusyWarningDeferral, weakTask(weak_from_this(), [](HotkeyCoordinator& self) {
                                            self.warningDeferred_ = false;
                                            self.warnHotkeyNeedsAccessibility();
                                        }));
        }
        return;
    }
    // Marked before the alert runs: events handled while it waits must not open a second one.
    warningShown_ = true;
    const std::size_t choice = ports_.alerts->runWarning(hotkeyInactiveAlert(settings_.hotkeyBinding()));
    if (choice == 0) {
        ports_.alerts->openAccessibilitySettings();
        retryHotkeyWhenAccessibilityGranted();
    }
}

void HotkeyCoordinator::log(const std::string& line) const
{
    ports_.log(line);
}

}  // namespace korvane
