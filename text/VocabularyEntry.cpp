#include "text/VocabularyEntry.h"

#include "text/UnicodeText.h"

#include <algorithm>

namespace korvane {

std::optional<VocabularyEntry> VocabularyEntry::normalized() const
{
    const icu::UnicodeString trimmedReplacement = unicode_text::trimmed(unicode_text::fromUtf8(replacement));
    if (trimmedReplacement.isEmpty()) {
        return std::nullopt;
    }

    VocabularyEntry result;
    result.replacement = unicode_text::toUtf8(trimmedReplacement);
    unicode_text::StringSet seen;
    for (const std::string& alias : aliases) {
        const icu::UnicodeString trimmedAlias = unicode_text::trimmed(unicode_text::fromUtf8(alias));
        if (trimmedAlias.isEmpty()) {
            continue;
        }
        if (!seen.insert(unicode_text::caseInsensitiveKey(trimmedAlias)).second) {
            continue;
        }
        result.aliases.push_back(unicode_text::toUtf8(trimmedAlias));
    }
    if (result.aliases.empty()) {
        return std::nullopt;
    }
    return result;
}

bool operator==(const VocabularyEntry& a, const VocabularyEntry& b)
{
    return unicode_text::canonicallyEqualUtf8(a.replacement, b.replacement) &&
           std::equal(
               a.aliases.begin(), a.aliases.end(), b.aliases.begin(), b.aliases.end(),
               [](const std::string& x, const std::string& y) { return unicode_text::canonicallyEqualUtf8(x, y); });
}

}  // namespace korvane
