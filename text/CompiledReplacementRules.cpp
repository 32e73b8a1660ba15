#include "text/CompiledReplacementRules.h"

#include "text/TranscriptionTextCleaner.h"
#include "text/UnicodeText.h"

#include <cstdio>
#include <utility>

namespace korvane {

namespace {

// A heard form must not continue a word on either side. Written as look-around rather than \b so
// that aliases which begin or end with punctuation (".net", "c++") still match. Only the aliases
// are matched without regard to case: under case-insensitive matching ICU closes every character
// class over case, which for this class adds exactly U+0345 (the combining iota subscript, which
// folds to a letter) and costs more than the rest of the compilation. Spelling that character out
// keeps the class as case-insensitive matching sees it.
constexpr char16_t wordCharacterPattern[] = u"[\\p{L}\\p{N}_\\x{345}]";

struct Match {
    int32_t start;
    int32_t end;
};

}  // namespace

icu::UnicodeString CompiledReplacementRules::wordCharacterClass()
{
    return icu::UnicodeString(wordCharacterPattern);
}

icu::UnicodeString escapedForRegex(const icu::UnicodeString& literal)
{
    // Letters and digits of ASCII stand for themselves; every other ASCII character (syntax,
    // spaces, controls) is written as a hexadecimal escape, which ICU always reads as that one
    // literal character. Characters beyond ASCII have no meaning in ICU's syntax.
    icu::UnicodeString escaped;
    for (int32_t i = 0; i < literal.length();) {
        const UChar32 c = literal.char32At(i);
        i += U16_LENGTH(c);
        const bool asciiAlphanumeric = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        if (c >= 0x80 || asciiAlphanumeric) {
            escaped.append(c);
        } else {
            char hex[12];
            std::snprintf(hex, sizeof hex, "\\x{%02X}", static_cast<unsigned>(c));
            escaped.append(icu::UnicodeString(hex, -1, icu::UnicodeString::kInvariant));
        }
    }
    return escaped;
}

CompiledReplacementRules::CompiledReplacementRules(const std::vector<ReplacementRule>& rules)
{
    const auto& symbols = TranscriptionTextCleaner::symbolAttachment();
    icu::UnicodeString alternatives;
    bool any = false;
    for (const ReplacementRule& rule : rules) {
        // Transcripts and aliases are compared in composed form, so "é" typed as e + U+0301 still
        // matches the recogniser's precomposed "é".
        const icu::UnicodeString alias = unicode_text::composed(unicode_text::fromUtf8(rule.alias));
        if (alias.isEmpty()) {
            // An empty alternative would match between every two words and insert the replacement
            // there; no normalised vocabulary produces one.
            continue;
        }
        if (any) {
            alternatives.append(u'|');
        }
        alternatives.append(escapedForRegex(alias));
        any = true;

        const auto symbol = symbols.find(rule.replacement);
        const Replacement replacement{unicode_text::fromUtf8(rule.replacement),
                                      symbol == symbols.end() ? 0 : symbol->second.rawValue};
        byLowercase_.emplace(unicode_text::caseInsensitiveKey(alias), replacement);
        byFolded_.emplace(unicode_text::caseFoldedKey(alias), replacement);
    }
    if (!any) {
        return;
    }

    patternText_ = icu::UnicodeString(u"(?<!") + wordCharacterPattern + u")(?i:" + alternatives + u")(?!" +
                   wordCharacterPattern + u")";
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(patternText_, 0, parseError, status));
    if (U_SUCCESS(status)) {
        pattern_ = std::move(compiled);
    }
}

const CompiledReplacementRules::Replacement*
CompiledReplacementRules::replacementFor(const icu::UnicodeString& matched) const
{
    if (const auto found = byLowercase_.find(unicode_text::caseInsensitiveKey(matched)); found != byLowercase_.end()) {
        return &found->second;
    }
    if (const auto found = byFolded_.find(unicode_text::caseFoldedKey(matched)); found != byFolded_.end()) {
        return &found->second;
    }
    return nullptr;
}

icu::UnicodeString CompiledReplacementRules::apply(const icu::UnicodeString& text) const
{
    if (pattern_ == nullptr || text.isEmpty()) {
        return text;
    }
    const icu::UnicodeString subject = unicode_text::composed(text);

    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern_->matcher(subject, status));
    if (U_FAILURE(status)) {
        return text;
    }
    std::vector<Match> matches;
    while (matcher->find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher->start(status);
        const int32_t end = matcher->end(status);
        if (U_FAILURE(status)) {
            break;
        }
        matches.push_back(Match{start, end});
    }
    // A matcher that gave up half-way (ICU's backtracking limits) must not leave a half-replaced text.
    if (U_FAILURE(status) || matches.empty()) {
        return text;
    }

    icu::UnicodeString result(subject);
    // Last match first: replacing text after a range never moves the ranges before it.
    for (std::size_t index = matches.size(); index-- > 0;) {
        const Match& match = matches[index];
        const Replacement* replacement =
            replacementFor(icu::UnicodeString(subject, match.start, match.end - match.start));
        if (replacement == nullptr) {
            continue;
        }
        const TranscriptionTextCleaner::Attachment attachment{replacement->attachment};
        int32_t start = match.start;
        int32_t end = match.end;
        if (attachment.contains(TranscriptionTextCleaner::attachesToPrevious)) {
            // Never reach back into the previous match, whose range must stay valid for its turn.
            const int32_t floor = index > 0 ? matches[index - 1].end : 0;
            while (start > floor && result.charAt(start - 1) == u' ') {
                --start;
            }
        }
        if (attachment.contains(TranscriptionTextCleaner::attachesToNext)) {
            while (end < result.length() && result.charAt(end) == u' ') {
                ++end;
            }
        }
        result.replace(start, end - start, replacement->text);
    }
    return result;
}

}  // namespace korvane
