#include "hotkeys/ModifierMapping.h"

#include "hotkeys/Keysyms.h"

#include <algorithm>
#include <initializer_list>

namespace korvane {

namespace {

using namespace keysyms;

constexpr unsigned kShiftBit = 1U << 0;
constexpr unsigned kControlBit = 1U << 2;

bool isOneOf(std::uint32_t keysym, std::initializer_list<std::uint32_t> candidates)
{
    return std::find(candidates.begin(), candidates.end(), keysym) != candidates.end();
}

// The bits whose keys include one of the candidates.
unsigned bitsHolding(const ModifierMap& map, std::initializer_list<std::uint32_t> candidates)
{
    unsigned bits = 0;
    for (std::size_t bit = 0; bit < map.keysyms.size(); ++bit) {
        for (const std::uint32_t keysym : map.keysyms[bit]) {
            if (isOneOf(keysym, candidates)) {
                bits |= 1U << bit;
            }
        }
    }
    return bits;
}

unsigned lowestBit(unsigned bits)
{
    return bits & (~bits + 1U);
}

// The bit Meta or Hyper keys set when it is theirs alone: no Alt, Super, Control or Shift key
// sets it too. 0 when there is none.
unsigned commandBit(const ModifierMap& map)
{
    const unsigned candidates = bitsHolding(map, {kMetaL, kMetaR, kHyperL, kHyperR});
    const unsigned taken = bitsHolding(map, {kAltL, kAltR, kSuperL, kSuperR, kControlL, kControlR, kShiftL, kShiftR});
    return lowestBit(candidates & ~taken);
}

unsigned bitOf(ChordModifier modifier, const ModifierMap& map)
{
    switch (modifier) {
    case ChordModifier::function:
        return lowestBit(bitsHolding(map, {kSuperL, kSuperR}));
    case ChordModifier::control: {
        const unsigned bits = bitsHolding(map, {kControlL, kControlR});
        return bits != 0 ? lowestBit(bits) : kControlBit;
    }
    case ChordModifier::option:
        return lowestBit(bitsHolding(map, {kAltL, kAltR}));
    case ChordModifier::shift: {
        const unsigned bits = bitsHolding(map, {kShiftL, kShiftR});
        return bits != 0 ? lowestBit(bits) : kShiftBit;
    }
    case ChordModifier::command:
        break;
    }
    return commandBit(map);
}

}  // namespace

std::optional<ChordModifier> ModifierMapping::roleOf(std::uint32_t keysym, const ModifierMap& map)
{
    if (isOneOf(keysym, {kControlL, kControlR})) {
        return ChordModifier::control;
    }
    if (isOneOf(keysym, {kAltL, kAltR})) {
        return ChordModifier::option;
    }
    if (isOneOf(keysym, {kShiftL, kShiftR})) {
        return ChordModifier::shift;
    }
    if (isOneOf(keysym, {kSuperL, kSuperR})) {
        return ChordModifier::function;
    }
    if (isOneOf(keysym, {kMetaL, kMetaR, kHyperL, kHyperR})) {
        const unsigned own = commandBit(map);
        if (own != 0 && (bitsHolding(map, {keysym}) & own) != 0) {
            return ChordModifier::command;
        }
    }
    return std::nullopt;
}

ChordModifierSet ModifierMapping::heldModifiers(const std::vector<std::uint32_t>& keysymsDown, const ModifierMap& map)
{
    ChordModifierSet held;
    for (const std::uint32_t keysym : keysymsDown) {
        if (const auto role = roleOf(keysym, map)) {
            held.insert(*role);
        }
    }
    return held;
}

std::optional<unsigned> ModifierMapping::grabMask(ChordModifierSet modifiers, const ModifierMap& map)
{
    unsigned mask = 0;
    for (const ChordModifier modifier : modifiers.sorted()) {
        const unsigned bit = bitOf(modifier, map);
        if (bit == 0) {
            return std::nullopt;
        }
        mask |= bit;
    }
    return mask;
}

unsigned ModifierMapping::lockMask(const ModifierMap& map, unsigned grabMask)
{
    const unsigned locks = lowestBit(bitsHolding(map, {kCapsLock, kShiftLock})) |
                           lowestBit(bitsHolding(map, {kNumLock})) | lowestBit(bitsHolding(map, {kScrollLock}));
    return locks & ~grabMask;
}

std::vector<unsigned> ModifierMapping::lockCombinations(unsigned lockMask)
{
    // Walks the subsets of lockMask in increasing order, the empty set first.
    std::vector<unsigned> combinations{0};
    for (unsigned subset = (0U - lockMask) & lockMask; subset != 0; subset = (subset - lockMask) & lockMask) {
        combinations.push_back(subset);
    }
    return combinations;
}

}  // namespace korvane
