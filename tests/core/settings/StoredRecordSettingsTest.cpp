// SPDX-License-Identifier: MIT
// The shortcut and vocabulary accessors, which keep structured records in the settings document.
#include "base/logging/Logger.h"
#include "core/settings/AppSettings.h"
#include "core/settings/SettingsStore.h"
#include "hotkeys/StoredHotkeyBinding.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/TempHome.h"
#include "text/StoredVocabulary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::readFile;
using testing::StderrCapture;
using testing::TempHome;
using testing::writeFile;
using Json = nlohmann::json;

constexpr ChordModifier kControl = ChordModifier::control;
constexpr ChordModifier kShift = ChordModifier::shift;
constexpr ChordModifier kOption = ChordModifier::option;
constexpr ChordModifier kCommand = ChordModifier::command;
constexpr ChordModifier kFunction = ChordModifier::function;

class StoredRecordSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { Logger::setEnabled(true); }
    void TearDown() override { Logger::setEnabled(false); }

    std::filesystem::path file() const { return home.path() / "conf" / "korvane" / "settings.json"; }
    Json onDisk() const { return Json::parse(readFile(file())); }

    // The messages logged so far, without their time stamps.
    std::vector<std::string> logged() const
    {
        std::vector<std::string> messages;
        std::istringstream in(readFile(Logger::logFilePath()));
        for (std::string line; std::getline(in, line);) {
            messages.push_back(line.size() > 9 ? line.substr(9) : line);
        }
        return messages;
    }

    TempHome home;
    StderrCapture quietStderr;
};

TEST_F(StoredRecordSettingsTest, FreshInstallationMigratesTheDefaultShortcutOnce)
{
    {
        AppSettings settings(file());
        EXPECT_EQ(settings.hotkeyBinding(), HotkeyBinding::fallback());
        EXPECT_FALSE(settings.hasVersionedHotkeyBinding());

        EXPECT_TRUE(settings.migrateHotkeyBindingIfNeeded());
        EXPECT_TRUE(settings.hasVersionedHotkeyBinding());
        EXPECT_EQ(onDisk(), Json::parse(R"({"hotkeyBindingV2":
            "{\"version\":2,\"kind\":\"keyCombo\",\"modifiers\":[\"control\",\"shift\"],\"keyCode\":49}",
            "hotkeyModifiers": ["ctrl", "shift"], "hotkeyKeyCode": 49})"));
        EXPECT_THAT(logged(), ElementsAre("Migrated hotkey binding to versioned storage: ⌃⇧Space"));
    }
    AppSettings nextLaunch(file());
    EXPECT_FALSE(nextLaunch.migrateHotkeyBindingIfNeeded());
    EXPECT_EQ(nextLaunch.hotkeyBinding(), HotkeyBinding::fallback());
    EXPECT_EQ(logged().size(), 1u);
}

TEST_F(StoredRecordSettingsTest, LegacyKeysAreCleanedBeforeConversion)
{
    writeFile(file(), R"({"hotkeyModifiers": ["Command", "OPTION", "cmd", "fn"], "hotkeyKeyCode": 0})");
    EXPECT_EQ(AppSettings(file()).hotkeyBinding(), HotkeyBinding::keyCombo({kOption, kCommand}, 0));

    writeFile(file(), R"({"hotkeyModifiers": ["fn"], "hotkeyKeyCode": 36})");
    EXPECT_EQ(AppSettings(file()).hotkeyBinding(), HotkeyBinding::keyCombo({kControl, kShift}, 36));

    writeFile(file(), R"({"hotkeyModifiers": ["alt"], "hotkeyKeyCode": 70000})");
    EXPECT_EQ(AppSettings(file()).hotkeyBinding(), HotkeyBinding::keyCombo({kOption}, 49));
}

TEST_F(StoredRecordSettingsTest, UnreadableRecordFallsBackToLegacyKeysOnEveryReadAndIsKept)
{
    const std::string document =
        R"({"hotkeyBindingV2": "{\"version\":3,\"kind\":\"keyCombo\",\"modifiers\":[\"control\"],\"keyCode\":1}",
            "hotkeyModifiers": ["alt", "shift"], "hotkeyKeyCode": 12})";
    writeFile(file(), document);
    AppSettings settings(file());

    EXPECT_EQ(settings.hotkeyBinding(), HotkeyBinding::keyCombo({kOption, kShift}, 12));
    EXPECT_EQ(settings.hotkeyBinding(), HotkeyBinding::keyCombo({kOption, kShift}, 12));
    EXPECT_FALSE(settings.hasVersionedHotkeyBinding());
    EXPECT_THAT(logged(), ElementsAre("Stored hotkey binding unreadable -- falling back to legacy keys",
                                      "Stored hotkey binding unreadable -- falling back to legacy keys"));
    EXPECT_EQ(onDisk(), Json::parse(document));
}

TEST_F(StoredRecordSettingsTest, ChordIsStoredWithoutTouchingTheLegacyKeys)
{
    writeFile(file(), R"({"hotkeyModifiers": ["cmd"], "hotkeyKeyCode": 3})");
    AppSettings settings(file());
    const HotkeyBinding chord = HotkeyBinding::modifierChord({kOption, kFunction});

    ASSERT_TRUE(settings.setHotkeyBinding(chord));
    EXPECT_EQ(settings.hotkeyBinding(), chord);
    EXPECT_EQ(onDisk(), Json::parse(R"({"hotkeyModifiers": ["cmd"], "hotkeyKeyCode": 3, "hotkeyBindingV2":
        "{\"version\":2,\"kind\":\"modifierChord\",\"modifiers\":[\"function\",\"option\"]}"})"));

    // A key combination brings the legacy keys back in step.
    ASSERT_TRUE(settings.setHotkeyBinding(HotkeyBinding::keyCombo({kCommand, kShift}, 40)));
    EXPECT_THAT(onDisk()["hotkeyModifiers"], ElementsAre("shift", "cmd"));
    EXPECT_EQ(onDisk()["hotkeyKeyCode"], 40);
}

TEST_F(StoredRecordSettingsTest, InvalidBindingsAreRefusedAndStoreNothing)
{
    AppSettings settings(file());
    ASSERT_TRUE(settings.setHotkeyBinding(HotkeyBinding::keyCombo({kControl}, 2)));
    const std::string before = readFile(file());

    EXPECT_FALSE(settings.setHotkeyBinding(HotkeyBinding::keyCombo({}, 2)));
    EXPECT_FALSE(settings.setHotkeyBinding(HotkeyBinding::keyCombo({kFunction, kControl}, 2)));
    EXPECT_FALSE(settings.setHotkeyBinding(HotkeyBinding::modifierChord({kOption, kShift})));

    EXPECT_EQ(readFile(file()), before);
    EXPECT_EQ(settings.hotkeyBinding(), HotkeyBinding::keyCombo({kControl}, 2));
    EXPECT_THAT(logged(),
                ElementsAre("Refusing to persist invalid hotkey binding", "Refusing to persist invalid hotkey binding",
                            "Refusing to persist invalid hotkey binding"));
}

TEST_F(StoredRecordSettingsTest, VocabularyIsTheStarterListOnlyWhileNothingIsStored)
{
    AppSettings settings(file());
    EXPECT_EQ(settings.vocabulary(), Vocabulary::starter());

    ASSERT_TRUE(settings.setVocabulary(Vocabulary()));
    EXPECT_TRUE(settings.vocabulary().empty());

    const Vocabulary mine{VocabularyEntry{"Korvane", {"corvane", "core vain"}}, VocabularyEntry{"/", {"slash"}}};
    ASSERT_TRUE(settings.setVocabulary(mine));
    EXPECT_EQ(AppSettings(file()).vocabulary(), mine);
    EXPECT_EQ(settings.defaults().data("vocabularyV1"), StoredVocabulary::encode(mine));
    EXPECT_THAT(logged(), ElementsAre("Vocabulary saved: 0 entries", "Vocabulary saved: 2 entries"));
}

TEST_F(StoredRecordSettingsTest, UnreadableVocabularyReadsAsEmptyAndItsBytesStayUntilTheNextSave)
{
    const std::string document = R"({"vocabularyV1": "{\"version\":1,\"entries\":[{\"replacement\":7}]}"})";
    writeFile(file(), document);
    AppSettings settings(file());

    EXPECT_THAT(settings.vocabulary().entries(), IsEmpty());
    EXPECT_THAT(logged(), ElementsAre("Stored vocabulary unreadable -- treating as empty"));
    EXPECT_EQ(onDisk(), Json::parse(document));
}

}  // namespace
}  // namespace korvane
