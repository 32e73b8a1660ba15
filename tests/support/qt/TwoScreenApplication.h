#pragma once

#include "delivery/focus/ScreenGeometry.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

#include <QApplication>

#include <memory>
#include <string>
#include <vector>

namespace korvane::testing {

// A Qt application on the offscreen platform with two screens laid out as an X server reports
// them, in device pixels: the primary, "A", at 1920,0, and "B" to its left and lower down, both of
// sizes that scale to whole pixels at 1.5 and 2. Qt scales each as `scaleFactors` says
// (QT_SCREEN_SCALE_FACTORS, such as "A=2;B=1"); that scaling is Qt's own and the same on xcb, where
// the platform reports device pixels too. Qt reads the layout and the factors when the application
// is made: one at a time per process.
class TwoScreenApplication {
public:
    static constexpr Rect kPrimary{1920, 0, 2880, 1620};
    static constexpr Rect kSecond{0, 200, 1920, 1080};

    explicit TwoScreenApplication(const std::string& scaleFactors);
    ~TwoScreenApplication();

    TwoScreenApplication(const TwoScreenApplication&) = delete;
    TwoScreenApplication& operator=(const TwoScreenApplication&) = delete;

private:
    TemporaryDirectory files_{"korvane-screens"};
    std::vector<std::unique_ptr<ScopedEnvironment>> environment_;
    std::unique_ptr<QApplication> application_;
};

}  // namespace korvane::testing
