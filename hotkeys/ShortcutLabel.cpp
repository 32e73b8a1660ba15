#include "hotkeys/ShortcutLabel.h"

#include "hotkeys/KeyCodeNames.h"
#include "hotkeys/KeyPositionTable.h"
#include "hotkeys/KeysymNames.h"

#include <array>
#include <optional>

namespace korvane {

namespace {

constexpr std::array<ChordModifier, 5> kWrittenOrder{ChordModifier::control, ChordModifier::option,
                                                     ChordModifier::shift, ChordModifier::function,
                                                     ChordModifier::command};

// Keys a Mac names differently from a PC keyboard's key in the same position: Backspace is
// "Delete" there, Delete "ForwardDelete", and the ISO key next to left Shift carries § there and
// < here.
std::optional<std::string_view> pcName(std::uint16_t keyCode)
{
    switch (keyCode) {
    case 51:
        return "Backspace";
    case 117:
        return "Delete";
    case 10:
        return "<";
    default:
        return std::nullopt;
    }
}

}  // namespace

std::string_view keyName(ChordModifier modifier)
{
    switch (modifier) {
    case ChordModifier::function:
        return "Super";
    case ChordModifier::control:
        return "Ctrl";
    case ChordModifier::option:
        return "Alt";
    case ChordModifier::shift:
        return "Shift";
    case ChordModifier::command:
        return "Meta";
    }
    return "";
}

std::string shortcutLabel(ChordModifierSet modifiers)
{
    std::string label;
    for (ChordModifier modifier : kWrittenOrder) {
        if (modifiers.contains(modifier)) {
            if (!label.empty()) {
                label += '+';
            }
            label += keyName(modifier);
        }
    }
    return label;
}

std::string keyLabel(std::uint16_t keyCode)
{
    if (const auto name = pcName(keyCode)) {
        return std::string(*name);
    }
    if (const auto name = KeyCodeNames::entry(keyCode)) {
        return std::string(*name);
    }
    if (const auto keysym = KeyPositionTable::keysym(keyCode)) {
        if (auto name = keysymName(*keysym)) {
            return *std::move(name);
        }
    }
    return KeyCodeNames::name(keyCode);
}

std::string shortcutLabel(const HotkeyBinding& binding)
{
    std::string label = shortcutLabel(binding.modifiers());
    if (const auto keyCode = binding.keyCode()) {
        if (!label.empty()) {
            label += '+';
        }
        label += keyLabel(*keyCode);
    }
    return label;
}

}  // namespace korvane
