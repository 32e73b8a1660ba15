#pragma once

#include "text/Vocabulary.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// Post-processing of raw recogniser output: bracketed sound tags and music signs removed, the
// stock phrases the model produces on silence recognised, and the user's vocabulary applied with
// symbol-aware spacing. Pure functions, callable from any thread; the tables below are built once,
// on first use, and never change.
namespace korvane::TranscriptionTextCleaner {

// How a symbol written by a replacement joins its neighbours: an option set over the raw value.
struct Attachment {
    int rawValue = 0;

    constexpr bool contains(Attachment option) const { return (rawValue & option.rawValue) == option.rawValue; }
    friend constexpr Attachment operator|(Attachment a, Attachment b) { return Attachment{a.rawValue | b.rawValue}; }
    friend constexpr bool operator==(Attachment, Attachment) = default;
};
// The symbol joins the text before it: spaces before it are removed.
inline constexpr Attachment attachesToPrevious{1};
// The symbol joins the text after it: spaces after it are removed.
inline constexpr Attachment attachesToNext{2};

// The sound-tag words, as regular-expression fragments joined with "|".
const std::string& artifactWords();
// A sound tag in square brackets or parentheses (either kind on either side, any letter case,
// optional inner spaces), or a run of music signs.
const std::string& artifactPattern();
// Lower-case substrings that mark a subtitle credit line the model copied from its training data.
const std::vector<std::string>& creditMarkers();
// Lower-case phrases the model tends to produce when given silence.
const std::set<std::string>& silenceHallucinations();
// Replacement texts that are symbols, with how each joins its neighbours.
const std::map<std::string, Attachment>& symbolAttachment();

// The transcript to deliver: artifacts stripped, then the vocabulary applied; "" when nothing
// but artifacts, punctuation and white space remains.
std::string clean(std::string_view text, const Vocabulary& vocabulary);

// The text without sound tags and music signs, runs of spaces and tabs collapsed to one space,
// white space and line breaks trimmed at both ends.
std::string stripArtifacts(std::string_view text);

// Whether the text looks like what the model writes for silence: empty after stripping, a subtitle
// credit, or nothing but stock phrases. A lone single word ("Okay.") counts only when
// includingSingleWords is set, because people do dictate single words.
bool isLikelySilenceHallucination(std::string_view text, bool includingSingleWords);

// Replaces every whole-word occurrence of a rule's alias (any letter case, matched literally) by
// its replacement, trying the rules in their order at each position. Symbols from the attachment
// table pull in the spaces on the sides they attach to. Rules with an empty alias are ignored.
std::string applyVocabulary(std::string_view text, const std::vector<ReplacementRule>& rules);

}  // namespace korvane::TranscriptionTextCleaner
