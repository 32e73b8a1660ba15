#include "transcription/whisper/EncoderWindow.h"

#include <algorithm>

namespace korvane {

std::optional<EncoderWindow> adaptiveEncoderWindow(std::size_t samples)
{
    if (samples >= EncoderWindow::kStandardSamples) {
        return std::nullopt;  // also keeps the sum below from overflowing
    }
    const std::size_t window = std::max(samples + EncoderWindow::kMarginSamples, EncoderWindow::kFloorSamples);
    if (window >= EncoderWindow::kStandardSamples) {
        return std::nullopt;
    }
    const std::size_t positions =
        (window + EncoderWindow::kSamplesPerPosition - 1) / EncoderWindow::kSamplesPerPosition;
    return EncoderWindow{.samples = positions * EncoderWindow::kSamplesPerPosition,
                         .audioContext = static_cast<int>(positions)};
}

}  // namespace korvane
