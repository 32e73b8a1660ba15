// SPDX-License-Identifier: MIT
// What one frame of the listening indicator's level meter costs while recording: a level read, the
// meter's shift and a repaint of the panel (dot, text and 22 bars), at 30 frames a second. Prints
// the time per frame and the share of one core the meter takes. Runs on Qt's offscreen platform.
#include "ui/indicator/IndicatorPanel.h"
#include "ui/logic/IndicatorAppearance.h"
#include "ui/logic/LevelMeter.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    using namespace korvane;

    const IndicatorAppearance appearance = indicatorAppearance({IndicatorChange::Kind::recording, {}});
    const double textWidth =
        QFontMetricsF(IndicatorPanel::labelFont()).horizontalAdvance(QString::fromStdString(appearance.text));
    IndicatorPanel panel(true);
    const IndicatorLayout layout = indicatorLayout(textWidth, appearance.showsLevels);
    panel.resize(static_cast<int>(layout.panelWidth), static_cast<int>(kIndicatorPanelHeight));
    panel.setContent({appearance, layout, {}});
    QImage target(panel.size(), QImage::Format_ARGB32_Premultiplied);

    LevelMeter meter;
    constexpr int kFrames = 3000;
    std::vector<double> micros;
    micros.reserve(kFrames);
    for (int frame = 0; frame < kFrames; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        meter.tick(std::fabs(std::sin(frame * 0.45)));
        panel.setHistory(meter.history());
        QPainter painter(&target);
        panel.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    const double p99 = micros[micros.size() * 99 / 100];
    std::printf("indicator meter frame (tick + repaint of a %dx%d panel): median %.1f us, p99 %.1f us\n", panel.width(),
                panel.height(), median, p99);
    std::printf("at 30 frames a second: %.2f %% of one core\n", median * 30 / 1e4);
    return 0;
}
