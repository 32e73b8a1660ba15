// SPDX-License-Identifier: MIT
// The screens the focus logic and the accessibility frames are measured against: X root
// coordinates in device pixels, whatever scale Qt draws at, and with the primary screen anywhere.
#include "platform/linux/QtScreens.h"
#include "tests/support/RectPrinting.h"
#include "tests/support/qt/TwoScreenApplication.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

using testing::TwoScreenApplication;

TEST(QtScreens, AreTheDevicePixelLayoutAtEveryScale)
{
    for (const char* scaleFactors : {"A=1;B=1", "A=2;B=1", "A=1;B=2", "A=1.5;B=1.5"}) {
        SCOPED_TRACE(scaleFactors);
        const TwoScreenApplication application(scaleFactors);
        EXPECT_EQ(desktopScreens(), (std::vector<Rect>{TwoScreenApplication::kPrimary, TwoScreenApplication::kSecond}));
    }
}

}  // namespace
}  // namespace korvane
