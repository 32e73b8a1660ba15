#pragma once

#include "text/Vocabulary.h"
#include "text/VocabularyEntry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// The vocabulary's stored form, a versioned JSON document:
//   {"version":1,"entries":[{"replacement":"/","aliases":["forward slash"]}]}
struct StoredVocabulary {
    static constexpr std::int64_t currentVersion = 1;

    std::int64_t version = currentVersion;
    std::vector<VocabularyEntry> entries;

    // Compact JSON of version 1 with the vocabulary's entries as they stand, "version" before
    // "entries" and "replacement" before "aliases". Nothing when a string is not valid UTF-8.
    static std::optional<std::string> encode(const Vocabulary& vocabulary);

    // Reads a stored document. Every key ("version", "entries", "replacement", "aliases") is
    // required with its type (integer, array of objects, string, array of strings; 1.0 counts as
    // the integer 1, 1.5 as no integer); extra keys are
    // ignored. Any syntax error, missing key or wrong type, or a version above 1, rejects the whole
    // document (nothing, never a partial list). Accepted entries are normalised.
    static std::optional<Vocabulary> decode(std::string_view bytes);

    friend bool operator==(const StoredVocabulary&, const StoredVocabulary&) = default;
};

}  // namespace korvane
