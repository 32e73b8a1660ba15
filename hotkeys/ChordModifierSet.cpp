#include "hotkeys/ChordModifierSet.h"

namespace korvane {

std::size_t ChordModifierSet::size() const
{
    std::size_t count = 0;
    for (ChordModifier modifier : kAllChordModifiers) {
        count += contains(modifier) ? 1 : 0;
    }
    return count;
}

std::vector<ChordModifier> ChordModifierSet::sorted() const
{
    std::vector<ChordModifier> members;
    for (ChordModifier modifier : kAllChordModifiers) {
        if (contains(modifier)) {
            members.push_back(modifier);
        }
    }
    return members;
}

std::vector<std::string> ChordModifierSet::sortedRawValues() const
{
    std::vector<std::string> values;
    for (ChordModifier modifier : sorted()) {
        values.emplace_back(rawValue(modifier));
    }
    return values;
}

std::vector<std::string> ChordModifierSet::sortedLegacyValues() const
{
    std::vector<std::string> values;
    for (ChordModifier modifier : sorted()) {
        if (const auto legacy = legacyValue(modifier)) {
            values.emplace_back(*legacy);
        }
    }
    return values;
}

std::string ChordModifierSet::symbolString() const
{
    std::string symbols;
    for (ChordModifier modifier : sorted()) {
        symbols += glyph(modifier);
    }
    return symbols;
}

}  // namespace korvane
