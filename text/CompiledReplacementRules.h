#pragma once

#include "text/Vocabulary.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <map>
#include <memory>
#include <vector>

namespace korvane {

// Replacement rules turned into one case-insensitive regular expression (the aliases as literal
// alternatives, in rule order, each bounded so that it matches only as a whole word) and the lookup
// from a matched heard form to its replacement. Compiling is the expensive part of applying a
// vocabulary, so a compiled set is immutable and may be shared by threads.
class CompiledReplacementRules {
public:
    explicit CompiledReplacementRules(const std::vector<ReplacementRule>& rules);

    // False when no rule has a usable alias or the expression could not be compiled; apply then
    // leaves every text unchanged.
    bool usable() const { return pattern_ != nullptr; }

    // The text with every match replaced, processed from the last match to the first. Returns the
    // input unchanged when nothing matched.
    icu::UnicodeString apply(const icu::UnicodeString& text) const;

    // The characters that may not directly precede or follow a heard form (letters, numbers,
    // underscore, and what case-insensitive matching adds to them), as a regex character class.
    static icu::UnicodeString wordCharacterClass();

    // The regular expression the rules compile to (for diagnostics and tests).
    const icu::UnicodeString& patternText() const { return patternText_; }

private:
    struct Replacement {
        icu::UnicodeString text;
        // Raw value of the symbol's attachment; 0 for text that is not a symbol.
        int attachment = 0;
    };

    const Replacement* replacementFor(const icu::UnicodeString& matched) const;

    icu::UnicodeString patternText_;
    std::unique_ptr<icu::RegexPattern> pattern_;
    // Lower-cased heard form -> replacement; the first rule for a form wins.
    std::map<icu::UnicodeString, Replacement> byLowercase_;
    // Case-folded heard form -> replacement, for matches the regex found through full case folding
    // that lower-casing does not reproduce (STRASSE for straße).
    std::map<icu::UnicodeString, Replacement> byFolded_;
};

// Escapes text for literal use inside an ICU regular expression.
icu::UnicodeString escapedForRegex(const icu::UnicodeString& literal);

}  // namespace korvane
