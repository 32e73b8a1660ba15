#pragma once

#include "text/Vocabulary.h"

#include <string>
#include <vector>

namespace korvane {

// The two columns of the vocabulary table.
enum class VocabularyColumn { aliases, replacement };

// One row of the vocabulary table: an entry as the user edits it. A row may be blank or incomplete
// (forms without a replacement); such a row is no entry and is never stored.
struct VocabularyRow {
    // The recognised forms, separated by commas, as the user typed them.
    std::string aliases;
    // The text to write.
    std::string replacement;

    const std::string& field(VocabularyColumn column) const
    {
        return column == VocabularyColumn::aliases ? aliases : replacement;
    }
    std::string& field(VocabularyColumn column) { return column == VocabularyColumn::aliases ? aliases : replacement; }

    // One row per entry, in order, the aliases joined by ", ".
    static std::vector<VocabularyRow> rows(const Vocabulary& vocabulary);

    // The vocabulary the rows stand for: the forms split at every comma, then the whole list
    // normalised, so surrounding white space goes, rows without a usable replacement or form
    // disappear and a form repeated within a row (in any letter case) is kept once.
    static Vocabulary vocabulary(const std::vector<VocabularyRow>& rows);

    friend bool operator==(const VocabularyRow&, const VocabularyRow&) = default;
};

}  // namespace korvane
