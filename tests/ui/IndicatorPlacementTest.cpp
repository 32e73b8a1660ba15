// SPDX-License-Identifier: MIT
// Which screen the listening indicator goes on, and where on it, clear of the focused field.
#include "ui/logic/IndicatorPlacement.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace korvane {
namespace {

TEST(IndicatorPlacement, PanelStaysClearOfTheFocusedField)
{
    // A 1920 × 1080 screen with a 40-high panel along its bottom; the default spot is y 170..216
    // and x 826..1094 for a 268 × 46 indicator.
    const Rect visible{0, 40, 1920, 1040};
    struct Row {
        const char* name;
        std::optional<Rect> field;
        Point origin;
    };
    const std::vector<Row> table = {
        {"no field known", std::nullopt, {826, 170}},
        {"field far away", Rect{10, 900, 200, 30}, {826, 170}},
        {"field beside the spot", Rect{0, 150, 100, 30}, {826, 170}},
        {"margin just touches the spot", Rect{700, 128, 400, 30}, {826, 170}},
        {"field over the spot: above it", Rect{700, 150, 400, 30}, {826, 192}},
        {"room above exactly", Rect{700, 150, 400, 872}, {826, 1034}},
        {"field up to the top: below it", Rect{700, 200, 400, 880}, {826, 142}},
        {"room below exactly", Rect{700, 98, 400, 982}, {826, 40}},
        {"neither fits: default", Rect{700, 60, 400, 1020}, {826, 170}},
    };
    for (const auto& row : table) {
        EXPECT_EQ(indicatorOrigin(268, 46, visible, row.field), row.origin) << row.name;
    }
    EXPECT_EQ(indicatorOrigin(520, 46, Rect{1920, 0, 1280, 1024}, std::nullopt), (Point{2300, 130}));
}

TEST(IndicatorPlacement, ScreenHoldingTheAnchorElseThePrimary)
{
    const std::vector<ScreenArea> screens = {
        {{0, 0, 1920, 1080}, {0, 40, 1920, 1040}},
        {{1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}},
    };
    struct Row {
        Point anchor;
        std::optional<std::size_t> screen;
    };
    const std::vector<Row> table = {
        {{100, 100}, 0}, {{2000, 500}, 1}, {{1920, 0}, 1}, {{1919.5, 1079.5}, 0}, {{2500, 1050}, 0}, {{-5, 10}, 0},
    };
    for (const auto& row : table) {
        EXPECT_EQ(indicatorScreen(screens, row.anchor), row.screen) << row.anchor.x << "," << row.anchor.y;
    }
    EXPECT_EQ(indicatorScreen({}, Point{0, 0}), std::nullopt);
}

TEST(IndicatorPlacement, AnchorIsTheFieldCentreElseTheMouse)
{
    EXPECT_EQ(indicatorAnchor(Rect{100, 200, 50, 20}, Point{7, 8}), (Point{125, 210}));
    EXPECT_EQ(indicatorAnchor(std::nullopt, Point{7, 8}), (Point{7, 8}));
}

}  // namespace
}  // namespace korvane
