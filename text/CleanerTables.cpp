#include "text/TranscriptionTextCleaner.h"

namespace korvane::TranscriptionTextCleaner {

const std::string& artifactWords()
{
    static const std::string words = [] {
        // The tags the recogniser writes for non-speech sounds. Each must be followed by optional
        // space and a closing bracket, so a word that merely starts with one ("musical") is kept.
        const char* const fragments[] = {
            "blank[_ ]?audio",  "music",    "applause",      "laughter",
            "laughing",         "noise",    "silence",       "inaudible",
            "coughing",         "cough",    "typing",        "clicking",
            "beeping",          "beep",     "static",        "pause",
            "breathing",        "sighs?",   "clears throat", "speaking in foreign language",
            "foreign language", "no audio", "audio out",
        };
        std::string joined;
        for (const char* fragment : fragments) {
            if (!joined.empty()) {
                joined += '|';
            }
            joined += fragment;
        }
        return joined;
    }();
    return words;
}

const std::string& artifactPattern()
{
    static const std::string pattern = "(?i)[\\[(]\\s*(?:" + artifactWords() + ")\\s*[\\])]|\u266A+";
    return pattern;
}

const std::vector<std::string>& creditMarkers()
{
    // amara.org is the volunteer subtitling community whose credit line ("Subtitles by the
    // Amara.org community") the model reproduces on silent audio.
    static const std::vector<std::string> markers = {
        "subtitles by", "subtitled by", "subtitles:", "amara.org", "transcription by", "transcribed by", "castingwords",
    };
    return markers;
}

const std::set<std::string>& silenceHallucinations()
{
    static const std::set<std::string> phrases = {
        "thank you",
        "thanks",
        "thank you very much",
        "thanks for watching",
        "thank you for watching",
        "thanks for listening",
        "please subscribe",
        "subscribe to the channel",
        "please subscribe to the channel",
        "subscribe to my channel",
        "like and subscribe",
        "you",
        "bye",
        "so",
        "okay",
        "ok",
        "the",
        "yeah",
        "hmm",
        "mm",
    };
    return phrases;
}

const std::map<std::string, Attachment>& symbolAttachment()
{
    static const std::map<std::string, Attachment> table = [] {
        const Attachment both = attachesToPrevious | attachesToNext;
        return std::map<std::string, Attachment>{
            {"/", both},
            {"\\", both},
            {"-", both},
            {"\u2014", both},
            {"\u2013", both},
            {"@", both},
            {"(", attachesToNext},
            {"[", attachesToNext},
            {"{", attachesToNext},
            {"$", attachesToNext},
            {"#", attachesToNext},
            {")", attachesToPrevious},
            {"]", attachesToPrevious},
            {"}", attachesToPrevious},
            {"?", attachesToPrevious},
            {"!", attachesToPrevious},
            {";", attachesToPrevious},
            {"%", attachesToPrevious},
            {"\u00B0", attachesToPrevious},
        };
    }();
    return table;
}

}  // namespace korvane::TranscriptionTextCleaner
