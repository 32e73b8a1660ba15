#include "text/TranscriptionTextCleaner.h"

#include "text/CompiledReplacementRules.h"
#include "text/UnicodeText.h"

#include <unicode/regex.h>
#include <unicode/uchar.h>

#include <list>
#include <memory>
#include <mutex>

namespace korvane::TranscriptionTextCleaner {

namespace {

std::unique_ptr<icu::RegexPattern> compilePattern(const icu::UnicodeString& pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(pattern, 0, parseError, status));
    return U_SUCCESS(status) ? std::move(compiled) : nullptr;
}

// Replaces every match of a fixed pattern. The patterns are constants, compiled once; a compiled
// pattern is safe to share between threads, each call making its own matcher.
icu::UnicodeString replacingMatches(const icu::RegexPattern* pattern, const icu::UnicodeString& text,
                                    const icu::UnicodeString& replacement)
{
    if (pattern == nullptr) {
        return text;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(text, status));
    if (U_FAILURE(status)) {
        return text;
    }
    icu::UnicodeString result = matcher->replaceAll(replacement, status);
    return U_SUCCESS(status) ? result : text;
}

icu::UnicodeString strippedArtifacts(const icu::UnicodeString& text)
{
    static const std::unique_ptr<icu::RegexPattern> artifacts =
        compilePattern(unicode_text::fromUtf8(artifactPattern()));
    static const std::unique_ptr<icu::RegexPattern> spaceRuns = compilePattern(u"[ \\t]{2,}");

    const icu::UnicodeString withoutTags = replacingMatches(artifacts.get(), text, icu::UnicodeString());
    return unicode_text::trimmed(replacingMatches(spaceRuns.get(), withoutTags, u" "));
}

// Recompiling a vocabulary of a couple of hundred aliases costs far more than cleaning a
// transcript, and the vocabulary rarely changes between dictations: keep the few most recently
// used compiled sets (more than one, so that callers with different lists do not evict each other).
class CompiledRulesCache {
public:
    std::shared_ptr<const CompiledReplacementRules> compiledFor(const std::vector<ReplacementRule>& rules)
    {
        {
            const std::lock_guard lock(mutex_);
            for (auto slot = slots_.begin(); slot != slots_.end(); ++slot) {
                if (slot->rules == rules) {
                    slots_.splice(slots_.begin(), slots_, slot);
                    return slots_.front().compiled;
                }
            }
        }
        // Compile outside the lock so that threads whose rules are cached never wait for it.
        auto fresh = std::make_shared<const CompiledReplacementRules>(rules);
        const std::lock_guard lock(mutex_);
        slots_.push_front(Slot{rules, fresh});
        if (slots_.size() > capacity) {
            slots_.pop_back();
        }
        return fresh;
    }

private:
    static constexpr std::size_t capacity = 4;
    struct Slot {
        std::vector<ReplacementRule> rules;
        std::shared_ptr<const CompiledReplacementRules> compiled;
    };
    std::mutex mutex_;
    std::list<Slot> slots_;
};

icu::UnicodeString appliedVocabulary(const icu::UnicodeString& text, const std::vector<ReplacementRule>& rules)
{
    if (rules.empty() || text.isEmpty()) {
        return text;
    }
    static CompiledRulesCache cache;
    return cache.compiledFor(rules)->apply(text);
}

// Removes everything but letters, digits and spaces, collapses runs of white space and trims spaces.
icu::UnicodeString simplifiedPiece(const icu::UnicodeString& piece)
{
    icu::UnicodeString simplified;
    bool pendingSpace = false;
    for (int32_t i = 0; i < piece.length();) {
        const UChar32 c = piece.char32At(i);
        i += U16_LENGTH(c);
        if (c == u' ') {
            pendingSpace = !simplified.isEmpty();
            continue;
        }
        if ((U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_N_MASK)) == 0) {
            continue;
        }
        if (pendingSpace) {
            simplified.append(u' ');
            pendingSpace = false;
        }
        simplified.append(c);
    }
    return simplified;
}

bool isPieceSeparator(char16_t unit)
{
    switch (unit) {
    case u'.':
    case u'!':
    case u'?':
    case u',':
    case u';':
    case u':':
    case u'\u2026':
    case u'\n':
        return true;
    default:
        return false;
    }
}

}  // namespace

std::string stripArtifacts(std::string_view text)
{
    return unicode_text::toUtf8(strippedArtifacts(unicode_text::fromUtf8(text)));
}

bool isLikelySilenceHallucination(std::string_view text, bool includingSingleWords)
{
    const icu::UnicodeString lower = unicode_text::lowercased(strippedArtifacts(unicode_text::fromUtf8(text)));

    // A credit line is a hallucination wherever it appears, so look before splitting into pieces.
    for (const std::string& marker : creditMarkers()) {
        if (lower.indexOf(unicode_text::fromUtf8(marker)) >= 0) {
            return true;
        }
    }

    std::vector<std::string> pieces;
    int32_t pieceStart = 0;
    for (int32_t i = 0; i <= lower.length(); ++i) {
        if (i < lower.length() && !isPieceSeparator(lower.charAt(i))) {
            continue;
        }
        const icu::UnicodeString piece = simplifiedPiece(icu::UnicodeString(lower, pieceStart, i - pieceStart));
        if (!piece.isEmpty()) {
            pieces.push_back(unicode_text::toUtf8(piece));
        }
        pieceStart = i + 1;
    }

    if (pieces.empty()) {
        return true;
    }
    if (pieces.size() == 1 && pieces.front().find(' ') == std::string::npos && !includingSingleWords) {
        return false;
    }
    const std::set<std::string>& phrases = silenceHallucinations();
    for (const std::string& piece : pieces) {
        if (phrases.count(piece) == 0) {
            return false;
        }
    }
    return true;
}

std::string applyVocabulary(std::string_view text, const std::vector<ReplacementRule>& rules)
{
    if (rules.empty() || text.empty()) {
        return std::string(text);
    }
    const icu::UnicodeString unicodeText = unicode_text::fromUtf8(text);
    const icu::UnicodeString result = appliedVocabulary(unicodeText, rules);
    // Hand back the caller's bytes untouched when no rule applied.
    if (result == unicodeText) {
        return std::string(text);
    }
    return unicode_text::toUtf8(result);
}

std::string clean(std::string_view text, const Vocabulary& vocabulary)
{
    const icu::UnicodeString stripped = strippedArtifacts(unicode_text::fromUtf8(text));
    if (!unicode_text::containsAlphanumeric(stripped)) {
        return std::string();
    }
    return unicode_text::toUtf8(appliedVocabulary(stripped, vocabulary.replacementRules()));
}

}  // namespace korvane::TranscriptionTextCleaner
