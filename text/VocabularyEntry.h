#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane {

// One written form and the forms in which the speech model tends to hear it.
struct VocabularyEntry {
    // The text to write, for example "/" or a product name.
    std::string replacement;
    // The heard forms ("recognised forms" in the settings), in the user's order.
    std::vector<std::string> aliases;

    // The cleaned entry: replacement and aliases trimmed, empty aliases and aliases that repeat an
    // earlier one up to letter case dropped. Nothing when the replacement is blank or no alias is
    // left.
    std::optional<VocabularyEntry> normalized() const;

    // Strings compare as canonical equivalents (precomposed and decomposed accents are equal).
    friend bool operator==(const VocabularyEntry& a, const VocabularyEntry& b);
};

}  // namespace korvane
