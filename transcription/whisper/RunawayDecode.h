#pragma once

#include <string_view>

namespace korvane {

// How a decode went wrong in the way a too-short encoder window makes it go wrong: the decoder no
// longer finds the end of the speech and keeps writing.
enum class RunawayDecode {
    none,
    tokenLimit,      // it wrote as many tokens as whisper.cpp lets one window have
    repeatedPhrase,  // the text says the same thing over and over
};

// `tokens` counts every token whisper.cpp returned (text, timestamps, end of text); `tokenLimit` is
// its budget for one window. A token count at the limit wins over a repetition.
RunawayDecode runawayDecode(std::string_view text, int tokens, int tokenLimit);

// True when some run of words comes back to back at least three times, or a single word at least
// four times ("no, no, no" stays speech). Words compare without letter case and without the
// punctuation around them, so "Thank you. Thank you, thank you" repeats.
bool repeatsAPhrase(std::string_view text);

// whisper.cpp stops sampling a window after n_text_ctx / 2 - 4 tokens (220 for every Whisper model).
int decoderTokenLimit(int textContext);

}  // namespace korvane
