#pragma once

#include "ui/indicator/IndicatorPanel.h"
#include "ui/indicator/IndicatorSurface.h"

#include <memory>

namespace korvane {

// The indicator on a Qt desktop: an IndicatorPanel window, and the conversion between Qt's
// y-down, device-independent coordinates and the y-up device pixels of the placement logic.
// Needs a QApplication; main thread.
class QtIndicatorSurface final : public IndicatorSurface {
public:
    QtIndicatorSurface();
    ~QtIndicatorSurface() override;

    double textWidth(const std::string& text) override;
    void draw(const IndicatorAppearance& appearance, const IndicatorLayout& layout) override;
    void drawLevels(const std::array<double, LevelMeter::kBars>& history) override;
    std::vector<IndicatorScreen> screens() override;
    Point mousePosition() override;
    void place(const Rect& frame) override;
    void showWithoutActivating() override;
    void hide() override;

    // The panel window, for screenshots and tests.
    IndicatorPanel& panel() const { return *panel_; }

private:
    std::unique_ptr<IndicatorPanel> panel_;
};

}  // namespace korvane
