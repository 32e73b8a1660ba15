#include "text/Vocabulary.h"

#include "text/UnicodeText.h"

#include <algorithm>
#include <cstddef>
#include <numeric>

namespace korvane {

Vocabulary::Vocabulary(const std::vector<VocabularyEntry>& entries) : entries_(normalize(entries))
{
}

Vocabulary::Vocabulary(std::initializer_list<VocabularyEntry> entries)
    : entries_(normalize(std::vector<VocabularyEntry>(entries)))
{
}

std::vector<VocabularyEntry> Vocabulary::normalize(const std::vector<VocabularyEntry>& entries)
{
    std::vector<VocabularyEntry> result;
    result.reserve(entries.size());
    for (const VocabularyEntry& entry : entries) {
        if (std::optional<VocabularyEntry> cleaned = entry.normalized()) {
            result.push_back(std::move(*cleaned));
        }
    }
    return result;
}

std::vector<ReplacementRule> Vocabulary::replacementRules() const
{
    struct Candidate {
        ReplacementRule rule;
        std::size_t length;
        icu::UnicodeString composedAlias;
    };

    std::vector<Candidate> candidates;
    unicode_text::StringSet claimed;
    for (const VocabularyEntry& entry : entries_) {
        for (const std::string& alias : entry.aliases) {
            const icu::UnicodeString unicodeAlias = unicode_text::fromUtf8(alias);
            if (!claimed.insert(unicode_text::caseInsensitiveKey(unicodeAlias)).second) {
                continue;
            }
            candidates.push_back(Candidate{ReplacementRule{alias, entry.replacement},
                                           unicode_text::graphemeCount(unicodeAlias),
                                           unicode_text::composed(unicodeAlias)});
        }
    }

    // Longest alias first so that a longer heard form is tried before any shorter one it contains;
    // equal lengths in code point order of the composed forms, which keeps the order stable from
    // one run to the next whatever order the user typed them in. Sorting positions rather than
    // candidates keeps the strings where they are.
    std::vector<std::size_t> order(candidates.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
        const Candidate& a = candidates[left];
        const Candidate& b = candidates[right];
        if (a.length != b.length) {
            return a.length > b.length;
        }
        return a.composedAlias.compareCodePointOrder(b.composedAlias) < 0;
    });

    std::vector<ReplacementRule> rules;
    rules.reserve(candidates.size());
    for (const std::size_t index : order) {
        rules.push_back(std::move(candidates[index].rule));
    }
    return rules;
}

std::vector<std::string> Vocabulary::promptTerms() const
{
    std::vector<std::string> terms;
    unicode_text::StringSet kept;
    for (const VocabularyEntry& entry : entries_) {
        const icu::UnicodeString replacement = unicode_text::fromUtf8(entry.replacement);
        if (!unicode_text::containsLetterOrNumber(replacement)) {
            continue;
        }
        if (kept.insert(unicode_text::caseInsensitiveKey(replacement)).second) {
            terms.push_back(entry.replacement);
        }
    }
    return terms;
}

Vocabulary Vocabulary::adding(const Vocabulary& other) const
{
    unicode_text::StringSet taken;
    for (const VocabularyEntry& entry : entries_) {
        for (const std::string& alias : entry.aliases) {
            taken.insert(unicode_text::caseInsensitiveKey(unicode_text::fromUtf8(alias)));
        }
    }

    std::vector<VocabularyEntry> merged = entries_;
    for (const VocabularyEntry& incoming : other.entries_) {
        std::vector<std::string> newAliases;
        for (const std::string& alias : incoming.aliases) {
            if (taken.insert(unicode_text::caseInsensitiveKey(unicode_text::fromUtf8(alias))).second) {
                newAliases.push_back(alias);
            }
        }
        if (newAliases.empty()) {
            continue;
        }
        const auto sameReplacement = std::find_if(merged.begin(), merged.end(), [&](const VocabularyEntry& entry) {
            return unicode_text::canonicallyEqualUtf8(entry.replacement, incoming.replacement);
        });
        if (sameReplacement != merged.end()) {
            sameReplacement->aliases.insert(sameReplacement->aliases.end(), newAliases.begin(), newAliases.end());
        } else {
            merged.push_back(VocabularyEntry{incoming.replacement, std::move(newAliases)});
        }
    }
    return Vocabulary(merged);
}

Vocabulary::FittedPrompt Vocabulary::fitPrompt(const std::vector<std::string>& terms, int tokenLimit,
                                               const TokenCounter& tokenCount)
{
    FittedPrompt fitted;
    fitted.totalTerms = static_cast<int>(terms.size());

    std::string joined;
    for (std::size_t k = 0; k < terms.size(); ++k) {
        if (k > 0) {
            joined += ", ";
        }
        joined += terms[k];
        std::string candidate = joined + ".";
        const int count = tokenCount(candidate);
        if (count > tokenLimit) {
            break;
        }
        fitted.prompt = std::move(candidate);
        fitted.usedTerms = static_cast<int>(k + 1);
        fitted.tokenCount = count;
    }
    return fitted;
}

}  // namespace korvane
