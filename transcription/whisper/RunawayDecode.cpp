#include "transcription/whisper/RunawayDecode.h"

#include "text/UnicodeText.h"

#include <cstddef>
#include <string>
#include <vector>

namespace korvane {
namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isAsciiPunctuation(char c)
{
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
}

// The words of `text`, lower case, without the punctuation around them; pure punctuation is no word.
std::vector<std::string> comparableWords(std::string_view text)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isAsciiSpace(text[at])) {
            ++at;
        }
        std::size_t end = at;
        while (end < text.size() && !isAsciiSpace(text[end])) {
            ++end;
        }
        std::string_view word = text.substr(at, end - at);
        while (!word.empty() && isAsciiPunctuation(word.front())) {
            word.remove_prefix(1);
        }
        while (!word.empty() && isAsciiPunctuation(word.back())) {
            word.remove_suffix(1);
        }
        if (!word.empty()) {
            words.push_back(unicode_text::toUtf8(unicode_text::lowercased(unicode_text::fromUtf8(word))));
        }
        at = end;
    }
    return words;
}

// A word said twice or three times in a row is ordinary speech; a phrase said three times is not.
std::size_t repeatsNeeded(std::size_t phraseWords)
{
    return phraseWords == 1 ? 4 : 3;
}

}  // namespace

RunawayDecode runawayDecode(std::string_view text, int tokens, int tokenLimit)
{
    if (tokens >= tokenLimit) {
        return RunawayDecode::tokenLimit;
    }
    return repeatsAPhrase(text) ? RunawayDecode::repeatedPhrase : RunawayDecode::none;
}

bool repeatsAPhrase(std::string_view text)
{
    const std::vector<std::string> words = comparableWords(text);
    // A phrase of n words said r times in a row is a stretch where every word equals the one n
    // places further on, (r - 1) * n words long.
    for (std::size_t n = 1; n * repeatsNeeded(n) <= words.size(); ++n) {
        const std::size_t needed = (repeatsNeeded(n) - 1) * n;
        std::size_t run = 0;
        for (std::size_t i = 0; i + n < words.size(); ++i) {
            run = words[i] == words[i + n] ? run + 1 : 0;
            if (run >= needed) {
                return true;
            }
        }
    }
    return false;
}

int decoderTokenLimit(int textContext)
{
    return textContext / 2 - 4;
}

}  // namespace korvane
