#include "hotkeys/HotkeyBackendFactory.h"

#include "hotkeys/DesktopShortcutSyntax.h"
#include "hotkeys/HotkeyManager.h"
#include "hotkeys/HotkeyRegistry.h"
#include "hotkeys/KeyPositionTable.h"
#include "hotkeys/ModifierChordBackend.h"
#include "hotkeys/PortalShortcutBackend.h"

#include <utility>

namespace korvane {

HotkeyBackendFactory::HotkeyBackendFactory(Ports ports, std::shared_ptr<MainQueue> mainQueue, LogSink log)
    : ports_(std::move(ports)), mainQueue_(std::move(mainQueue)), log_(std::move(log)),
      registry_(std::make_shared<HotkeyRegistry>())
{
    if (ports_.keyGrabber) {
        ports_.keyGrabber->setEventHandler([registry = registry_](const GrabbedKeyEvent& event) {
            HotkeyManager::handleGrabbedKey(*registry, event);
        });
    }
}

std::shared_ptr<HotkeyBackend> HotkeyBackendFactory::make(const HotkeyBinding& binding, HotkeyCallback callback) const
{
    const ChordModifierSet& modifiers = binding.modifiers();
    if (ports_.portal) {
        return makePortalBackend(binding, std::move(callback));
    }
    if (binding.isModifierChord() && modifiers.size() > 1 && modifiers.contains(ChordModifier::function)) {
        return ModifierChordBackend::create(modifiers, std::move(callback),
                                            {ports_.modifierKeys, ports_.isTrusted, mainQueue_, log_});
    }
    if (binding.isKeyCombo() && !modifiers.empty() && !modifiers.contains(ChordModifier::function)) {
        return HotkeyManager::create(binding, std::move(callback), {ports_.keyGrabber, registry_, mainQueue_, log_});
    }
    log_("Refusing to build backend for invalid binding");
    return nullptr;
}

std::shared_ptr<HotkeyBackend> HotkeyBackendFactory::makePortalBackend(const HotkeyBinding& binding,
                                                                       HotkeyCallback callback) const
{
    if (binding.isModifierChord()) {
        log_("A modifier-only shortcut cannot be bound through the desktop portal");
        return nullptr;
    }
    if (!binding.isValid()) {
        log_("Refusing to build backend for invalid binding");
        return nullptr;
    }
    const std::optional<std::uint32_t> keysym = KeyPositionTable::keysym(*binding.keyCode());
    const std::string keyName = keysym && ports_.keysymName ? ports_.keysymName(*keysym) : std::string();
    // Without a trigger the desktop picks the keys (or asks the user), which beats no shortcut.
    const std::string trigger = xdgShortcutTrigger({binding.modifiers(), keyName}).value_or("");
    return PortalShortcutBackend::create(trigger, std::move(callback), {ports_.portal, mainQueue_, log_});
}

std::shared_ptr<HotkeyBackend> HotkeyBackendFactory::makeBareKey(std::uint16_t keyCode, HotkeyCallback callback) const
{
    if (!ports_.keyGrabber) {
        return nullptr;
    }
    return HotkeyManager::create(HotkeyBinding::keyCombo({}, keyCode), std::move(callback),
                                 {ports_.keyGrabber, registry_, mainQueue_, log_});
}

}  // namespace korvane
