#include "ui/logic/VocabularyRow.h"

#include <cstddef>

namespace korvane {

namespace {

// The pieces between commas, empty ones dropped. Nothing is trimmed here: normalisation does that
// for the whole list, with the same Unicode rules as every other way into a vocabulary.
std::vector<std::string> splitAtCommas(const std::string& text)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            comma = text.size();
        }
        if (comma > start) {
            pieces.push_back(text.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return pieces;
}

}  // namespace

std::vector<VocabularyRow> VocabularyRow::rows(const Vocabulary& vocabulary)
{
    std::vector<VocabularyRow> rows;
    rows.reserve(vocabulary.entries().size());
    for (const VocabularyEntry& entry : vocabulary.entries()) {
        VocabularyRow row;
        for (const std::string& alias : entry.aliases) {
            if (!row.aliases.empty()) {
                row.aliases += ", ";
            }
            row.aliases += alias;
        }
        row.replacement = entry.replacement;
        rows.push_back(std::move(row));
    }
    return rows;
}

Vocabulary VocabularyRow::vocabulary(const std::vector<VocabularyRow>& rows)
{
    std::vector<VocabularyEntry> entries;
    entries.reserve(rows.size());
    for (const VocabularyRow& row : rows) {
        entries.push_back(VocabularyEntry{row.replacement, splitAtCommas(row.aliases)});
    }
    return Vocabulary(entries);
}

}  // namespace korvane
