// SPDX-License-Identifier: MIT
// The vocabulary adapter shared by the transcriber's prompt and the cleaner.
#include "core/settings/SettingsVocabulary.h"
#include "core/settings/AppSettings.h"
#include "core/settings/SettingsStore.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace korvane {
namespace {

Vocabulary spelling(const std::string& alias, const std::string& replacement)
{
    return Vocabulary({VocabularyEntry{replacement, {alias}}});
}

TEST(SettingsVocabulary, CleansWithTheVocabularyThePromptWasBuiltFromThenReadsAfresh)
{
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("korvane-vocabulary-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    AppSettings settings(folder / "settings.json");
    ASSERT_TRUE(settings.setVocabulary(spelling("kube", "Kubernetes")));
    SettingsVocabulary vocabulary(settings);

    // The transcriber reads the vocabulary for its prompt; the user edits it while whisper.cpp
    // decodes; the cleaning of that same dictation still applies the vocabulary of the prompt.
    EXPECT_EQ(vocabulary.vocabulary(), spelling("kube", "Kubernetes"));
    ASSERT_TRUE(settings.setVocabulary(spelling("kube", "kubectl")));
    EXPECT_EQ(vocabulary.clean("kube is up"), "Kubernetes is up");

    // The next dictation's cleaning, with no prompt read before it, sees the edit.
    EXPECT_EQ(vocabulary.clean("kube is up"), "kubectl is up");
    std::filesystem::remove_all(folder);
}

TEST(SettingsVocabulary, TurnsTheAdaptiveEncoderWindowOnOnlyWhileABooleanTrueIsStored)
{
    testing::TempHome home;
    AppSettings settings(home.path() / "settings.json");
    SettingsStore& store = settings.defaults();
    const SettingsVocabulary vocabulary(settings);
    const auto key = "adaptiveEncoderWindow";  // as the README names it

    EXPECT_FALSE(vocabulary.adaptiveEncoderWindow()) << "absent";
    ASSERT_TRUE(store.setBoolean(key, true));
    EXPECT_TRUE(vocabulary.adaptiveEncoderWindow());
    ASSERT_TRUE(store.setBoolean(key, false));
    EXPECT_FALSE(vocabulary.adaptiveEncoderWindow());
    ASSERT_TRUE(store.setString(key, "true"));
    EXPECT_FALSE(vocabulary.adaptiveEncoderWindow()) << "a string";
    ASSERT_TRUE(store.setInteger(key, 1));
    EXPECT_FALSE(vocabulary.adaptiveEncoderWindow()) << "a number";
}

}  // namespace
}  // namespace korvane
