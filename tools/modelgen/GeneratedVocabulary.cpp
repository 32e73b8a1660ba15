#include "tools/modelgen/GeneratedVocabulary.h"

#include <map>
#include <regex>
#include <stdexcept>

namespace korvane::modelgen {

std::vector<std::string> splitIntoWordPieces(std::string_view text)
{
    // whisper.cpp splits with exactly this pattern (std::regex, ECMAScript); keeping it identical
    // makes every phrase piece come back as one token when the model tokenises the phrase.
    static const std::regex pattern(
        R"('s|'t|'re|'ve|'m|'ll|'d| ?[[:alpha:]]+| ?[[:digit:]]+| ?[^\s[:alpha:][:digit:]]+|\s+(?!\S)|\s+)");
    std::vector<std::string> pieces;
    const std::string subject(text);
    for (auto it = std::sregex_iterator(subject.begin(), subject.end(), pattern); it != std::sregex_iterator(); ++it) {
        if (it->length() > 0) {
            pieces.push_back(it->str());
        }
    }
    return pieces;
}

GeneratedVocabulary buildVocabulary(const ModelRecipe& recipe)
{
    GeneratedVocabulary vocabulary;
    std::map<std::string, int> ids;
    auto add = [&](const std::string& token) {
        const auto [it, inserted] = ids.emplace(token, static_cast<int>(vocabulary.tokens.size()));
        if (inserted) {
            vocabulary.tokens.push_back(token);
        }
        return it->second;
    };

    for (int byte = 0; byte < 256; ++byte) {
        add(std::string(1, static_cast<char>(byte)));
    }
    for (const auto& token : recipe.extraTokens) {
        if (token.empty()) {
            throw std::invalid_argument("an extra token is empty");
        }
        add(token);
    }
    if (recipe.kind == ModelKind::scripted) {
        const auto pieces = splitIntoWordPieces(recipe.phrase);
        if (pieces.empty()) {
            throw std::invalid_argument("the scripted phrase is empty");
        }
        for (const auto& piece : pieces) {
            const int id = add(piece);
            for (const int earlier : vocabulary.phraseIds) {
                if (earlier == id) {
                    throw std::invalid_argument("the scripted phrase repeats the piece '" + piece +
                                                "'; each piece must occur once");
                }
            }
            vocabulary.phraseIds.push_back(id);
        }
    }
    if (static_cast<int>(vocabulary.tokens.size()) >= kTokenEndOfText) {
        throw std::invalid_argument("too many vocabulary tokens");
    }
    return vocabulary;
}

}  // namespace korvane::modelgen
