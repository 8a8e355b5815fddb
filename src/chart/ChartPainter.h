#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <optional>
#include <string>
#include <unordered_map>

#include "chart/ChartLayout.h"

namespace hourlink {

// The chart's one font: Arial 8 points, that is Liberation Sans at 11 pixels, so the picture does not depend
// on the screen's resolution.
[[nodiscard]] QFont ChartFont();

// ChartFontMetrics answered by Qt for a real font. Widths are remembered: the chart asks for the same few
// texts at every layout, and shaping them anew each second was a tenth of the chart's cost.
class QtChartFontMetrics final : public ChartFontMetrics {
public:
    explicit QtChartFontMetrics(const QFont& font) : m_metrics(font) {}
    [[nodiscard]] int textWidth(const std::string& text) const override;
    [[nodiscard]] int lineHeight() const override { return m_metrics.height(); }
    [[nodiscard]] int ascent() const override { return m_metrics.ascent(); }

private:
    QFontMetrics m_metrics;
    mutable std::unordered_map<std::string, int> m_widths;
};

// Device pixels of a picture of `logical` size at a device pixel ratio; a pixel partly covered is kept.
[[nodiscard]] QSize DeviceSize(QSize logical, qreal ratio);

// Draws a computed layout, and nothing else: every position and colour comes from the layout, in logical
// pixels; the painter's device pixel ratio decides the resolution. With `only`, just that region (logical
// pixels) is drawn anew and the pixels outside it are left as they are.
void PaintChart(QPainter& painter, const ChartLayout& layout, const QFont& font, const QRegion* only = nullptr);

// The chart's picture kept from one paint to the next, so a change redraws only the pixels it touches.
class ChartCanvas {
public:
    // Brings the picture to `layout` at `ratio` and answers the region, in logical pixels, that was drawn
    // anew: all of it the first time and after a change of size or ratio, nothing when the layout is the
    // last one's.
    QRegion Update(ChartLayout layout, qreal ratio, const QFont& font);
    // Whether the kept picture is one of this size at this ratio.
    [[nodiscard]] bool Fits(QSize logical, qreal ratio) const;
    [[nodiscard]] const QImage& Image() const { return m_image; }
    // The layout the kept picture shows, if any.
    [[nodiscard]] const std::optional<ChartLayout>& Last() const { return m_last; }

private:
    QImage m_image;
    std::optional<ChartLayout> m_last;
};

} // namespace hourlink
