#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
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

// The panel's background and frame, which depend only on its size, drawn once and reused.
class BackgroundCache {
public:
    [[nodiscard]] const QImage& For(const ChartLayout& layout, QSize size);

private:
    QImage m_image;
    std::vector<ColorRect> m_drawn;
};

// Draws a computed layout, and nothing else: every position and colour comes from the layout. With a
// cache, the background and frame come from it instead of being drawn band by band.
void PaintChart(QPainter& painter, const ChartLayout& layout, const QFont& font, BackgroundCache* cache = nullptr);

} // namespace hourlink
