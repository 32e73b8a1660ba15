#include "ui/logic/VocabularySummary.h"

#include <vector>

namespace korvane {

VocabularySummary VocabularySummary::of(const Vocabulary& vocabulary, const TokenCounter& tokenCount)
{
    const std::vector<std::string> terms = vocabulary.promptTerms();
    const int total = static_cast<int>(terms.size());
    if (total == 0) {
        return VocabularySummary{"No user spellings yet.", Tone::plain, false};
    }

    bool unavailable = false;
    // A text that cannot be counted counts as no tokens, so fitting goes on to the end without the
    // counter; the line then only says how many spellings there are.
    const Vocabulary::FittedPrompt fitted =
        Vocabulary::fitPrompt(terms, kPromptTokenLimit, [&](const std::string& candidate) {
            if (unavailable) {
                return 0;
            }
            const std::optional<int> count = tokenCount ? tokenCount(candidate) : std::nullopt;
            if (!count) {
                unavailable = true;
                return 0;
            }
            return *count;
        });

    const std::string countPhrase = total == 1 ? "1 user spelling" : std::to_string(total) + " user spellings";
    const std::string limit = std::to_string(kPromptTokenLimit);
    if (unavailable) {
        return VocabularySummary{countPhrase + " provided. Token use shows once a model loads.", Tone::plain, true};
    }
    if (fitted.usedTerms < total) {
        return VocabularySummary{"Only " + std::to_string(fitted.usedTerms) + " of " + std::to_string(total) +
                                     " user spellings fit in " + limit + " tokens.",
                                 Tone::warning, false};
    }
    return VocabularySummary{countPhrase + " provided, using " + std::to_string(fitted.tokenCount) + " of " + limit +
                                 " tokens.",
                             Tone::plain, false};
}

VocabularySummary VocabularySummary::unsaved()
{
    return VocabularySummary{
        "Your latest changes could not be saved. They stay here and are saved with your next change.", Tone::warning,
        false};
}

}  // namespace korvane
