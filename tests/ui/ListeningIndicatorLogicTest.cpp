// SPDX-License-Identifier: MIT
// The listening indicator's decisions: what each state looks like, how wide the panel is, what a
// change of state does to the timers, and the level meter.
#include "ui/logic/IndicatorAppearance.h"
#include "ui/logic/IndicatorShowPlan.h"
#include "ui/logic/LevelMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using Kind = IndicatorChange::Kind;
namespace colours = indicator_colours;

TEST(IndicatorAppearance, EachVisibleStateHasItsDotTextAndBars)
{
    const std::vector<std::pair<IndicatorChange, IndicatorAppearance>> table = {
        {{Kind::recording, {}}, {colours::red, "Listening", colours::label, true}},
        {{Kind::recording, "Listening (default mic)"}, {colours::red, "Listening (default mic)", colours::label, true}},
        {{Kind::recordingLimitReached, {}},
         {colours::orange, "Limit reached — stop to transcribe", colours::orange, true}},
        {{Kind::transcribing, {}}, {colours::blue, "Transcribing…", colours::label, false}},
        {{Kind::copiedToClipboard, "Transcript copied — press Ctrl+V"},
         {colours::yellow, "Transcript copied — press Ctrl+V", colours::label, false}},
        {{Kind::error, "Mic error"}, {colours::red, "Mic error", colours::label, false}},
    };
    for (const auto& [state, appearance] : table) {
        EXPECT_EQ(indicatorAppearance(state), appearance) << state.message << static_cast<int>(state.kind);
    }
}

TEST(IndicatorLayout, PanelWidthFollowsTheTextBetween268And520)
{
    struct Row {
        double textWidth;
        bool showsLevels;
        double panelWidth;
        double labelWidth;
    };
    const std::vector<Row> table = {
        {40, false, 268, 214}, {40, true, 268, 98},      {214, false, 268, 214},        {214.2, false, 269, 215},
        {300, true, 470, 300}, {465.5, false, 520, 466}, {400, true, 520, 350},         {1000, false, 520, 466},
        {0, true, 268, 98},    {-5, false, 268, 214},    {std::nan(""), true, 268, 98},
    };
    for (const auto& row : table) {
        const IndicatorLayout layout = indicatorLayout(row.textWidth, row.showsLevels);
        EXPECT_EQ(layout.panelWidth, row.panelWidth) << row.textWidth << " levels " << row.showsLevels;
        EXPECT_EQ(layout.labelWidth, row.labelWidth) << row.textWidth << " levels " << row.showsLevels;
        EXPECT_EQ(layout.labelX, 34);
    }
}

TEST(IndicatorShowPlan, TimersAndFocusFrameAcrossStateChanges)
{
    const IndicatorChange hidden{Kind::hidden, {}};
    const IndicatorChange recording{Kind::recording, {}};
    const IndicatorChange limit{Kind::recordingLimitReached, {}};
    const IndicatorChange transcribing{Kind::transcribing, {}};
    const IndicatorChange micError{Kind::error, "Mic error"};
    const IndicatorChange noAudio{Kind::error, "No audio"};
    const IndicatorChange copied{Kind::copiedToClipboard, "Transcript copied — press Ctrl+V"};
    const IndicatorShowPlan nothing;
    const std::optional<double> noAutoHide;
    struct Row {
        IndicatorChange current;
        IndicatorChange next;
        IndicatorShowPlan plan;
    };
    const std::vector<Row> table = {
        {hidden, recording, {true, false, true, MeterTimer::start, noAutoHide}},
        {recording, limit, {true, false, false, MeterTimer::start, noAutoHide}},
        {limit, transcribing, {true, false, false, MeterTimer::stop, noAutoHide}},
        {recording, transcribing, {true, false, false, MeterTimer::stop, noAutoHide}},
        {transcribing, copied, {true, false, false, MeterTimer::stop, 4.0}},
        {hidden, micError, {true, false, true, MeterTimer::stop, 4.0}},
        {micError, micError, nothing},
        {transcribing, transcribing, nothing},
        {micError, noAudio, {true, false, false, MeterTimer::stop, 4.0}},
        {recording, hidden, {true, true, false, MeterTimer::stop, noAutoHide}},
        {hidden, hidden, nothing},
    };
    for (const auto& row : table) {
        EXPECT_EQ(planIndicatorShow(row.current, row.next), row.plan)
            << static_cast<int>(row.current.kind) << " " << row.current.message << " -> "
            << static_cast<int>(row.next.kind) << " " << row.next.message;
    }
}

TEST(LevelMeter, LoudLevelShowsAtOnceAndSilenceDecaysBy082PerFrame)
{
    LevelMeter meter;
    meter.tick(1.0);
    EXPECT_EQ(meter.smoothedLevel(), 1.0);
    EXPECT_EQ(meter.history().back(), 1.0);
    for (int frame = 1; frame <= 21; ++frame) {
        meter.tick(0);
        EXPECT_NEAR(meter.smoothedLevel(), std::pow(0.82, frame), 1e-12) << frame;
        EXPECT_NEAR(meter.history().back(), std::pow(0.82, frame), 1e-12) << frame;
    }
    // 22 bars: the loud frame is now the oldest, and one more frame pushes it out.
    EXPECT_EQ(meter.history().front(), 1.0);
    meter.tick(0);
    EXPECT_NEAR(meter.history().front(), 0.82, 1e-12);

    meter.reset();
    EXPECT_EQ(meter.smoothedLevel(), 0);
    for (const double bar : meter.history()) {
        EXPECT_EQ(bar, 0);
    }
}

TEST(LevelMeter, InputLevelsOutsideZeroToOne)
{
    struct Row {
        double previous;
        double level;
        double smoothed;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Row> table = {
        {0.5, 0.2, 0.2 * 0.18 + 0.5 * 0.82}, {0.5, 0.7, 0.7},        {0.0, 1.5, 1.0}, {0.5, -1, 0.5 * 0.82},
        {0.5, std::nan(""), 0.5 * 0.82},     {0.5, inf, 0.5 * 0.82},
    };
    for (const auto& row : table) {
        LevelMeter meter;
        meter.tick(row.previous);
        meter.tick(row.level);
        EXPECT_NEAR(meter.smoothedLevel(), row.smoothed, 1e-12) << row.previous << " then " << row.level;
        EXPECT_NEAR(meter.history().back(), row.smoothed, 1e-12) << row.previous << " then " << row.level;
    }
}

TEST(LevelMeter, BarsSitRightAlignedAndNeverShorterThanThree)
{
    struct Row {
        std::size_t index;
        double level;
        LevelBar bar;
    };
    const std::vector<Row> table = {
        {21, 1.0, {249, 9, 3, 28}},    {0, 0.0, {144, 21.5, 3, 3}}, {10, 0.5, {194, 16, 3, 14}},
        {21, 0.05, {249, 21.5, 3, 3}}, {21, 2.0, {249, 9, 3, 28}},
    };
    for (const auto& row : table) {
        EXPECT_EQ(levelBar(row.index, row.level, 268, 46), row.bar) << row.index << " at " << row.level;
    }
}

}  // namespace
}  // namespace korvane
