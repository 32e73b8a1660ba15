#pragma once

#include <cstddef>
#include <optional>

namespace korvane {

// whisper.cpp's encoder always runs over a 30 s window, however short the audio, and on a CPU the
// encoder is most of a short dictation's cost. A window that just covers the recording (audio_ctx)
// makes it several times faster, but too small a window makes the decoder lose track of where the
// speech ends and repeat itself, so the window keeps a margin after the speech and a floor.
struct EncoderWindow {
    // Samples at 16 kHz.
    static constexpr std::size_t kStandardSamples = 480000;  // 30 s, what the models were trained on
    static constexpr std::size_t kFloorSamples = 160000;     // 10 s
    static constexpr std::size_t kMarginSamples = 32000;     // 2 s after the end of the recording
    // One encoder position covers two 10 ms mel frames: 1,500 positions make the 30 s window.
    static constexpr std::size_t kSamplesPerPosition = 320;

    std::size_t samples = 0;  // what the encoder covers: audioContext whole positions
    int audioContext = 0;     // encoder positions, whisper_full_params::audio_ctx

    bool operator==(const EncoderWindow&) const = default;
};

// The window of max(recording + margin, floor), in whole encoder positions (rounded up), for a
// recording of `samples`; absent when that window would not be shorter than the standard one, so the
// recording takes the standard path unchanged.
std::optional<EncoderWindow> adaptiveEncoderWindow(std::size_t samples);

}  // namespace korvane
