#pragma once

#include "text/Vocabulary.h"

#include <functional>
#include <optional>
#include <string>

namespace korvane {

// The line under the vocabulary table: how many of the user's own spellings reach the model's
// prompt.
struct VocabularySummary {
    // Counts the tokens of a text with the loaded model; nothing when no count can be made now (no
    // model loaded, or the transcriber busy). Must answer at once: the table calls it on the
    // interface thread after every edit.
    using TokenCounter = std::function<std::optional<int>(const std::string& text)>;

    // The transcriber's prompt budget, which the line measures against.
    static constexpr int kPromptTokenLimit = 224;

    enum class Tone {
        // The secondary label colour.
        plain,
        // Orange: not every spelling fits, or the changes were not saved.
        warning,
    };

    std::string text;
    Tone tone = Tone::plain;
    // The counter could not count (at least one text): the line says token use shows later, and a
    // new count is worth trying once a model is loaded or the transcriber is free again.
    bool countUnavailable = false;

    // The summary for `vocabulary`. Its prompt terms are fitted into kPromptTokenLimit tokens with
    // `tokenCount`; once a count fails, no further text is handed to the counter (the answer no
    // longer depends on it).
    static VocabularySummary of(const Vocabulary& vocabulary, const TokenCounter& tokenCount);

    // The line shown while edits could not be saved.
    static VocabularySummary unsaved();

    friend bool operator==(const VocabularySummary&, const VocabularySummary&) = default;
};

}  // namespace korvane
