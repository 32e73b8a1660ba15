#pragma once

#include "ui/logic/IndicatorAppearance.h"
#include "ui/logic/LevelMeter.h"

#include <QFont>
#include <QWidget>

#include <array>

namespace korvane {

// The indicator's pill: a dark rounded background, the coloured dot, the message and, while
// recording, 22 level bars. It only paints what it is given; it never takes the keyboard focus and
// lets mouse clicks through to the window below.
class IndicatorPanel final : public QWidget {
public:
    struct Content {
        IndicatorAppearance appearance;
        IndicatorLayout layout;
        std::array<double, LevelMeter::kBars> history{};
    };

    // `translucent`: a compositor blends the panel's alpha, so the corners can be see-through.
    // Without one the panel is opaque and shaped to its rounded outline instead.
    explicit IndicatorPanel(bool translucent);

    bool translucent() const { return translucent_; }
    const Content& content() const { return content_; }
    void setContent(const Content& content);
    void setHistory(const std::array<double, LevelMeter::kBars>& history);

    // The label's font; texts are measured with it.
    static QFont labelFont();
    // The background's colour: dark, and translucent where a compositor blends it.
    static QColor backgroundColour(bool translucent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool translucent_;
    Content content_;
};

}  // namespace korvane
