#pragma once

#include "core/ports/TranscriptCleaning.h"
#include "core/settings/AppSettings.h"
#include "text/TranscriptionTextCleaner.h"

namespace korvane {

// Cleans a raw transcript with the vocabulary the settings hold at that moment, so an edit in the
// vocabulary applies to the very next dictation.
class VocabularyCleaner final : public TranscriptCleaning {
public:
    explicit VocabularyCleaner(const AppSettings& settings) : settings_(settings) {}

    std::string clean(const std::string& rawTranscript) override
    {
        return TranscriptionTextCleaner::clean(rawTranscript, settings_.vocabulary());
    }

private:
    const AppSettings& settings_;
};

}  // namespace korvane
