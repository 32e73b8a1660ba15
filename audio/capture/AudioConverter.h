#pragma once

#include "audio/capture/CaptureFormat.h"

#include <cstddef>
#include <span>
#include <stdexcept>
#include <vector>

struct soxr;

namespace korvane {

// A failure reported by the resampler while converting; what() is its message.
class AudioConverterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Turns interleaved float frames of one input format into 16 kHz mono float samples: channels are
// averaged into one, then a streaming libsoxr resampler changes the rate (16 kHz input needs none).
// Non-finite input samples (a misbehaving driver) become silence, so they cannot poison the
// resampler's state and with it the rest of the recording.
//
// Not thread-safe; the recorder serialises every use under its converter lock. Buffers are reused
// from block to block, so the capture thread allocates nothing once the first block has been seen.
class AudioConverter {
public:
    static constexpr double outputSampleRate = 16000.0;

    // Throws AudioRecorderError::converterCreationFailed when `input` is not usable or the resampler
    // cannot be created for it.
    explicit AudioConverter(const CaptureFormat& input);
    ~AudioConverter();

    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    const CaptureFormat& inputFormat() const noexcept { return input_; }

    // Converts `frameCount` interleaved frames. Returns the output that is ready now; the resampler
    // keeps a short tail back until more input or drain(). The view stays valid until the next call.
    // Throws AudioConverterError when the resampler fails, std::bad_alloc when memory runs out.
    std::span<const float> convert(const float* interleaved, std::size_t frameCount);

    // Ends the input: returns the tail the resampler still holds. reset() must follow before the
    // converter takes new input.
    std::span<const float> drain();

    // Forgets all buffered input so the next convert() starts a fresh signal.
    void reset();

private:
    const float* downmix(const float* interleaved, std::size_t frameCount);
    void ensureOutputRoom(std::size_t produced, std::size_t wanted);

    CaptureFormat input_;
    soxr* resampler_ = nullptr;  // null when the input already runs at 16 kHz
    std::vector<float> mono_;
    std::vector<float> output_;
};

}  // namespace korvane
