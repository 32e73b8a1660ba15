#include "ui/indicator/IndicatorPanel.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

namespace korvane {

namespace {

QColor qtColour(const Rgba& colour)
{
    return QColor(colour.red, colour.green, colour.blue, colour.alpha);
}

QPainterPath pill(const QRectF& bounds)
{
    QPainterPath path;
    const double radius = bounds.height() / 2;
    path.addRoundedRect(bounds, radius, radius);
    return path;
}

}  // namespace

// Bypassing the window manager (override-redirect) is what keeps the panel above a focused
// full-screen window: window managers stack such a window in a layer above their keep-above
// one, and only windows they do not manage stay over it. It also keeps the panel on every
// desktop, since a window manager hides only the windows it manages when the desktop changes,
// and it never offers the panel the focus.
IndicatorPanel::IndicatorPanel(bool translucent)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput | Qt::X11BypassWindowManagerHint),
      translucent_(translucent)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground, translucent_);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle("Korvane");
    resize(static_cast<int>(kIndicatorMinWidth), static_cast<int>(kIndicatorPanelHeight));
}

QFont IndicatorPanel::labelFont()
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(13);
    font.setWeight(QFont::Medium);
    return font;
}

QColor IndicatorPanel::backgroundColour(bool translucent)
{
    return QColor(30, 30, 32, translucent ? 224 : 255);
}

void IndicatorPanel::setContent(const Content& content)
{
    content_ = content;
    update();
}

void IndicatorPanel::setHistory(const std::array<double, LevelMeter::kBars>& history)
{
    content_.history = history;
    if (content_.appearance.showsLevels) {
        update();
    }
}

void IndicatorPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!translucent_) {
        // Without a compositor the corners would show as black squares; cut them off instead.
        setMask(QRegion(pill(QRectF(rect())).toFillPolygon().toPolygon()));
    }
}

void IndicatorPanel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const double height = bounds.height();

    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(bounds, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillPath(pill(bounds), backgroundColour(translucent_));

    const IndicatorAppearance& appearance = content_.appearance;
    const QColor accent = qtColour(appearance.dotColour);
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    painter.drawEllipse(QRectF(14, height / 2 - 4, 8, 8));

    if (appearance.showsLevels) {
        QColor bars = accent;
        bars.setAlphaF(accent.alphaF() * 0.85f);
        painter.setBrush(bars);
        for (std::size_t index = 0; index < content_.history.size(); ++index) {
            const LevelBar bar = levelBar(index, content_.history[index], bounds.width(), height);
            // The bar's y is measured up from the bottom edge; Qt's goes down from the top.
            painter.drawRoundedRect(QRectF(bar.x, height - bar.y - bar.height, bar.width, bar.height), 1.5, 1.5);
        }
    }

    const IndicatorLayout& layout = content_.layout;
    const QRectF label(layout.labelX, height - layout.labelY - layout.labelHeight, layout.labelWidth,
                       layout.labelHeight);
    const QFont font = labelFont();
    painter.setFont(font);
    painter.setPen(qtColour(appearance.textColour));
    const QString text =
        QFontMetricsF(font).elidedText(QString::fromStdString(appearance.text), Qt::ElideRight, label.width());
    painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

}  // namespace korvane
