#pragma once

#include "core/settings/AppSettings.h"
#include "transcription/whisper/PromptSettings.h"

namespace korvane {

// The prompt settings as the settings store holds them: the stored vocabulary (with its starter
// and unreadable-value rules) and the hand-set "vocabularyPrompt". The settings must outlive this.
class AppSettingsPromptSettings final : public PromptSettings {
public:
    explicit AppSettingsPromptSettings(const AppSettings& settings) : settings_(settings) {}

    Vocabulary vocabulary() const override { return settings_.vocabulary(); }
    std::optional<std::string> legacyVocabularyPrompt() const override { return settings_.vocabularyPrompt(); }

private:
    const AppSettings& settings_;
};

}  // namespace korvane
