#include "hotkeys/HotkeyBackendFactory.h"

#include "hotkeys/HotkeyManager.h"
#include "hotkeys/HotkeyRegistry.h"
#include "hotkeys/ModifierChordBackend.h"

#include <utility>

namespace korvane {

HotkeyBackendFactory::HotkeyBackendFactory(Ports ports, std::shared_ptr<MainQueue> mainQueue, LogSink log)
    : ports_(std::move(ports)), mainQueue_(std::move(mainQueue)), log_(std::move(log)),
      registry_(std::make_shared<HotkeyRegistry>())
{
    ports_.keyGrabber->setEventHandler(
        [registry = registry_](const GrabbedKeyEvent& event) { HotkeyManager::handleGrabbedKey(*registry, event); });
}

std::shared_ptr<HotkeyBackend> HotkeyBackendFactory::make(const HotkeyBinding& binding, HotkeyCallback callback) const
{
    const ChordModifierSet& modifiers = binding.modifiers();
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

std::shared_ptr<HotkeyBackend> HotkeyBackendFactory::makeBareKey(std::uint16_t keyCode, HotkeyCallback callback) const
{
    return HotkeyManager::create(HotkeyBinding::keyCombo({}, keyCode), std::move(callback),
                                 {ports_.keyGrabber, registry_, mainQueue_, log_});
}

}  // namespace korvane
