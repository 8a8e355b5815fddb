#pragma once

#include <QRect>
#include <QRegion>

#include "chart/ChartLayout.h"

namespace hourlink {

// The pixels an element can touch, in logical pixels, with room for its pen and, for texts, for glyphs that
// reach past their advance box. A repaint clipped to these bounds redraws the whole element.
[[nodiscard]] QRect Bounds(const Face& face);
[[nodiscard]] QRect Bounds(const TextItem& text);
[[nodiscard]] QRect Bounds(const LineItem& line);
[[nodiscard]] QRect Bounds(const BarItem& bar);
[[nodiscard]] QRect Bounds(const MarkItem& mark);

// The region, in logical pixels, outside which the picture of `now` is the picture of `before`. Elements are
// matched by what they show (a bar, a mark, a bottom label by its point index; the others by their place in
// the drawing order), and each one that appeared, vanished or changed adds its old and its new bounds. When the
// 3-D box itself moves, every element moves with it, and the answer is the whole panel.
[[nodiscard]] QRegion ChangedRegion(const ChartLayout& before, const ChartLayout& now);

} // namespace hourlink
