#pragma once

#include "text/Vocabulary.h"
#include "ui/logic/VocabularyRow.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

// Readable failure messages for the vocabulary tests: entries as {"replacement": "alias" ...}.
namespace korvane {

inline void PrintTo(const VocabularyRow& row, std::ostream* out)
{
    *out << "{\"" << row.aliases << "\" -> \"" << row.replacement << "\"}";
}

inline void PrintTo(const VocabularyEntry& entry, std::ostream* out)
{
    *out << "{\"" << entry.replacement << "\":";
    for (const std::string& alias : entry.aliases) {
        *out << " \"" << alias << "\"";
    }
    *out << "}";
}

inline void PrintTo(const Vocabulary& vocabulary, std::ostream* out)
{
    *out << "Vocabulary" << ::testing::PrintToString(vocabulary.entries());
}

}  // namespace korvane
