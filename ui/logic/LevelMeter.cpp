#include "ui/logic/LevelMeter.h"

#include <algorithm>
#include <cmath>

namespace korvane {

void LevelMeter::tick(double level)
{
    // The recorder's level is a root mean square of raw samples; a broken buffer can make it NaN,
    // which would otherwise stay in the smoothed value for good and freeze the meter.
    const double input = std::isfinite(level) ? std::clamp(level, 0.0, 1.0) : 0.0;
    if (smoothed_ < input) {
        smoothed_ = input;
    } else {
        smoothed_ = input * (1 - kDecayPerFrame) + smoothed_ * kDecayPerFrame;
    }
    std::shift_left(history_.begin(), history_.end(), 1);
    history_.back() = smoothed_;
}

void LevelMeter::reset()
{
    smoothed_ = 0;
    history_.fill(0);
}

LevelBar levelBar(std::size_t index, double level, double viewWidth, double viewHeight)
{
    constexpr double kRightMargin = 16;
    constexpr double kSpan = 108;
    constexpr double kPitch = 5;
    constexpr double kMinHeight = 3;
    const double height = std::max((viewHeight - 18) * std::clamp(level, 0.0, 1.0), kMinHeight);
    return {viewWidth - kRightMargin - kSpan + kPitch * static_cast<double>(index), viewHeight / 2 - height / 2, 3,
            height};
}

}  // namespace korvane
