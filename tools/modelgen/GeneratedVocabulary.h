#pragma once

#include "tools/modelgen/ModelRecipe.h"

#include <string>
#include <string_view>
#include <vector>

namespace korvane::modelgen {

// Token ids of an English-only Whisper model (n_vocab 51864): the text tokens come first, then the
// special tokens at fixed places, then 1,501 timestamp tokens. Ids between the vocabulary written
// to the file and the end-of-text token are filled in by whisper.cpp's loader.
inline constexpr int kEnglishVocabularySize = 51864;
inline constexpr int kTokenEndOfText = 50256;
inline constexpr int kTokenStartOfTranscript = 50257;
inline constexpr int kTokenNoTimestamps = 50362;

struct GeneratedVocabulary {
    // The text tokens written to the file, by id: the 256 single bytes first, then the extra
    // tokens and the phrase pieces in order of first appearance, each once.
    std::vector<std::string> tokens;
    // The ids a scripted model decodes, in order (empty for the other kinds).
    std::vector<int> phraseIds;
};

// The word pieces whisper.cpp's tokenizer cuts a text into before matching tokens (its own
// pre-tokenisation pattern), so that a phrase piece added as a token is matched whole.
std::vector<std::string> splitIntoWordPieces(std::string_view text);

// Builds the vocabulary of a recipe. Throws std::invalid_argument when a scripted phrase is empty or
// repeats a piece (a token's successor would be ambiguous).
GeneratedVocabulary buildVocabulary(const ModelRecipe& recipe);

}  // namespace korvane::modelgen
