#pragma once

#include "text/Vocabulary.h"

#include <optional>
#include <string>

namespace korvane {

// The settings the transcriber reads afresh for every transcription (its initial prompt and its
// encoder window), so that an edit applies to the next recording.
class PromptSettings {
public:
    virtual ~PromptSettings() = default;

    // The user's vocabulary as the settings store currently holds it.
    virtual Vocabulary vocabulary() const = 0;

    // The hand-set "vocabularyPrompt" value (comma- or line-separated terms from older versions);
    // absent when it is not stored.
    virtual std::optional<std::string> legacyVocabularyPrompt() const = 0;

    // Whether a short recording is encoded in a window just longer than itself instead of the
    // standard 30 s one (see EncoderWindow.h). Off unless the settings turn it on.
    virtual bool adaptiveEncoderWindow() const { return false; }
};

}  // namespace korvane
