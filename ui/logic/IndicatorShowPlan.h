#pragma once

#include "core/dictation/StatusPresentation.h"

#include <optional>

namespace korvane {

// The level meter's timer across a change of state.
enum class MeterTimer { keep, start, stop };

inline constexpr double kIndicatorAutoHideSeconds = 4;

// What the indicator's widget must do when asked to show a state. The pending auto-hide is always
// cancelled first unless `changes` is false.
struct IndicatorShowPlan {
    // False when the state is the one already shown: nothing happens, not even a restart of the
    // auto-hide time, so a repeated message still goes away on schedule.
    bool changes = false;
    // The new state is hidden: hide the panel (and reset the meter) instead of drawing anything.
    bool hide = false;
    // The panel was off screen: read the focused field's frame afresh. While the panel stays up the
    // earlier frame is kept, so that it does not jump between states.
    bool refreshAvoidRect = false;
    MeterTimer meter = MeterTimer::keep;
    // Start a one-shot hide after this many seconds (final messages only).
    std::optional<double> autoHideAfterSeconds;

    friend bool operator==(const IndicatorShowPlan&, const IndicatorShowPlan&) = default;
};

// The plan for showing `next` while `current` is shown (hidden when the panel is off screen).
IndicatorShowPlan planIndicatorShow(const IndicatorChange& current, const IndicatorChange& next);

}  // namespace korvane
