#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace korvane::testing {

// Spoken English made by espeak-ng, as a sound file to play into a test sink and as the 16 kHz mono
// samples a recording of it should contain.
struct SpeechClip {
    std::filesystem::path soundFile;  // float WAV at the requested rate and channel count
    std::vector<float> reference;     // the speech alone, resampled (by sox) to 16 kHz mono
    double seconds = 0.0;             // length of the sound file, trailing silence included

    // Writes the clip into `directory`. `trailingSilence` seconds of silence follow the speech in the
    // sound file (not in the reference), so what was said has passed every buffer when play() returns.
    static SpeechClip make(const std::filesystem::path& directory, const std::string& name, const std::string& text,
                           unsigned rate, unsigned channels, double trailingSilence = 0.3);
};

// Where `reference` sits best inside `recording` and how well it matches there.
struct SignalMatch {
    std::size_t offset = 0;    // in samples of the recording
    double correlation = 0.0;  // normalised: 1 is a perfect match (up to scale), 0 none
};

// Normalised cross-correlation of `reference` against every position of `recording` (coarse search on
// decimated signals, then refined at full rate). Correlation 0 when the recording is too short.
SignalMatch findSignal(const std::vector<float>& recording, const std::vector<float>& reference);

}  // namespace korvane::testing
