#pragma once

#include <unicode/unistr.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

// Small ICU helpers shared by the vocabulary and the transcript cleaner. Text crosses Korvane's
// APIs as UTF-8; inside, the text code works on ICU's UTF-16 strings so that regular-expression
// match ranges, case mapping and normalisation all speak the same units.
namespace korvane::unicode_text {

struct StringHash {
    std::size_t operator()(const icu::UnicodeString& text) const { return static_cast<std::size_t>(text.hashCode()); }
};
// A set of exact strings (code unit equality); callers insert normalised keys.
using StringSet = std::unordered_set<icu::UnicodeString, StringHash>;

// Invalid UTF-8 sequences become U+FFFD, so every later step sees well-formed text.
icu::UnicodeString fromUtf8(std::string_view utf8);
std::string toUtf8(const icu::UnicodeString& text);

// True for the characters Unicode calls White_Space: spaces of every width, tabs, line and
// paragraph separators, and the line-break controls.
bool isWhitespaceOrNewline(UChar32 c);

// Removes white space and line breaks from both ends.
icu::UnicodeString trimmed(const icu::UnicodeString& text);

// The locale-independent full lower-case mapping of the whole string (no Turkish dotless-i rules).
icu::UnicodeString lowercased(const icu::UnicodeString& text);

// Canonical composition (NFC). Strings that are canonically equivalent give identical results.
icu::UnicodeString composed(const icu::UnicodeString& text);

// The form under which two strings count as "the same up to letter case": lower-cased, then
// composed, so that precomposed and decomposed accents agree.
icu::UnicodeString caseInsensitiveKey(const icu::UnicodeString& text);

// Same as caseInsensitiveKey, with full case folding instead of lower-casing (ß and ss agree).
icu::UnicodeString caseFoldedKey(const icu::UnicodeString& text);

// Equality of canonical equivalents: "é" precomposed equals "e" followed by U+0301.
bool canonicallyEqual(const icu::UnicodeString& a, const icu::UnicodeString& b);
bool canonicallyEqualUtf8(std::string_view a, std::string_view b);

// Whether some character is a letter (L*) or a number (N*) of any script.
bool containsLetterOrNumber(const icu::UnicodeString& text);

// Whether some character is a letter, a mark or a number of any script.
bool containsAlphanumeric(const icu::UnicodeString& text);

// Number of user-perceived characters (extended grapheme clusters).
std::size_t graphemeCount(const icu::UnicodeString& text);

}  // namespace korvane::unicode_text
