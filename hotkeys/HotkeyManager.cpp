#include "hotkeys/HotkeyManager.h"

#include "hotkeys/KeyPositionTable.h"

#include <string>
#include <utility>

namespace korvane {

std::shared_ptr<HotkeyManager> HotkeyManager::create(const HotkeyBinding& binding, HotkeyCallback callback,
                                                     Services services)
{
    const std::optional<std::uint32_t> mask = binding.carbonModifierMask();
    if (!binding.isKeyCombo() || !mask) {
        return nullptr;
    }
    return std::make_shared<HotkeyManager>(Passkey{}, *binding.keyCode(), binding.modifiers(), *mask,
                                           std::move(callback), std::move(services));
}

HotkeyManager::HotkeyManager(Passkey, std::uint16_t keyCode, ChordModifierSet modifiers, std::uint32_t mask,
                             HotkeyCallback callback, Services services)
    : targetKeyCode_(keyCode), targetModifiers_(mask), modifiers_(modifiers), callback_(std::move(callback)),
      services_(std::move(services)), hotkeyId_(services_.registry->nextId())
{
    services_.log("HotkeyManager init: id=" + std::to_string(hotkeyId_) + " keyCode=" + std::to_string(targetKeyCode_) +
                  " carbonMods=" + std::to_string(targetModifiers_));
}

HotkeyManager::~HotkeyManager()
{
    stop();
}

bool HotkeyManager::start()
{
    requireMainThread(*services_.mainQueue, "HotkeyManager::start");
    if (hotkeyRef_) {
        stop();
    }
    {
        const std::lock_guard lock(stateLock_);
        pressState_.isPressed = false;
    }
    services_.registry->add(hotkeyId_, weak_from_this());

    int status = KeyGrabStatus::noKeyForKeysym;
    if (const auto keysym = KeyPositionTable::keysym(static_cast<std::uint16_t>(targetKeyCode_))) {
        KeyGrabber::Result result = services_.grabber->grab({hotkeyId_, *keysym, modifiers_});
        status = result.status;
        if (status == KeyGrabStatus::grabbed && result.grab) {
            hotkeyRef_ = std::move(result.grab);
            services_.log("Carbon hotkey registered: id=" + std::to_string(hotkeyId_) +
                          " keyCode=" + std::to_string(targetKeyCode_) + " mods=" + std::to_string(targetModifiers_));
            return true;
        }
    } else {
        services_.log("Key code " + std::to_string(targetKeyCode_) + " names no key");
    }
    services_.log("RegisterEventHotKey failed: " + std::to_string(status) + " -- shortcut may already be in use");
    services_.registry->remove(hotkeyId_);
    return false;
}

void HotkeyManager::stop()
{
    if (hotkeyRef_) {
        hotkeyRef_.reset();
        services_.log("Carbon hotkey unregistered: id=" + std::to_string(hotkeyId_));
    }
    {
        const std::lock_guard lock(stateLock_);
        pressState_.isPressed = false;
    }
    services_.registry->remove(hotkeyId_);
}

bool HotkeyManager::handleGrabbedKey(const HotkeyRegistry& registry, const GrabbedKeyEvent& event)
{
    const std::shared_ptr<HotkeyManager> manager = registry.find(event.hotkeyId);
    if (!manager) {
        return false;
    }
    manager->deliver(event.event, event.autoRepeat);
    return true;
}

void HotkeyManager::deliver(HotkeyEvent event, bool autoRepeat)
{
    bool duplicate = false;
    {
        const std::lock_guard lock(stateLock_);
        const bool pressing = event == HotkeyEvent::pressed;
        duplicate = pressState_.isPressed == pressing;
        pressState_.isPressed = pressing;
    }
    if (duplicate) {
        // A held key repeats its press; that is the keyboard working, not a fault worth a line.
        if (!autoRepeat) {
            services_.log("Carbon hotkey duplicate event ignored: id=" + std::to_string(hotkeyId_));
        }
        return;
    }
    services_.log("Carbon hotkey " + std::string(name(event)) + ": id=" + std::to_string(hotkeyId_));
    services_.mainQueue->post([callback = callback_, event] { callback(event); });
}

}  // namespace korvane
