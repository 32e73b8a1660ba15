// SPDX-License-Identifier: MIT
// Cleans arbitrary text with replacement rules taken from the same input. The input is split at
// NUL bytes: the first part is the transcript, then alternating heard forms and replacements. The
// rules go both through a vocabulary (as in a dictation) and raw to applyVocabulary (empty or
// untrimmed aliases included). Nothing may crash or trip a sanitizer, and the results must keep the
// promises the cleaner makes. Any breach aborts.

#include "text/TranscriptionTextCleaner.h"
#include "text/UnicodeText.h"
#include "text/Vocabulary.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

std::vector<std::string> splitAtNul(std::string_view bytes)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = bytes.find('\0', start);
        parts.emplace_back(bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool isTrimmed(const std::string& text)
{
    const icu::UnicodeString unicode = korvane::unicode_text::fromUtf8(text);
    return korvane::unicode_text::trimmed(unicode) == unicode;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    namespace cleaner = korvane::TranscriptionTextCleaner;
    const std::vector<std::string> parts = splitAtNul(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string& text = parts.front();

    std::vector<korvane::ReplacementRule> rawRules;
    std::vector<korvane::VocabularyEntry> entries;
    for (std::size_t i = 1; i + 1 < parts.size(); i += 2) {
        rawRules.push_back(korvane::ReplacementRule{parts[i], parts[i + 1]});
        entries.push_back(korvane::VocabularyEntry{parts[i + 1], {parts[i]}});
    }
    const korvane::Vocabulary vocabulary(entries);

    const std::string stripped = cleaner::stripArtifacts(text);
    require(isTrimmed(stripped));
    require(stripped.find("  ") == std::string::npos);

    const std::string cleaned = cleaner::clean(text, vocabulary);
    const bool hasContent = korvane::unicode_text::containsAlphanumeric(korvane::unicode_text::fromUtf8(stripped));
    require(hasContent || cleaned.empty());
    require(cleaned == (hasContent ? cleaner::applyVocabulary(stripped, vocabulary.replacementRules()) : ""));

    cleaner::applyVocabulary(text, rawRules);
    require(cleaner::applyVocabulary(text, {}) == text);

    // Single words only ever add hallucinations, never remove them.
    const bool strict = cleaner::isLikelySilenceHallucination(text, false);
    const bool lenient = cleaner::isLikelySilenceHallucination(text, true);
    require(!strict || lenient);
    return 0;
}
