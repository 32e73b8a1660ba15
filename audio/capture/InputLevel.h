#pragma once

#include <span>

namespace korvane {

// Root mean square of the samples; 0 for none.
float rootMeanSquare(std::span<const float> samples) noexcept;

// The meter reading of one block of samples: -60 dBFS (or quieter) to 0 dBFS mapped linearly onto
// 0..1. Never NaN and never outside 0..1.
float inputLevel(std::span<const float> samples) noexcept;

}  // namespace korvane
