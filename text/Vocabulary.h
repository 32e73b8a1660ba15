#pragma once

#include "text/VocabularyEntry.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace korvane {

// A heard form and the text that replaces it in transcripts.
struct ReplacementRule {
    std::string alias;
    std::string replacement;

    friend bool operator==(const ReplacementRule&, const ReplacementRule&) = default;
};

// The user's list of custom spellings. A value: every way of building one normalises the entries,
// so each entry has a non-empty trimmed replacement and at least one alias, and no entry carries
// two aliases that differ only in letter case. All operations are pure and callable from any thread.
class Vocabulary {
public:
    // The outcome of fitting prompt terms into the model's prompt budget.
    struct FittedPrompt {
        // The used terms joined by ", " with a final "."; empty when no term is used.
        std::string prompt;
        // How many terms (a prefix of those given) the prompt holds.
        int usedTerms = 0;
        // How many terms were given.
        int totalTerms = 0;
        // The counter's token count of prompt; 0 when no term is used.
        int tokenCount = 0;

        friend bool operator==(const FittedPrompt&, const FittedPrompt&) = default;
    };

    // Maps a text to its token count. How a failed count is reported is the caller's choice: a
    // count above the limit stops the fitting there.
    using TokenCounter = std::function<int(const std::string& text)>;

    // The empty vocabulary.
    Vocabulary() = default;
    explicit Vocabulary(const std::vector<VocabularyEntry>& entries);
    explicit Vocabulary(std::initializer_list<VocabularyEntry> entries);

    const std::vector<VocabularyEntry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }

    // The cleaned entries in their order; entries that normalise to nothing are left out.
    static std::vector<VocabularyEntry> normalize(const std::vector<VocabularyEntry>& entries);

    // The rules for the transcript cleaner in the order they must be tried: the first entry that
    // claims a heard form (in any letter case) keeps it; longer aliases come before shorter ones so
    // that "open square bracket" wins over "open bracket".
    std::vector<ReplacementRule> replacementRules() const;

    // The written forms that contain a letter or a number, first spelling of each kept, for the
    // model's initial prompt.
    std::vector<std::string> promptTerms() const;

    // This vocabulary with the other's entries merged in. Existing entries are never removed,
    // reordered or remapped: a heard form already in use here is not taken from the other list;
    // new heard forms join the first entry with exactly the same replacement, or a new entry.
    Vocabulary adding(const Vocabulary& other) const;

    // The built-in list of spoken symbol names: a fresh installation's vocabulary.
    static const Vocabulary& starter();

    // The longest prefix of terms whose prompt text ("a, b, c.") the counter puts at or under
    // tokenLimit. Every candidate prefix is counted afresh; the first that does not fit ends the
    // scan. The counter is not called when there are no terms.
    static FittedPrompt fitPrompt(const std::vector<std::string>& terms, int tokenLimit,
                                  const TokenCounter& tokenCount);

    friend bool operator==(const Vocabulary&, const Vocabulary&) = default;

private:
    std::vector<VocabularyEntry> entries_;
};

}  // namespace korvane
