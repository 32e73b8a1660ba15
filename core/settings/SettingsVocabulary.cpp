#include "core/settings/SettingsVocabulary.h"
#include "core/settings/SettingsStore.h"

#include "text/TranscriptionTextCleaner.h"

#include <utility>

namespace korvane {

Vocabulary SettingsVocabulary::vocabulary() const
{
    Vocabulary vocabulary = settings_.vocabulary();
    const std::lock_guard lock(mutex_);
    readForPrompt_ = vocabulary;
    return vocabulary;
}

std::optional<std::string> SettingsVocabulary::legacyVocabularyPrompt() const
{
    return settings_.vocabularyPrompt();
}

bool SettingsVocabulary::adaptiveEncoderWindow() const
{
    return settings_.defaults().boolean(kAdaptiveEncoderWindowKey).value_or(false);
}

std::string SettingsVocabulary::clean(const std::string& rawTranscript)
{
    std::optional<Vocabulary> vocabulary;
    {
        const std::lock_guard lock(mutex_);
        vocabulary = std::exchange(readForPrompt_, std::nullopt);
    }
    if (!vocabulary) {
        vocabulary = settings_.vocabulary();
    }
    return TranscriptionTextCleaner::clean(rawTranscript, *vocabulary);
}

}  // namespace korvane
