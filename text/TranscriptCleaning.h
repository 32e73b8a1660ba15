#pragma once

#include <string>

namespace korvane {

// Turns raw recogniser output into the text to deliver, using the user's current vocabulary
// (read afresh on every call). Called on a background thread. An empty result means "no speech".
class TranscriptCleaning {
public:
    virtual ~TranscriptCleaning() = default;
    virtual std::string clean(const std::string& rawTranscript) = 0;
};

}  // namespace korvane
