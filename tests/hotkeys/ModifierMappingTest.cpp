#include "hotkeys/ModifierMapping.h"
#include "hotkeys/Keysyms.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

namespace korvane {
namespace {

using namespace keysyms;
using M = ChordModifier;
using ::testing::ElementsAre;

constexpr unsigned kShift = 1U << 0, kLock = 1U << 1, kControl = 1U << 2, kMod1 = 1U << 3, kMod2 = 1U << 4,
                   kMod3 = 1U << 5, kMod4 = 1U << 6, kMod5 = 1U << 7;

// What Xorg's default keymap (evdev, pc105, us) puts on each bit: Meta beside Alt, Hyper beside
// Super, nothing on Mod3.
ModifierMap usualMap()
{
    ModifierMap map;
    map.keysyms = {{{kShiftL, kShiftR},
                    {kCapsLock},
                    {kControlL, kControlR},
                    {kAltL, kAltR, kMetaL},
                    {kNumLock},
                    {},
                    {kSuperL, kSuperR, kSuperL, kHyperL},
                    {0xfe03 /* ISO_Level3_Shift */, 0xff7e /* Mode_switch */}}};
    return map;
}

// Hyper moved to Mod3 of its own, Scroll Lock on Mod5, Control keys swapped onto Mod1's neighbour.
ModifierMap hyperMap()
{
    ModifierMap map = usualMap();
    map.keysyms[6] = {kSuperL, kSuperR};
    map.keysyms[5] = {kHyperL, kHyperR};
    map.keysyms[7] = {kScrollLock};
    return map;
}

struct MaskCase {
    const char* name;
    ModifierMap map;
    ChordModifierSet modifiers;
    std::optional<unsigned> mask;
};

TEST(ModifierMapping, GrabMasksFollowTheKeymapAndCommandNeedsABitOfItsOwn)
{
    ModifierMap metaAlone = usualMap();
    metaAlone.keysyms[3] = {kAltL, kAltR};
    metaAlone.keysyms[7] = {kMetaL};
    ModifierMap altOnMod5 = usualMap();
    altOnMod5.keysyms[3] = {};
    altOnMod5.keysyms[7] = {kAltL};
    const MaskCase cases[] = {
        {"control shift", usualMap(), {M::control, M::shift}, kControl | kShift},
        {"option", usualMap(), {M::option}, kMod1},
        {"function is Super", usualMap(), {M::function}, kMod4},
        {"command shares its bits", usualMap(), {M::control, M::command}, std::nullopt},
        {"command on Hyper's own bit", hyperMap(), {M::command, M::shift}, kMod3 | kShift},
        {"command on Meta's own bit", metaAlone, {M::command}, kMod5},
        {"Alt moved", altOnMod5, {M::option, M::control}, kMod5 | kControl},
        {"no modifier", usualMap(), {}, 0U},
    };
    for (const MaskCase& mask : cases) {
        EXPECT_EQ(ModifierMapping::grabMask(mask.modifiers, mask.map), mask.mask) << mask.name;
    }
}

TEST(ModifierMapping, LockBitsComeFromTheMapAndEveryCombinationIsListed)
{
    EXPECT_EQ(ModifierMapping::lockMask(usualMap()), kLock | kMod2);
    EXPECT_EQ(ModifierMapping::lockMask(hyperMap()), kLock | kMod2 | kMod5);
    EXPECT_EQ(ModifierMapping::lockMask(hyperMap(), kMod5), kLock | kMod2);
    ModifierMap numLockOnMod3 = usualMap();
    numLockOnMod3.keysyms[4] = {};
    numLockOnMod3.keysyms[5] = {kNumLock};
    EXPECT_EQ(ModifierMapping::lockMask(numLockOnMod3), kLock | kMod3);

    EXPECT_THAT(ModifierMapping::lockCombinations(0), ElementsAre(0U));
    EXPECT_THAT(ModifierMapping::lockCombinations(kLock | kMod2), ElementsAre(0U, kLock, kMod2, kLock | kMod2));
    EXPECT_EQ(ModifierMapping::lockCombinations(kLock | kMod2 | kMod5).size(), 8U);
}

TEST(ModifierMapping, HeldModifiersComeFromTheBaseKeysymsOfTheKeysDown)
{
    EXPECT_EQ(ModifierMapping::heldModifiers({kSuperL, kAltR, 'a', kCapsLock, kNumLock}, usualMap()),
              (ChordModifierSet{M::function, M::option}));
    EXPECT_EQ(ModifierMapping::heldModifiers({kControlR, kShiftL}, usualMap()),
              (ChordModifierSet{M::control, M::shift}));
    EXPECT_EQ(ModifierMapping::heldModifiers({kMetaL, kHyperL}, usualMap()), ChordModifierSet{});
    EXPECT_EQ(ModifierMapping::heldModifiers({kHyperR}, hyperMap()), ChordModifierSet{M::command});
}

}  // namespace
}  // namespace korvane
