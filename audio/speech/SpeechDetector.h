#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

// Decides from the samples alone, before any recognition, whether a recording holds speech, how long
// its longest stretch of speech is and where the speech ends. An energy detector: a high-pass filter
// against hum and rumble, 10 ms frame levels, an adaptive noise floor, a threshold, and run-length
// analysis that bridges short gaps. Stateless; every function is pure and callable from any thread.
namespace korvane::SpeechDetector {

// The defaults are the values the transcriber uses.
struct Configuration {
    int frameLength = 160;              // samples per analysis frame (10 ms at 16 kHz)
    float highPassCutoffHz = 80.0f;     // cutoff of the high-pass filter
    double noisePercentile = 0.1;       // percentile of frame levels taken as the noise floor
    float minimumFrameLevel = 0.0001f;  // quieter frames are left out of the noise-floor estimate
    float noiseMultiplier = 2.0f;       // threshold = noise floor x this ...
    float minimumThreshold = 0.0005f;   // ... but never below this
    float loudFrameLevel = 0.02f;       // a frame at or above this level is speech whatever the threshold
    int minimumSpeechRun = 9;           // longest run (frames) needed to call the recording speech
    int allowedGap = 1;                 // non-speech frames tolerated inside a run
    int speechEndMinimumRun = 3;        // run length a stretch must reach to count for the speech end
};

struct Analysis {
    bool hasSpeech = false;   // longestRun >= minimumSpeechRun
    float noiseFloor = 0.0f;  // estimated noise floor (frame RMS)
    int longestRun = 0;       // longest speech run in frames, gap frames not counted
    // Sample index just after the last speech frame of a run of at least speechEndMinimumRun frames;
    // absent without speech or when no run got that long.
    std::optional<std::size_t> speechEndSample;
};

// Runs the whole analysis on 16 kHz mono samples and logs one "Speech check: ..." line (none when
// there is not even one frame).
Analysis analyze(std::span<const float> samples, const Configuration& configuration = {});

// A first-order RC high-pass applied `poles` times in a row; each pass starts from rest, so its first
// output is 0. Returns the samples unchanged when the cutoff, the rate or `poles` is not positive.
std::vector<float> highPassed(std::span<const float> samples, float cutoffHz, float sampleRate, int poles);

// The root-mean-square level of each whole frame; a trailing partial frame is ignored.
std::vector<float> frameRMS(std::span<const float> samples, int frameLength);

// The level at `percentile` (0...1) of the sorted levels, index truncated toward zero; 0 for none.
float noiseFloor(std::span<const float> levels, double percentile);

// The longest run of true flags, bridging up to `allowedGap` false flags inside a run (bridged
// frames are not counted).
int longestRun(std::span<const bool> flags, int allowedGap);

// The frame index just after the last true flag of any run that reached `minimumLength` (same gap
// rule); absent when no run got that long.
std::optional<std::size_t> lastRunEnd(std::span<const bool> flags, int minimumLength, int allowedGap);

}  // namespace korvane::SpeechDetector
