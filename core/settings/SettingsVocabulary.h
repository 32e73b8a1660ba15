#pragma once

#include "core/settings/AppSettings.h"
#include "text/TranscriptCleaning.h"
#include "transcription/whisper/PromptSettings.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The user's vocabulary as the settings store holds it, serving both halves of a dictation: the
// transcriber's initial prompt and the cleaning of its output. The stored vocabulary is read once
// per dictation, when the transcriber builds the prompt; the cleaning that follows applies that same
// read, so an edit made while whisper.cpp decodes cannot bias the prompt one way and rewrite the
// text another. A clean() with no read before it (the recogniser returned nothing, or another
// recogniser is in use) reads the store itself. It also passes on the transcriber's encoder window
// choice. The settings must outlive this object.
class SettingsVocabulary final : public PromptSettings, public TranscriptCleaning {
public:
    // Set by hand in the settings document; Korvane never writes it.
    static constexpr std::string_view kAdaptiveEncoderWindowKey = "adaptiveEncoderWindow";

    explicit SettingsVocabulary(const AppSettings& settings) : settings_(settings) {}

    // PromptSettings: reads the stored vocabulary and keeps it for the clean() that follows.
    Vocabulary vocabulary() const override;
    std::optional<std::string> legacyVocabularyPrompt() const override;
    // "adaptiveEncoderWindow": false unless a boolean true is stored.
    bool adaptiveEncoderWindow() const override;

    // TranscriptCleaning: cleans with the vocabulary the prompt was built from.
    std::string clean(const std::string& rawTranscript) override;

private:
    const AppSettings& settings_;
    mutable std::mutex mutex_;
    mutable std::optional<Vocabulary> readForPrompt_;
};

}  // namespace korvane
