#include "hotkeys/StoredHotkeyBinding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

using M = ChordModifier;

// Decodes the text and asks the record for its binding, as the settings store does.
std::optional<HotkeyBinding> read(std::string_view json)
{
    const auto record = StoredHotkeyBinding::decode(json);
    return record ? record->binding() : std::nullopt;
}

std::vector<ChordModifierSet> everyModifierSet()
{
    std::vector<ChordModifierSet> sets;
    for (unsigned mask = 0; mask < (1U << kAllChordModifiers.size()); ++mask) {
        ChordModifierSet set;
        for (std::size_t i = 0; i < kAllChordModifiers.size(); ++i) {
            if ((mask & (1U << i)) != 0) {
                set.insert(kAllChordModifiers[i]);
            }
        }
        sets.push_back(set);
    }
    return sets;
}

TEST(StoredHotkeyBinding, EncodesCompactJsonInDeclarationOrder)
{
    EXPECT_EQ(StoredHotkeyBinding::encode(HotkeyBinding::fallback()),
              R"({"version":2,"kind":"keyCombo","modifiers":["control","shift"],"keyCode":49})");
    EXPECT_EQ(StoredHotkeyBinding::encode(HotkeyBinding::modifierChord({M::option, M::function})),
              R"({"version":2,"kind":"modifierChord","modifiers":["function","option"]})");
    EXPECT_EQ(StoredHotkeyBinding::encode(HotkeyBinding::keyCombo({M::command}, 65535)),
              R"({"version":2,"kind":"keyCombo","modifiers":["command"],"keyCode":65535})");
}

TEST(StoredHotkeyBinding, EveryValidBindingRoundTrips)
{
    int validCount = 0;
    for (const ChordModifierSet& set : everyModifierSet()) {
        for (const HotkeyBinding& binding : {HotkeyBinding::modifierChord(set), HotkeyBinding::keyCombo(set, 0),
                                             HotkeyBinding::keyCombo(set, 117), HotkeyBinding::keyCombo(set, 65535)}) {
            const auto json = StoredHotkeyBinding::encode(binding);
            ASSERT_TRUE(json.has_value()) << binding.displayText();
            const auto decoded = StoredHotkeyBinding::decode(*json);
            ASSERT_TRUE(decoded.has_value()) << *json;
            EXPECT_EQ(decoded->toJson(), *json);
            if (binding.isValid()) {
                ++validCount;
                EXPECT_EQ(decoded->binding(), binding) << *json;
            } else {
                // The same rule guards reading: what may not be stored is not read back either.
                EXPECT_EQ(decoded->binding(), std::nullopt) << *json;
            }
        }
    }
    // 15 key-combination modifier sets times 3 key codes, and 15 chords with fn plus others.
    EXPECT_EQ(validCount, 15 * 3 + 15);
}

TEST(StoredHotkeyBinding, AcceptsMembersInAnyOrderAndIgnoresExtras)
{
    const HotkeyBinding expected = HotkeyBinding::keyCombo({M::control, M::shift}, 49);
    for (const char* json : {
             R"({"keyCode":49,"modifiers":["shift","control"],"kind":"keyCombo","version":2})",
             R"({"modifiers":["control","shift"],"version":2,"keyCode":49,"kind":"keyCombo"})",
             R"( { "kind" : "keyCombo", "keyCode" : 49, "version" : 2, "modifiers" : [ "control", "shift" ] } )",
             R"({"version":2,"kind":"keyCombo","modifiers":["control","shift","control"],"keyCode":49})",
             R"({"version":2,"kind":"keyCombo","modifiers":["control","shift"],"keyCode":49,"mode":"hold","x":{}})",
             R"({"version":2.0,"kind":"keyCombo","modifiers":["control","shift"],"keyCode":49.0})",
         }) {
        EXPECT_EQ(read(json), expected) << json;
    }
}

TEST(StoredHotkeyBinding, OlderVersionsAreReadWithCurrentRules)
{
    for (const char* version : {"1", "0", "-1", "-9223372036854775808"}) {
        const std::string json =
            std::string(R"({"version":)") + version + R"(,"kind":"modifierChord","modifiers":["option","function"]})";
        EXPECT_EQ(read(json), HotkeyBinding::modifierChord({M::function, M::option})) << json;
    }
}

TEST(StoredHotkeyBinding, ChordsIgnoreAnyKeyCode)
{
    EXPECT_EQ(read(R"({"version":2,"kind":"modifierChord","modifiers":["function","shift"],"keyCode":70000})"),
              HotkeyBinding::modifierChord({M::function, M::shift}));
    EXPECT_EQ(read(R"({"version":2,"kind":"modifierChord","modifiers":["function","shift"],"keyCode":null})"),
              HotkeyBinding::modifierChord({M::function, M::shift}));
}

// Well-formed records that this version refuses, one per acceptance rule.
TEST(StoredHotkeyBinding, RejectsRecordsThatBreakTheRules)
{
    for (const char* json : {
             // a newer version, however valid the rest
             R"({"version":3,"kind":"keyCombo","modifiers":["control","shift"],"keyCode":49})",
             // modifier names match case-sensitively, all of them
             R"({"version":2,"kind":"keyCombo","modifiers":["control","Control"],"keyCode":49})",
             R"({"version":2,"kind":"modifierChord","modifiers":["function","option","globe"]})",
             // chords need fn and at least one other modifier
             R"({"version":2,"kind":"modifierChord","modifiers":["function"]})",
             R"({"version":2,"kind":"modifierChord","modifiers":["function","function"]})",
             R"({"version":2,"kind":"modifierChord","modifiers":["option","shift"]})",
             R"({"version":2,"kind":"modifierChord","modifiers":[]})",
             // key combinations need a key code in range, a modifier, and no fn
             R"({"version":2,"kind":"keyCombo","modifiers":["control"]})",
             R"({"version":2,"kind":"keyCombo","modifiers":["control"],"keyCode":null})",
             R"({"version":2,"kind":"keyCombo","modifiers":["control"],"keyCode":65536})",
             R"({"version":2,"kind":"keyCombo","modifiers":["control"],"keyCode":-1})",
             R"({"version":2,"kind":"keyCombo","modifiers":["function","control"],"keyCode":49})",
             R"({"version":2,"kind":"keyCombo","modifiers":[],"keyCode":49})",
         }) {
        const auto record = StoredHotkeyBinding::decode(json);
        ASSERT_TRUE(record.has_value()) << "should decode: " << json;
        EXPECT_EQ(record->binding(), std::nullopt) << json;
    }
}

// Documents that do not have the record's shape at all.
TEST(StoredHotkeyBinding, DecodingErrorsGiveNothing)
{
    for (const char* json : {
             "",
             "null",
             "[]",
             R"("keyCombo")",
             "{",
             "{}",
             R"({"version":2,"kind":"keyCombo","modifiers":["control"],"keyCode":49} trailing)",
             // a required member missing
             R"({"kind":"keyCombo","modifiers":["control"],"keyCode":49})",
             R"({"version":2,"modifiers":["control"],"keyCode":49})",
             R"({"version":2,"kind":"keyCombo","keyCode":49})",
             // wrong types
             R"({"version":"2","kind":"keyCombo","modifiers":["control"],"keyCode":49})",
             R"({"version":2.5,"kind":"keyCombo","modifiers":["control"],"keyCode":49})",
             R"({"version":true,"kind":"keyCombo","modifiers":["control"],"keyCode":49})",
             R"({"version":null,"kind":"keyCombo","modifiers":["control"],"keyCode":49})",
             R"({"version":1e300,"kind":"keyCombo","modifiers":["control"],"keyCode":49})",
             R"({"version":18446744073709551615,"kind":"keyCombo","modifiers":["control"],"keyCode":49})",
             R"({"version":2,"kind":1,"modifiers":["control"],"keyCode":49})",
             R"({"version":2,"kind":"keyCombo","modifiers":"control","keyCode":49})",
             R"({"version":2,"kind":"keyCombo","modifiers":["control",null],"keyCode":49})",
             R"({"version":2,"kind":"keyCombo","modifiers":[["control"]],"keyCode":49})",
             R"({"version":2,"kind":"keyCombo","modifiers":["control"],"keyCode":"49"})",
             R"({"version":2,"kind":"modifierChord","modifiers":["function","option"],"keyCode":"none"})",
             // a kind that is neither name
             R"({"version":2,"kind":"KeyCombo","modifiers":["control"],"keyCode":49})",
             R"({"version":2,"kind":"chord","modifiers":["function","option"]})",
             // not UTF-8
             "{\"version\":2,\"kind\":\"keyCombo\",\"modifiers\":[\"control\xff\"],\"keyCode\":49}",
         }) {
        EXPECT_EQ(StoredHotkeyBinding::decode(json), std::nullopt) << json;
    }
}

TEST(StoredHotkeyBinding, DecodedRecordKeepsWhatWasStored)
{
    const auto record =
        StoredHotkeyBinding::decode(R"({"modifiers":["shift","Shift"],"keyCode":70000,"kind":"keyCombo","version":7})");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->version, 7);
    EXPECT_EQ(record->kind, StoredHotkeyBinding::Kind::keyCombo);
    EXPECT_THAT(record->modifiers, ::testing::ElementsAre("shift", "Shift"));
    EXPECT_EQ(record->keyCode, 70000);
}

}  // namespace
}  // namespace korvane
