#include "hotkeys/HotkeyBinding.h"

#include "hotkeys/KeyCodeNames.h"

namespace korvane {

namespace {
constexpr std::uint16_t kSpaceKeyCode = 49;
}  // namespace

const HotkeyBinding& HotkeyBinding::fallback()
{
    static const HotkeyBinding binding =
        keyCombo(ChordModifierSet{ChordModifier::control, ChordModifier::shift}, kSpaceKeyCode);
    return binding;
}

HotkeyBinding HotkeyBinding::migrating(const std::vector<std::string>& legacyModifiers, std::uint16_t legacyKeyCode)
{
    ChordModifierSet modifiers;
    for (const std::string& name : legacyModifiers) {
        if (const auto modifier = chordModifierFromLegacy(name)) {
            modifiers.insert(*modifier);
        }
    }
    modifiers.erase(ChordModifier::function);
    if (modifiers.empty()) {
        return fallback();
    }
    return keyCombo(modifiers, legacyKeyCode);
}

bool HotkeyBinding::isValid() const
{
    switch (kind_) {
    case Kind::keyCombo:
        return !modifiers_.empty() && !modifiers_.contains(ChordModifier::function);
    case Kind::modifierChord:
        return modifiers_.size() >= 2 && modifiers_.contains(ChordModifier::function);
    }
    return false;
}

std::string HotkeyBinding::displayText() const
{
    std::string text = modifiers_.symbolString();
    if (isKeyCombo()) {
        text += KeyCodeNames::name(keyCode_);
    }
    return text;
}

std::optional<std::uint32_t> HotkeyBinding::carbonModifierMask() const
{
    if (isModifierChord() || modifiers_.contains(ChordModifier::function)) {
        return std::nullopt;
    }
    std::uint32_t mask = 0;
    for (ChordModifier modifier : modifiers_.sorted()) {
        mask |= carbonMaskBit(modifier).value_or(0U);
    }
    return mask;
}

}  // namespace korvane
