#pragma once

#include "text/Vocabulary.h"

#include <optional>
#include <string>

namespace korvane {

// The settings the transcriber's initial prompt is built from, read afresh for every transcription
// so that an edit in the vocabulary pane applies to the next recording.
class PromptSettings {
public:
    virtual ~PromptSettings() = default;

    // The user's vocabulary as the settings store currently holds it.
    virtual Vocabulary vocabulary() const = 0;

    // The hand-set "vocabularyPrompt" value (comma- or line-separated terms from older versions);
    // absent when it is not stored.
    virtual std::optional<std::string> legacyVocabularyPrompt() const = 0;
};

}  // namespace korvane
