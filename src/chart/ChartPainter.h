#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "ChartLayout.h"

namespace hourlink {

// The chart's one font: Arial 8 points, that is Liberation Sans at 11 pixels, so the picture does not depend
// on the screen's resolution.
[[nodiscard]] QFont ChartFont();

// ChartFontMetrics answered by Qt for a real font.
class QtChartFontMetrics final : public ChartFontMetrics {
public:
    explicit QtChartFontMetrics(const QFont& font) : m_metrics(font) {}
    [[nodiscard]] int textWidth(const std::string& text) const override;
    [[nodiscard]] int lineHeight() const override { return m_metrics.height(); }
    [[nodiscard]] int ascent() const override { return m_metrics.ascent(); }

private:
    QFontMetrics m_metrics;
};

// Draws a computed layout, and nothing else: every position and colour comes from the layout.
void PaintChart(QPainter& painter, const ChartLayout& layout, const QFont& font);

} // namespace hourlink
