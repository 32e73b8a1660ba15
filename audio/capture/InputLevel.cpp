#include "audio/capture/InputLevel.h"

#include <algorithm>
#include <cmath>

namespace korvane {

float rootMeanSquare(std::span<const float> samples) noexcept
{
    if (samples.empty()) {
        return 0.0f;
    }
    // Four independent partial sums let the compiler vectorise without reassociating one chain.
    float sums[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const std::size_t count = samples.size();
    std::size_t index = 0;
    for (; index + 4 <= count; index += 4) {
        for (std::size_t lane = 0; lane < 4; ++lane) {
            sums[lane] += samples[index + lane] * samples[index + lane];
        }
    }
    for (; index < count; ++index) {
        sums[0] += samples[index] * samples[index];
    }
    const float total = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    return std::sqrt(total / static_cast<float>(count));
}

float inputLevel(std::span<const float> samples) noexcept
{
    const float rms = rootMeanSquare(samples);
    const float decibels = 20.0f * std::log10(std::max(rms, 1e-7f));
    const float level = std::min((decibels + 60.0f) / 60.0f, 1.0f);
    // A NaN (from a NaN sample) fails this comparison too and reads as silence.
    return level >= 0.0f ? level : 0.0f;
}

}  // namespace korvane
