#include "hotkeys/HotkeyBinding.h"
#include "hotkeys/HotkeyValidationMessages.h"
#include "hotkeys/KeyCodeNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

using M = ChordModifier;
using Names = std::vector<std::string>;

TEST(HotkeyBinding, FallbackIsControlShiftSpace)
{
    const HotkeyBinding& fallback = HotkeyBinding::fallback();
    EXPECT_EQ(fallback, HotkeyBinding::keyCombo({M::shift, M::control}, 49));
    EXPECT_EQ(fallback.displayText(), "⌃⇧Space");
    EXPECT_TRUE(fallback.isValid());
    EXPECT_EQ(&fallback, &HotkeyBinding::fallback());
}

TEST(HotkeyBinding, EqualityComparesKindModifiersAndKeyCode)
{
    EXPECT_EQ(HotkeyBinding::keyCombo({M::option}, 0), HotkeyBinding::keyCombo({M::option}, 0));
    EXPECT_NE(HotkeyBinding::keyCombo({M::option}, 0), HotkeyBinding::keyCombo({M::option}, 1));
    EXPECT_NE(HotkeyBinding::keyCombo({M::option}, 0), HotkeyBinding::keyCombo({M::shift}, 0));
    EXPECT_NE(HotkeyBinding::keyCombo({M::function, M::option}, 0),
              HotkeyBinding::modifierChord({M::function, M::option}));
    EXPECT_EQ(HotkeyBinding::modifierChord({M::option, M::function}).keyCode(), std::nullopt);
}

struct ValidityCase {
    HotkeyBinding binding;
    bool valid;
};

TEST(HotkeyBinding, ValidityRule)
{
    const ValidityCase cases[] = {
        {HotkeyBinding::keyCombo({M::control}, 0), true},
        {HotkeyBinding::keyCombo({M::control, M::option, M::shift, M::command}, 122), true},
        {HotkeyBinding::keyCombo({}, 49), false},
        {HotkeyBinding::keyCombo({M::function}, 49), false},
        {HotkeyBinding::keyCombo({M::function, M::control}, 49), false},
        {HotkeyBinding::modifierChord({M::function, M::option}), true},
        {HotkeyBinding::modifierChord({M::function, M::control, M::option, M::shift, M::command}), true},
        {HotkeyBinding::modifierChord({M::function}), false},
        {HotkeyBinding::modifierChord({M::option, M::shift}), false},
        {HotkeyBinding::modifierChord({}), false},
    };
    for (const auto& [binding, valid] : cases) {
        EXPECT_EQ(binding.isValid(), valid) << binding.displayText();
    }
}

struct DisplayCase {
    HotkeyBinding binding;
    const char* text;
};

TEST(HotkeyBinding, DisplayTextIsGlyphsInCanonicalOrderThenKeyName)
{
    const DisplayCase cases[] = {
        {HotkeyBinding::modifierChord({M::option, M::function}), "🌐⌥"},
        {HotkeyBinding::keyCombo({M::command, M::option}, 52), "⌥⌘Key52"},
        {HotkeyBinding::keyCombo({M::command, M::shift}, 21), "⇧⌘4"},
        {HotkeyBinding::keyCombo({M::control}, 42), "⌃\\"},
        {HotkeyBinding::keyCombo({M::control}, 65535), "⌃Key65535"},
        {HotkeyBinding::keyCombo({M::control}, 200), "⌃Key200"},
        // Invalid bindings are still shown, so that a refusal can say what was refused.
        {HotkeyBinding::keyCombo({}, 53), "Escape"},
        {HotkeyBinding::modifierChord({M::command, M::shift, M::control, M::option, M::function}), "🌐⌃⌥⇧⌘"},
    };
    for (const auto& [binding, text] : cases) {
        EXPECT_EQ(binding.displayText(), text);
    }
}

TEST(HotkeyBinding, CarbonMaskOnlyForKeyCombinationsWithoutFunction)
{
    EXPECT_EQ(HotkeyBinding::fallback().carbonModifierMask(), 0x1200U);
    EXPECT_EQ(HotkeyBinding::keyCombo({M::option, M::command}, 0).carbonModifierMask(), 0x0900U);
    EXPECT_EQ(HotkeyBinding::keyCombo({M::option, M::command}, 117).carbonModifierMask(), 0x0900U);
    EXPECT_EQ(HotkeyBinding::keyCombo({M::control, M::option, M::shift, M::command}, 1).carbonModifierMask(), 0x1B00U);
    EXPECT_EQ(HotkeyBinding::keyCombo({}, 1).carbonModifierMask(), 0U);
    EXPECT_EQ(HotkeyBinding::keyCombo({M::function, M::shift}, 1).carbonModifierMask(), std::nullopt);
    EXPECT_EQ(HotkeyBinding::modifierChord({M::function, M::shift}).carbonModifierMask(), std::nullopt);
}

struct MigrationCase {
    Names legacyModifiers;
    std::uint16_t keyCode;
    HotkeyBinding expected;
};

TEST(HotkeyBinding, MigratingLegacySettings)
{
    const MigrationCase cases[] = {
        {{"fn"}, 49, HotkeyBinding::fallback()},
        {{"fn"}, 0, HotkeyBinding::fallback()},  // the key code goes with the fallback too
        {{}, 12, HotkeyBinding::fallback()},
        {{"ctrl", "hyper", "alt"}, 0, HotkeyBinding::keyCombo({M::control, M::option}, 0)},
        {{"Command", "OPTION", "cmd", "fn"}, 9, HotkeyBinding::keyCombo({M::command, M::option}, 9)},
        {{"globe", "shift"}, 65535, HotkeyBinding::keyCombo({M::shift}, 65535)},
        {{"ctrl", "shift"}, 52, HotkeyBinding::keyCombo({M::control, M::shift}, 52)},
    };
    for (const auto& [legacyModifiers, keyCode, expected] : cases) {
        const HotkeyBinding migrated = HotkeyBinding::migrating(legacyModifiers, keyCode);
        EXPECT_EQ(migrated, expected) << migrated.displayText() << " instead of " << expected.displayText();
        EXPECT_TRUE(migrated.isValid());
    }
    EXPECT_EQ(HotkeyBinding::migrating({"ctrl", "hyper", "alt"}, 0).displayText(), "⌃⌥A");
}

TEST(KeyCodeNames, HoldsSeventySevenNamedKeys)
{
    std::size_t named = 0;
    for (std::uint32_t code = 0; code <= 0xFFFF; ++code) {
        named += KeyCodeNames::entry(static_cast<std::uint16_t>(code)).has_value() ? 1 : 0;
    }
    EXPECT_EQ(named, 77U);
}

TEST(KeyCodeNames, NamesAndStandIns)
{
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0, "A"},      {10, "Section"}, {22, "6"},      {23, "5"},       {36, "Return"},         {42, "\\"},
        {49, "Space"}, {50, "`"},       {51, "Delete"}, {53, "Escape"},  {117, "ForwardDelete"}, {122, "F1"},
        {126, "Up"},   {52, "Key52"},   {65, "Key65"},  {106, "Key106"}, {127, "Key127"},        {65535, "Key65535"},
    };
    for (const auto& [code, name] : cases) {
        EXPECT_EQ(KeyCodeNames::name(code), name) << code;
    }
}

TEST(HotkeyValidationMessages, EachSituationHasItsTextAndTone)
{
    using S = HotkeyRecordingSituation;
    EXPECT_EQ(validationMessage(S::keyWithoutModifier).text, "Add at least one modifier key.");
    EXPECT_EQ(validationMessage(S::keyWithFunction).text,
              "Super cannot be combined with a regular key. Use Super with another modifier instead.");
    EXPECT_EQ(validationMessage(S::chordWithoutFunction).text,
              "A modifier-only shortcut must include Super, such as Alt+Super. Without it, the shortcut would also "
              "fire inside ordinary shortcuts like Ctrl+Alt+T.");
    EXPECT_EQ(validationMessage(S::validChordCandidate).text,
              "Note: Super is the logo key. Some desktops keep Super combinations for themselves, and then the "
              "shortcut cannot fire. Test it before relying on it.");
    EXPECT_EQ(validationMessage(S::validKeyComboCandidate).text, "");

    EXPECT_EQ(validationMessage(S::validChordCandidate).tone, HotkeyMessageTone::note);
    for (S situation :
         {S::keyWithoutModifier, S::keyWithFunction, S::chordWithoutFunction, S::validKeyComboCandidate}) {
        EXPECT_EQ(validationMessage(situation).tone, HotkeyMessageTone::error);
    }
}

}  // namespace
}  // namespace korvane
