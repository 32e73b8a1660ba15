#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace korvane::testing {

// 16 kHz test signals.
inline std::vector<float> silence(std::size_t samples)
{
    return std::vector<float>(samples, 0.0f);
}

// A 300 Hz tone at `amplitude` from sample `from` to `to` (exclusive) in a buffer of `total` zeros:
// loud enough for the speech detector to call it speech when it lasts 90 ms or more.
inline std::vector<float> toneBurst(std::size_t total, std::size_t from, std::size_t to, float amplitude = 0.3f)
{
    std::vector<float> samples(total, 0.0f);
    for (std::size_t i = from; i < to && i < total; ++i) {
        samples[i] =
            amplitude * static_cast<float>(std::sin(2.0 * 3.14159265358979 * 300.0 * static_cast<double>(i) / 16000.0));
    }
    return samples;
}

}  // namespace korvane::testing
