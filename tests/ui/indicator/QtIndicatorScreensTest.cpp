// SPDX-License-Identifier: MIT
// The indicator's screens and where its panel lands at the scales Qt draws at: the placement logic
// works in y-up device pixels from the primary screen's bottom-left corner, Qt's windows in scaled
// pixels measured from each screen's own corner.
#include "tests/support/RectPrinting.h"
#include "tests/support/qt/QtPrinting.h"
#include "tests/support/qt/TwoScreenApplication.h"
#include "ui/indicator/QtIndicatorSurface.h"

#include <QRect>

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

using testing::TwoScreenApplication;

TEST(QtIndicatorSurface, ScreensAndPlacementFollowEachScreensScale)
{
    struct Row {
        const char* scaleFactors;
        double primaryRatio;
        double secondRatio;
        Rect frame;      // where the placement logic puts a 268 × 46 panel, in device pixels
        QRect expected;  // the panel's window geometry in Qt's pixels
    };
    const Row rows[] = {
        {"A=1;B=1", 1, 1, {-1000, 400, 268, 46}, QRect(920, 1174, 268, 46)},
        {"A=2;B=1", 2, 1, {1000, 300, 536, 92}, QRect(1920 + 500, 614, 268, 46)},
        {"A=1;B=2", 1, 2, {-1000, 400, 536, 92}, QRect(460, 200 + 464, 268, 46)},
        {"A=1.5;B=1.5", 1.5, 1.5, {-1000, 400, 402, 69}, QRect(613, 200 + 634, 268, 46)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scaleFactors);
        const TwoScreenApplication application(row.scaleFactors);
        QtIndicatorSurface surface;

        const std::vector<IndicatorScreen> screens = surface.screens();
        ASSERT_EQ(screens.size(), 2U);
        EXPECT_EQ(screens[0].area.frame, (Rect{0, 0, 2880, 1620}));
        // To the left of the primary screen, its bottom edge 1620 - (200 + 1080) higher up.
        EXPECT_EQ(screens[1].area.frame, (Rect{-1920, 340, 1920, 1080}));
        EXPECT_EQ(screens[1].area.visibleFrame, screens[1].area.frame);
        EXPECT_EQ(screens[0].pixelRatio, row.primaryRatio);
        EXPECT_EQ(screens[1].pixelRatio, row.secondRatio);

        surface.place(row.frame);
        EXPECT_EQ(surface.panel().geometry(), row.expected);
    }
}

}  // namespace
}  // namespace korvane
