#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// What the input device delivers: interleaved 32-bit float frames at `sampleRate` with
// `channelCount` samples per frame.
struct CaptureFormat {
    double sampleRate = 0.0;
    std::uint32_t channelCount = 0;

    // A format the converter can work from: a positive, finite rate and at least one channel.
    bool isUsable() const noexcept;

    friend bool operator==(const CaptureFormat&, const CaptureFormat&) = default;
};

// A sample rate as the log shows it: a decimal with at least one fractional digit ("48000.0",
// "44100.0", "22050.5").
std::string formatSampleRate(double sampleRate);

}  // namespace korvane
