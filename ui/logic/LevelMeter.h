#pragma once

#include <array>
#include <cstddef>

namespace korvane {

// The indicator's level meter: a smoothed input level pushed into a short history of bars, one
// frame at a time. The widget's timer calls tick() every kFrameSeconds while the bars show.
class LevelMeter {
public:
    static constexpr double kFrameSeconds = 1.0 / 30;
    static constexpr double kDecayPerFrame = 0.82;
    static constexpr std::size_t kBars = 22;

    // Takes one frame's input level (0 to 1): a louder level shows at once, a quieter one lets the
    // meter fall by kDecayPerFrame towards it. The smoothed level joins the history as its newest
    // bar, and the oldest bar goes.
    void tick(double level);

    // Back to silence, as when the panel hides.
    void reset();

    double smoothedLevel() const { return smoothed_; }
    // Oldest first; each 0 to 1.
    const std::array<double, kBars>& history() const { return history_; }

private:
    double smoothed_ = 0;
    std::array<double, kBars> history_{};
};

// A level bar in the content view (y up from the view's bottom edge).
struct LevelBar {
    double x = 0;
    double y = 0;
    double width = 3;
    double height = 0;

    friend bool operator==(const LevelBar&, const LevelBar&) = default;
};

// Bar `index` (0 = oldest) showing `level`, in a view of `viewWidth` × `viewHeight`. Bars are
// never shorter than 3, so silence still shows a row of dots; the newest ends 16 from the right.
LevelBar levelBar(std::size_t index, double level, double viewWidth, double viewHeight);

}  // namespace korvane
