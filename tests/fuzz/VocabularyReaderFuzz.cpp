// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the stored vocabulary reader. The reader must either refuse them or give
// a normalised vocabulary that writes, reads back to the same value, and writes to the same bytes
// again. The derived rules and prompt terms must keep their own guarantees. Any breach aborts.

#include "text/StoredVocabulary.h"
#include "text/UnicodeText.h"
#include "text/Vocabulary.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void checkVocabulary(const korvane::Vocabulary& vocabulary)
{
    for (const korvane::VocabularyEntry& entry : vocabulary.entries()) {
        const auto normalized = entry.normalized();
        require(normalized.has_value() && *normalized == entry);
        require(!entry.replacement.empty() && !entry.aliases.empty());
    }

    korvane::unicode_text::StringSet heardForms;
    for (const korvane::ReplacementRule& rule : vocabulary.replacementRules()) {
        require(!rule.alias.empty() && !rule.replacement.empty());
        require(
            heardForms.insert(korvane::unicode_text::caseInsensitiveKey(korvane::unicode_text::fromUtf8(rule.alias)))
                .second);
    }
    for (const std::string& term : vocabulary.promptTerms()) {
        require(korvane::unicode_text::containsLetterOrNumber(korvane::unicode_text::fromUtf8(term)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto vocabulary = korvane::StoredVocabulary::decode(bytes);
    if (!vocabulary) {
        return 0;
    }
    checkVocabulary(*vocabulary);

    const auto written = korvane::StoredVocabulary::encode(*vocabulary);
    require(written.has_value());
    const auto reread = korvane::StoredVocabulary::decode(*written);
    require(reread.has_value() && *reread == *vocabulary);
    require(korvane::StoredVocabulary::encode(*reread) == written);

    // Merging a list into itself adds nothing.
    require(vocabulary->adding(*vocabulary) == *vocabulary);
    return 0;
}
