#pragma once

#include "hotkeys/ChordModifier.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace korvane {

// An unordered set of modifier keys. Every list or text made from it walks the members in the
// canonical order of ChordModifier, whatever order they were added in.
class ChordModifierSet {
public:
    constexpr ChordModifierSet() = default;
    constexpr ChordModifierSet(std::initializer_list<ChordModifier> modifiers)
    {
        for (ChordModifier modifier : modifiers) {
            insert(modifier);
        }
    }

    constexpr void insert(ChordModifier modifier) { bits_ = static_cast<std::uint8_t>(bits_ | bit(modifier)); }
    constexpr void erase(ChordModifier modifier)
    {
        bits_ = static_cast<std::uint8_t>(bits_ & static_cast<std::uint8_t>(~bit(modifier)));
    }
    constexpr bool contains(ChordModifier modifier) const { return (bits_ & bit(modifier)) != 0; }
    constexpr bool empty() const { return bits_ == 0; }
    std::size_t size() const;

    // The members in canonical order.
    std::vector<ChordModifier> sorted() const;
    // Raw values in canonical order: {shift, function, command} gives ["function", "shift", "command"].
    std::vector<std::string> sortedRawValues() const;
    // Legacy values in canonical order; the function key contributes nothing.
    std::vector<std::string> sortedLegacyValues() const;
    // The glyphs in canonical order with no separator ({command, control} gives ⌃⌘; empty gives "").
    std::string symbolString() const;

    constexpr bool operator==(const ChordModifierSet&) const = default;

private:
    static constexpr std::uint8_t bit(ChordModifier modifier)
    {
        return static_cast<std::uint8_t>(1U << static_cast<unsigned>(modifier));
    }

    std::uint8_t bits_ = 0;
};

}  // namespace korvane
