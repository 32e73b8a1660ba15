#include "hotkeys/ChordModifier.h"

#include "hotkeys/LegacyModifierNames.h"

#include <string>

namespace korvane {

namespace {

struct ModifierTraits {
    std::string_view raw;
    std::optional<std::string_view> legacy;
    std::string_view glyph;
    std::optional<std::uint32_t> carbonMask;
};

// Indexed by the enumeration's value, which is also the canonical order.
constexpr std::array<ModifierTraits, 5> kTraits{{
    {"function", std::nullopt, "🌐", std::nullopt},
    {"control", "ctrl", "⌃", 0x1000U},
    {"option", "alt", "⌥", 0x0800U},
    {"shift", "shift", "⇧", 0x0200U},
    {"command", "cmd", "⌘", 0x0100U},
}};

constexpr const ModifierTraits& traits(ChordModifier modifier)
{
    return kTraits[static_cast<std::size_t>(modifier)];
}

}  // namespace

std::string_view rawValue(ChordModifier modifier)
{
    return traits(modifier).raw;
}

std::optional<std::string_view> legacyValue(ChordModifier modifier)
{
    return traits(modifier).legacy;
}

std::string_view glyph(ChordModifier modifier)
{
    return traits(modifier).glyph;
}

std::optional<std::uint32_t> carbonMaskBit(ChordModifier modifier)
{
    return traits(modifier).carbonMask;
}

std::optional<ChordModifier> chordModifierFromRawValue(std::string_view text)
{
    for (ChordModifier modifier : kAllChordModifiers) {
        if (rawValue(modifier) == text) {
            return modifier;
        }
    }
    return std::nullopt;
}

std::optional<ChordModifier> chordModifierFromLegacy(std::string_view text)
{
    const std::string name = lowercasedModifierName(text);
    if (name == "ctrl" || name == "control") {
        return ChordModifier::control;
    }
    if (name == "shift") {
        return ChordModifier::shift;
    }
    if (name == "alt" || name == "option") {
        return ChordModifier::option;
    }
    if (name == "cmd" || name == "command") {
        return ChordModifier::command;
    }
    if (name == "fn" || name == "function" || name == "globe") {
        return ChordModifier::function;
    }
    return std::nullopt;
}

}  // namespace korvane
