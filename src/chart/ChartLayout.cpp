#include "chart/ChartLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "runtime/NumberFormat.h"

namespace hourlink {

namespace {

constexpr int kTitleGap = 2;          // between the last title line and the top of the back wall
constexpr int kLeftLabelGap = 4;      // between a value label and the left axis line
constexpr int kBottomLabelGap = 2;    // between the floor's front edge and the point labels
constexpr int kLabelsSeparation = 10; // percent of a label's width kept clear around it
constexpr int kMaxGradientBands = 256;
constexpr double kMinStep = 0.001; // the value labels show three decimals at most
constexpr int kMaxValueLabels = 1000;
constexpr double kCoordLimit = 1 << 20; // keeps far-off zoomed values inside int pixels
constexpr const char* kAxisLabelFormat = "#,##0.###";

const QColor kBevelShadow(128, 128, 128);
const QColor kBevelHighlight(255, 255, 255);
const QColor kWhite(255, 255, 255);

[[nodiscard]] int ToPixel(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::lround(std::clamp(value, -kCoordLimit, kCoordLimit)));
}

void AddBevel(std::vector<ColorRect>& out, QSize size, int inset, int width, TPanelBevel kind) {
    if (kind == TPanelBevel::bvNone) {
        return;
    }
    const QColor topLeft = kind == TPanelBevel::bvLowered ? kBevelShadow : kBevelHighlight;
    const QColor bottomRight = kind == TPanelBevel::bvLowered ? kBevelHighlight : kBevelShadow;
    const int w = size.width();
    const int h = size.height();
    for (int i = 0; i < width; ++i) {
        const int o = inset + i;
        if (w - 2 * o < 2 || h - 2 * o < 2) {
            return;
        }
        // The corners top right and bottom left belong to the lit edges, as a sunken frame has always had them.
        out.push_back({QRect(o, o, w - 2 * o - 1, 1), topLeft});
        out.push_back({QRect(o, o, 1, h - 2 * o - 1), topLeft});
        out.push_back({QRect(w - 1 - o, o, 1, h - 2 * o), bottomRight});
        out.push_back({QRect(o, h - 1 - o, w - 2 * o, 1), bottomRight});
    }
}

void AddRing(std::vector<ColorRect>& out, QSize size, int inset, int width, const QColor& color) {
    const int w = size.width() - 2 * inset;
    const int h = size.height() - 2 * inset;
    if (width <= 0 || w <= 0 || h <= 0) {
        return;
    }
    out.push_back({QRect(inset, inset, w, width), color});
    out.push_back({QRect(inset, inset + h - width, w, width), color});
    out.push_back({QRect(inset, inset, width, h), color});
    out.push_back({QRect(inset + w - width, inset, width, h), color});
}

struct ValueLabel {
    double value;
    std::string text;
    int width;
};

[[nodiscard]] AxisRange AutomaticLeftRange(const std::vector<const TChartSeries*>& series) {
    bool any = false;
    double lowest = 0.0;
    double highest = 0.0;
    for (const TChartSeries* s : series) {
        if (s->Count() == 0) {
            continue;
        }
        const double lo = s->YValues().MinValue();
        const double hi = s->YValues().MaxValue();
        lowest = any ? std::min(lowest, lo) : lo;
        highest = any ? std::max(highest, hi) : hi;
        any = true;
    }
    AxisRange range{std::min(0.0, lowest), highest};
    if (!(range.max > range.min)) {
        // Nothing to span, all values equal: show one unit above the lowest so floor and labels still stand.
        range.max = range.min + 1.0;
    }
    return range;
}

[[nodiscard]] std::vector<ValueLabel> ValueLabels(AxisRange range, double step, const FormatSettings& format,
                                                  const ChartFontMetrics& metrics) {
    std::vector<ValueLabel> labels;
    const double first = std::ceil(range.min / step - 1e-9);
    const double last = std::floor(range.max / step + 1e-9);
    if (!(last - first < kMaxValueLabels)) {
        return labels;
    }
    for (double k = first; k <= last; k += 1.0) {
        double value = k * step;
        if (std::fabs(value) < step * 1e-9) {
            value = 0.0; // no "-0"
        }
        std::string text = FormatFloat(kAxisLabelFormat, value, format);
        const int width = metrics.textWidth(text);
        labels.push_back({value, std::move(text), width});
    }
    return labels;
}

[[nodiscard]] std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 1;
    }
}

} // namespace

int DepthSlice(int plotWidth, int chart3DPercent) {
    return static_cast<int>(std::nearbyint(plotWidth * chart3DPercent * 0.001));
}

int BarSlot(int axisLength, int pointsOnPage) {
    return axisLength > 0 ? axisLength / (std::max(pointsOnPage, 0) + 1) : 0;
}

int BarWidth(int slot, int barWidthPercent) {
    int width = static_cast<int>(std::nearbyint(slot * barWidthPercent / 100.0));
    if (width % 2 != 0) {
        ++width;
    }
    return width;
}

std::vector<ColorRect> GradientBands(const QRect& rect, const QColor& bottom, const QColor& top) {
    std::vector<ColorRect> bands;
    const int h = rect.height();
    if (h <= 0 || rect.width() <= 0) {
        return bands;
    }
    const int n = std::min(h, kMaxGradientBands);
    bands.reserve(static_cast<std::size_t>(n));
    auto blend = [n](int from, int to, int k) { return n > 1 ? from + (to - from) * k / (n - 1) : from; };
    const int bottomEdge = rect.y() + h;
    for (int k = 0; k < n; ++k) {
        const int lower = bottomEdge - k * h / n;
        const int upper = bottomEdge - (k + 1) * h / n;
        const QColor color(blend(bottom.red(), top.red(), k), blend(bottom.green(), top.green(), k),
                           blend(bottom.blue(), top.blue(), k));
        bands.push_back({QRect(rect.x(), upper, rect.width(), lower - upper), color});
    }
    return bands;
}

double AxisStep(double span, int axisPixels, int lineHeight) {
    const int minGap = std::max(1, lineHeight + lineHeight * kLabelsSeparation / 100);
    const int maxLabels = std::max(1, axisPixels / minGap);
    const double raw = span / maxLabels;
    if (!(raw > 0.0) || !std::isfinite(raw)) {
        return kMinStep;
    }
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10.0 * magnitude;
    for (double factor : {1.0, 2.0, 5.0}) {
        if (factor * magnitude >= raw * (1.0 - 1e-9)) {
            step = factor * magnitude;
            break;
        }
    }
    return std::max(step, kMinStep);
}

std::vector<bool> SeparateLabels(const std::vector<LabelCandidate>& labels) {
    std::vector<bool> drawn(labels.size(), false);
    bool any = false;
    int lastCentre = 0;
    int lastExtent = 0;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const int w = labels[i].width;
        const int extent = (w + static_cast<int>(w * 0.02 * kLabelsSeparation)) / 2;
        if (!any) {
            drawn[i] = true;
            any = true;
            lastCentre = labels[i].centre;
            lastExtent = w / 2;
        } else if (std::abs(labels[i].centre - lastCentre) >= extent + lastExtent) {
            drawn[i] = true;
            lastCentre = labels[i].centre;
            lastExtent = extent;
        }
    }
    return drawn;
}

int ChartLayout::xOf(double value) const {
    if (!(bottomRange.max > bottomRange.min)) {
        return (bottomStart + bottomEnd) / 2;
    }
    return bottomStart +
           ToPixel((value - bottomRange.min) * (bottomEnd - bottomStart) / (bottomRange.max - bottomRange.min));
}

int ChartLayout::yOf(double value) const {
    return front.bottom -
           ToPixel((value - leftRange.min) * (front.bottom - front.top) / (leftRange.max - leftRange.min));
}

double ChartLayout::xValueAt(int x) const {
    if (bottomEnd == bottomStart) {
        return bottomRange.min;
    }
    return bottomRange.min + (x - bottomStart) * (bottomRange.max - bottomRange.min) / (bottomEnd - bottomStart);
}

double ChartLayout::yValueAt(int y) const {
    return leftRange.min +
           (front.bottom - (y - vertOffset)) * (leftRange.max - leftRange.min) / (front.bottom - front.top);
}

ChartLayout ComputeChartLayout(const ChartState& state, QSize size, const ChartFontMetrics& metrics) {
    const ChartSettings& cs = *state.settings;
    ChartLayout layout;
    layout.size = size;
    const int w = size.width();
    const int h = size.height();
    const int lineHeight = metrics.lineHeight();

    // 1. Panel: the gradient over everything, then the bevels and the ring over its edge.
    if (cs.Gradient.Visible) {
        const bool bottomIsEnd = cs.Gradient.Direction == TGradientDirection::gdBottomTop;
        const QColor bottom = ToQColor(bottomIsEnd ? cs.Gradient.EndColor : cs.Gradient.StartColor);
        const QColor top = ToQColor(bottomIsEnd ? cs.Gradient.StartColor : cs.Gradient.EndColor);
        layout.background = GradientBands(QRect(0, 0, w, h), bottom, top);
    } else {
        layout.background.push_back({QRect(0, 0, w, h), ToQColor(cs.Color)});
    }
    int inset = 0;
    AddBevel(layout.frame, size, inset, cs.BevelWidth, cs.BevelOuter);
    inset += cs.BevelOuter == TPanelBevel::bvNone ? 0 : cs.BevelWidth;
    AddRing(layout.frame, size, inset, cs.BorderWidth, ToQColor(cs.Color));
    inset += cs.BorderWidth;
    AddBevel(layout.frame, size, inset, cs.BevelWidth, cs.BevelInner);

    const int areaLeft = cs.BorderWidth + w * cs.MarginLeft / 100;
    const int areaRight = w - cs.BorderWidth - w * cs.MarginRight / 100;
    const int areaTop = cs.BorderWidth + h * cs.MarginTop / 100;
    const int areaBottom = h - cs.BorderWidth - h * cs.MarginBottom / 100;
    layout.area = QRect(areaLeft, areaTop, areaRight - areaLeft, areaBottom - areaTop);

    // 2. Title lines, each ending half a "W" inside the area; trailing blanks are text like any other.
    const int halfW = metrics.textWidth("W") / 2;
    const std::vector<std::string>& titleLines = state.title->Text().Lines();
    for (std::size_t i = 0; i < titleLines.size(); ++i) {
        const int tw = metrics.textWidth(titleLines[i]);
        int x = areaLeft + halfW;
        if (state.title->Alignment() == TAlignment::taRightJustify) {
            x = areaRight - halfW - tw;
        } else if (state.title->Alignment() == TAlignment::taCenter) {
            x = (areaLeft + areaRight - tw) / 2;
        }
        const int y = areaTop + static_cast<int>(i) * lineHeight;
        layout.title.push_back(
            {titleLines[i], QRect(x, y, tw, lineHeight), y + metrics.ascent(), ToQColor(state.title->FontColor())});
    }
    const int boxTop =
        areaTop + static_cast<int>(titleLines.size()) * lineHeight + (titleLines.empty() ? 0 : kTitleGap);

    // 3. The 3-D box: its depth depends on the plot's width, which depends on the value labels' width, which
    // depends on their step and so on the box's height; a few rounds settle it.
    const int vo = cs.View3DOptions.VertOffset;
    const int seriesSlices = std::max<int>(1, static_cast<int>(state.series.size()));
    const int bottom = std::max(boxTop + 1, areaBottom - lineHeight - kBottomLabelGap - vo);
    auto sliceFor = [&](int plotLeft) { return cs.View3D ? DepthSlice(areaRight - plotLeft, cs.Chart3DPercent) : 0; };
    const AxisRange leftRange = state.leftRange ? *state.leftRange : AutomaticLeftRange(state.series);
    int plotLeft = areaLeft;
    int d = sliceFor(plotLeft);
    int top = 0;
    double step = kMinStep;
    std::vector<ValueLabel> valueLabels;
    auto placeValueLabels = [&] {
        top = std::min(boxTop + seriesSlices * d, bottom - 1);
        step = AxisStep(leftRange.max - leftRange.min, bottom - top, lineHeight);
        valueLabels = ValueLabels(leftRange, step, state.format, metrics);
    };
    for (int round = 0; round < 4; ++round) {
        placeValueLabels();
        int widest = 0;
        for (const ValueLabel& label : valueLabels) {
            widest = std::max(widest, label.width);
        }
        const int newLeft = areaLeft + (valueLabels.empty() ? 0 : widest + kLeftLabelGap);
        const int newSlice = sliceFor(newLeft);
        const bool settled = newLeft == plotLeft && newSlice == d;
        plotLeft = newLeft;
        d = newSlice;
        if (settled) {
            break;
        }
    }
    placeValueLabels();

    const int depth = seriesSlices * d;
    layout.plotWidth = areaRight - plotLeft;
    layout.slice = d;
    layout.depth = depth;
    layout.vertOffset = vo;
    layout.front = {plotLeft, top, std::max(plotLeft + 1, areaRight - depth), bottom};
    layout.leftRange = leftRange;
    layout.leftStep = step;
    const PlotBox& f = layout.front;
    auto at = [vo](int x, int y, int z) { return QPoint(x + z, y - z + vo); };

    // 4. Walls: back, left, floor.
    const std::optional<QColor> wallPen =
        cs.WallPen.Visible ? std::optional<QColor>(ToQColor(cs.WallPen.Color)) : std::nullopt;
    layout.walls.push_back({QPolygon({at(f.left, f.top, depth), at(f.right, f.top, depth), at(f.right, f.bottom, depth),
                                      at(f.left, f.bottom, depth)}),
                            ToQColor(cs.BackWallColor), wallPen});
    if (depth > 0) {
        layout.walls.push_back({QPolygon({at(f.left, f.top, 0), at(f.left, f.top, depth), at(f.left, f.bottom, depth),
                                          at(f.left, f.bottom, 0)}),
                                ToQColor(cs.LeftWallColor), wallPen});
        layout.walls.push_back({QPolygon({at(f.left, f.bottom, 0), at(f.left, f.bottom, depth),
                                          at(f.right, f.bottom, depth), at(f.right, f.bottom, 0)}),
                                ToQColor(cs.BottomWallColor), wallPen});
    }

    // 5. Left axis: grid along the left wall and across the back wall, the axis line, the labels.
    const LineStyle gridStyle = cs.LeftAxis.Grid.SmallDots                       ? LineStyle::SmallDots
                                : cs.LeftAxis.Grid.Style == TPenStyle::psDashDot ? LineStyle::DashDot
                                                                                 : LineStyle::Solid;
    for (const ValueLabel& label : valueLabels) {
        const int y = layout.yOf(label.value);
        if (cs.LeftAxis.Grid.Visible) {
            layout.grid.push_back({QPolygon({at(f.left, y, 0), at(f.left, y, depth), at(f.right, y, depth)}),
                                   ToQColor(cs.LeftAxis.Grid.Color), gridStyle});
        }
        const int textLeft = f.left - kLeftLabelGap - label.width;
        const int textTop = y + vo - lineHeight / 2;
        layout.leftLabels.push_back({label.text, QRect(textLeft, textTop, label.width, lineHeight),
                                     textTop + metrics.ascent(), QColor(0, 0, 0)});
    }
    if (cs.LeftAxis.Axis.Visible) {
        layout.leftAxisLine =
            ColorRect{QRect(f.left - 1, f.top + vo, 2, f.bottom - f.top + 1), ToQColor(cs.LeftAxis.Axis.Color)};
    }
    if (cs.BottomAxis.Axis.Visible) {
        layout.bottomAxisLine =
            ColorRect{QRect(f.left, f.bottom + vo, f.right - f.left + 1, 2), ToQColor(cs.BottomAxis.Axis.Color)};
    }

    // 6. Bottom axis: the first page of points, with one bar width kept free inside each end.
    int pointCount = 0;
    for (const TChartSeries* s : state.series) {
        pointCount = std::max(pointCount, s->Count());
    }
    const int perPage = cs.MaxPointsPerPage > 0 ? cs.MaxPointsPerPage : std::max(pointCount, 1);
    const int firstIndex = 0;
    const int lastIndex = std::min(firstIndex + perPage - 1, pointCount - 1);
    AxisRange bottomRange;
    bool anyX = false;
    for (const TChartSeries* s : state.series) {
        if (s->Count() <= firstIndex) {
            continue;
        }
        const double lo = s->XValues().Value(firstIndex);
        const double hi = s->XValues().Value(std::min(lastIndex, s->Count() - 1));
        bottomRange =
            anyX ? AxisRange{std::min(bottomRange.min, lo), std::max(bottomRange.max, hi)} : AxisRange{lo, hi};
        anyX = true;
    }
    const TBarSeries* firstBars = nullptr;
    for (const TChartSeries* s : state.series) {
        if ((firstBars = dynamic_cast<const TBarSeries*>(s)) != nullptr) {
            break;
        }
    }
    const int axisLength = f.right - f.left;
    int margin = 0;
    if (state.bottomRange) {
        bottomRange = *state.bottomRange;
        const double perUnit = axisLength / (bottomRange.max - bottomRange.min);
        layout.slot = std::clamp(ToPixel(perUnit), 0, axisLength);
    } else {
        layout.slot = BarSlot(axisLength, lastIndex - firstIndex + 1);
    }
    layout.barWidth = firstBars != nullptr ? BarWidth(layout.slot, firstBars->BarWidthPercent()) : 0;
    if (!state.bottomRange) {
        margin = layout.barWidth;
    }
    layout.bottomRange = bottomRange;
    layout.bottomStart = f.left + margin;
    layout.bottomEnd = f.right - margin;

    bool textLabels = false;
    for (const TChartSeries* s : state.series) {
        textLabels = textLabels || s->HasAnyLabel();
    }
    auto inBottomRange = [&](double x) {
        const double tolerance = (bottomRange.max - bottomRange.min) * 1e-9;
        return x >= bottomRange.min - tolerance && x <= bottomRange.max + tolerance;
    };
    std::vector<LabelCandidate> candidates;
    std::vector<TextItem> candidateItems;
    std::vector<int> candidateIndexes;
    const int firstLabel = state.bottomRange ? 0 : firstIndex;
    const int lastLabel = state.bottomRange ? pointCount - 1 : lastIndex;
    const int labelTop = f.bottom + vo + kBottomLabelGap;
    for (int i = firstLabel; i <= lastLabel; ++i) {
        const TChartSeries* source = nullptr;
        for (const TChartSeries* s : state.series) {
            if (s->Count() > i) {
                source = s;
                break;
            }
        }
        const double x = source->XValues().Value(i);
        if (!inBottomRange(x)) {
            continue;
        }
        std::string text = textLabels ? source->GetPointLabel(i) : FormatFloat(kAxisLabelFormat, x, state.format);
        if (text.empty()) {
            continue;
        }
        const int tw = metrics.textWidth(text);
        const int centre = layout.xOf(x);
        candidates.push_back({centre, tw});
        candidateItems.push_back({std::move(text), QRect(centre - tw / 2, labelTop, tw, lineHeight),
                                  labelTop + metrics.ascent(), QColor(0, 0, 0)});
        candidateIndexes.push_back(i);
    }
    const std::vector<bool> drawn = SeparateLabels(candidates);
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        if (drawn[i]) {
            layout.bottomLabels.push_back(std::move(candidateItems[i]));
            layout.bottomLabelIndexes.push_back(candidateIndexes[i]);
        }
    }

    // 11. Bars and lines stay inside the 3-D box (its right and bottom edge pixels included).
    layout.clip = QPolygon({at(f.left, f.bottom, 0) + QPoint(0, 1), at(f.left, f.top, 0), at(f.left, f.top, depth),
                            at(f.right, f.top, depth) + QPoint(1, 0), at(f.right, f.bottom, depth) + QPoint(1, 1),
                            at(f.right, f.bottom, 0) + QPoint(1, 1)});

    // 7.–9. Series, the first in the back slice; each with its marks.
    const int halfBar = layout.barWidth / 2;
    for (std::size_t si = 0; si < state.series.size(); ++si) {
        const TChartSeries& s = *state.series[si];
        SeriesDrawing drawing;
        drawing.zFront = (seriesSlices - 1 - static_cast<int>(si)) * d;
        drawing.zBack = drawing.zFront + d;
        const int zf = drawing.zFront;
        const int zb = drawing.zBack;
        if (const auto* bars = dynamic_cast<const TBarSeries*>(&s)) {
            const int zero = layout.yOf(0.0);
            const std::optional<QColor> pen =
                bars->BarPen().Visible ? std::optional<QColor>(ToQColor(bars->BarPen().Color)) : std::nullopt;
            for (int i = 0; i < s.Count(); ++i) {
                const QColor color = ToQColor(s.ValueColor(i));
                const int x = layout.xOf(s.XValues().Value(i));
                const int yv = layout.yOf(s.YValues().Value(i));
                const int l = x - halfBar;
                const int r = x + halfBar;
                const int t = std::min(yv, zero);
                const int b = std::max(yv, zero);
                BarItem bar;
                bar.index = i;
                if (zb > zf) {
                    bar.side = {QPolygon({at(r, t, zf), at(r, t, zb), at(r, b, zb), at(r, b, zf)}),
                                bars->Dark3D() ? Darken(color, 128) : color, pen};
                    bar.top = {QPolygon({at(l, t, zf), at(l, t, zb), at(r, t, zb), at(r, t, zf)}),
                               bars->Dark3D() ? Darken(color, 64) : color, pen};
                }
                const bool gradient = bars->BarStyle() == TBarStyle::bsRectGradient;
                bar.front = {QPolygon({at(l, t, zf), at(r, t, zf), at(r, b, zf), at(l, b, zf)}),
                             gradient ? std::nullopt : std::optional<QColor>(color), pen};
                if (gradient) {
                    const QPoint corner = at(l, t, zf);
                    // Inside the outline on every side, so the box's black edge stays visible around it.
                    const QRect inner = pen ? QRect(corner.x() + 1, corner.y() + 1, r - l - 1, b - t - 1)
                                            : QRect(corner.x(), corner.y(), r - l, b - t);
                    bar.gradient = GradientBands(inner, kWhite, color);
                }
                drawing.bars.push_back(std::move(bar));
            }
        } else if (const auto* line = dynamic_cast<const TLineSeries*>(&s)) {
            const std::optional<QColor> pen =
                line->LinePen().Visible ? std::optional<QColor>(ToQColor(line->LinePen().Color)) : std::nullopt;
            for (int i = 1; i < s.Count(); ++i) {
                const int x0 = layout.xOf(s.XValues().Value(i - 1));
                const int y0 = layout.yOf(s.YValues().Value(i - 1));
                const int x1 = layout.xOf(s.XValues().Value(i));
                const int y1 = layout.yOf(s.YValues().Value(i));
                const QColor color = ToQColor(s.ValueColor(i));
                // Steeper than the 45 degrees of the depth offsets: the ribbon's underside faces the viewer.
                const bool steep = y0 - y1 > x1 - x0;
                drawing.ribbons.push_back({QPolygon({at(x0, y0, zf), at(x1, y1, zf), at(x1, y1, zb), at(x0, y0, zb)}),
                                           line->Dark3D() && steep ? Darken(color, 64) : color, pen});
            }
        }
        if (s.Marks().Visible) {
            const int markW = metrics.textWidth("W");
            for (int i = 0; i < s.Count(); ++i) {
                const double xValue = s.XValues().Value(i);
                if (!inBottomRange(xValue)) {
                    continue;
                }
                const double yValue = s.YValues().Value(i);
                const std::string text = s.Marks().Style == TSeriesMarksStyle::smsLabel && s.HasPointLabel(i)
                                             ? s.GetPointLabel(i)
                                             : FormatFloat(s.ValueFormat(), yValue, state.format);
                const std::vector<std::string> lines = SplitLines(text);
                int textW = 0;
                for (const std::string& ln : lines) {
                    textW = std::max(textW, metrics.textWidth(ln));
                }
                const QPoint anchor = at(layout.xOf(xValue), layout.yOf(yValue), zf);
                const int boxW = textW + markW + 2;
                const int boxH = static_cast<int>(lines.size()) * lineHeight + 2;
                const int boxBottom = anchor.y() - s.Marks().ArrowLength;
                MarkItem mark;
                mark.index = i;
                mark.connector = QLine(anchor, QPoint(anchor.x(), boxBottom));
                mark.connectorColor = ToQColor(s.Marks().ArrowColor);
                mark.box = QRect(anchor.x() - boxW / 2, boxBottom - boxH + 1, boxW, boxH);
                mark.back = ToQColor(s.Marks().BackColor);
                mark.frame = QColor(0, 0, 0);
                for (std::size_t k = 0; k < lines.size(); ++k) {
                    const int lw = metrics.textWidth(lines[k]);
                    const int ly = mark.box.y() + 1 + static_cast<int>(k) * lineHeight;
                    mark.lines.push_back({lines[k], QRect(mark.box.x() + (boxW - lw) / 2, ly, lw, lineHeight),
                                          ly + metrics.ascent(), QColor(0, 0, 0)});
                }
                drawing.marks.push_back(std::move(mark));
            }
        }
        layout.series.push_back(std::move(drawing));
    }
    return layout;
}

} // namespace hourlink
