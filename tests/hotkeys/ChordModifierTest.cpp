#include "hotkeys/ChordModifierSet.h"
#include "hotkeys/LegacyModifierNames.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using Names = std::vector<std::string>;

TEST(ChordModifierSet, ListsAndSymbolsFollowCanonicalOrderWhateverTheInsertionOrder)
{
    ChordModifierSet modifiers;
    modifiers.insert(ChordModifier::command);
    modifiers.insert(ChordModifier::shift);
    modifiers.insert(ChordModifier::function);

    EXPECT_EQ(modifiers.symbolString(), "🌐⇧⌘");
    EXPECT_THAT(modifiers.sortedRawValues(), ElementsAre("function", "shift", "command"));
    EXPECT_THAT(modifiers.sortedLegacyValues(), ElementsAre("shift", "cmd"));
    EXPECT_EQ((ChordModifierSet{ChordModifier::command, ChordModifier::control}).symbolString(), "⌃⌘");
    EXPECT_EQ(ChordModifierSet{}.symbolString(), "");
    EXPECT_TRUE(ChordModifierSet{}.sortedRawValues().empty());
}

TEST(ChordModifierSet, IsASetNotAList)
{
    ChordModifierSet modifiers{ChordModifier::option, ChordModifier::option, ChordModifier::control};
    EXPECT_EQ(modifiers.size(), 2U);
    EXPECT_EQ(modifiers, (ChordModifierSet{ChordModifier::control, ChordModifier::option}));
    modifiers.erase(ChordModifier::option);
    modifiers.erase(ChordModifier::function);  // not a member: no effect
    EXPECT_EQ(modifiers, ChordModifierSet{ChordModifier::control});
    modifiers.erase(ChordModifier::control);
    EXPECT_TRUE(modifiers.empty());
}

TEST(ChordModifier, RawValuesMatchExactlyAndRoundTrip)
{
    for (ChordModifier modifier : kAllChordModifiers) {
        EXPECT_EQ(chordModifierFromRawValue(rawValue(modifier)), modifier) << rawValue(modifier);
    }
    for (const char* text : {"Control", "SHIFT", "ctrl", "fn", " option", "command ", ""}) {
        EXPECT_EQ(chordModifierFromRawValue(text), std::nullopt) << text;
    }
}

struct LegacyNameCase {
    const char* text;
    std::optional<ChordModifier> expected;
};

TEST(ChordModifier, ReadsLegacyNamesIgnoringLetterCase)
{
    const LegacyNameCase cases[] = {
        {"ctrl", ChordModifier::control},
        {"Control", ChordModifier::control},
        {"SHIFT", ChordModifier::shift},
        {"alt", ChordModifier::option},
        {"Option", ChordModifier::option},
        {"CMD", ChordModifier::command},
        {"command", ChordModifier::command},
        {"fn", ChordModifier::function},
        {"Function", ChordModifier::function},
        {"Globe", ChordModifier::function},
        {"super", std::nullopt},
        {"meta", std::nullopt},
        {"", std::nullopt},
        {"ctrl ", std::nullopt},
        {"\xff\xfe", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(chordModifierFromLegacy(text), expected) << text;
    }
}

TEST(LegacyModifierNames, SanitisingKeepsKnownNamesInOrderWithoutRepeats)
{
    // fn is dropped: the old settings could only describe key combinations, which never use it.
    EXPECT_THAT(sanitizeLegacyModifierNames(Names{"Command", "OPTION", "cmd", "fn"}), ElementsAre("cmd", "alt"));
    EXPECT_THAT(sanitizeLegacyModifierNames(Names{"shift", "Control", "ctrl", "Alt"}),
                ElementsAre("shift", "ctrl", "alt"));
}

TEST(LegacyModifierNames, SanitisingNothingUsableGivesTheDefaultModifiers)
{
    EXPECT_THAT(sanitizeLegacyModifierNames(Names{"fn"}), ElementsAre("ctrl", "shift"));
    EXPECT_THAT(sanitizeLegacyModifierNames(Names{}), ElementsAre("ctrl", "shift"));
    EXPECT_THAT(sanitizeLegacyModifierNames(Names{"globe", "hyper", ""}), ElementsAre("ctrl", "shift"));
}

TEST(LegacyModifierNames, LowerCasingIsTheFullUnicodeMapping)
{
    EXPECT_EQ(lowercasedModifierName("ÉCLAIR Ärger"), "éclair ärger");
    // Dotted capital I lower-cases to i plus a combining dot whatever the system locale, so it
    // never passes for a plain i.
    EXPECT_EQ(lowercasedModifierName("\u0130"), "i\u0307");
    EXPECT_EQ(chordModifierFromLegacy("SH\u0130FT"), std::nullopt);
}

}  // namespace
}  // namespace korvane
