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

// Where a point of the box at depth z lands on the screen: depth runs up and to the right, and everything in
// 3-D stands the vertical offset lower.
[[nodiscard]] QPoint At(const ChartLayout& layout, int x, int y, int z) {
    return QPoint(x + z, y - z + layout.vertOffset);
}

[[nodiscard]] bool InRange(const AxisRange& range, double x) {
    const double tolerance = (range.max - range.min) * 1e-9;
    return x >= range.min - tolerance && x <= range.max + tolerance;
}

[[nodiscard]] std::optional<QColor> PenColor(const TChartPen& pen) {
    return pen.Visible ? std::optional<QColor>(ToQColor(pen.Color)) : std::nullopt;
}

[[nodiscard]] int AreaRight(const QRect& area) {
    return area.x() + area.width();
}

[[nodiscard]] int AreaBottom(const QRect& area) {
    return area.y() + area.height();
}

// The bar width of the first bar series sets the slot's margins, whatever series stand in front of it.
class FirstBars final : public SeriesVisitor {
public:
    void Visit(const TBarSeries& series) override {
        if (m_bars == nullptr) {
            m_bars = &series;
        }
    }
    void Visit(const TLineSeries& /*series*/) override {}
    [[nodiscard]] const TBarSeries* bars() const { return m_bars; }

private:
    const TBarSeries* m_bars = nullptr;
};

// Fills a drawing with the shapes of the series' kind.
class SeriesShapes final : public SeriesVisitor {
public:
    SeriesShapes(const ChartLayout& layout, SeriesDrawing& drawing) : m_layout(layout), m_drawing(drawing) {}
    void Visit(const TBarSeries& series) override {
        m_drawing.bars = LayoutBars(series, m_drawing.zFront, m_drawing.zBack, m_layout);
    }
    void Visit(const TLineSeries& series) override {
        m_drawing.ribbons = LayoutRibbon(series, m_drawing.zFront, m_drawing.zBack, m_layout);
    }

private:
    const ChartLayout& m_layout;
    SeriesDrawing& m_drawing;
};

// The bottom labels of the points firstLabel … lastLabel that lie in the bottom range: the points' own texts when
// any series has one, else the X values; each taken from the first series that has the point.
void PlaceBottomLabels(const ChartState& state, int firstLabel, int lastLabel, const ChartFontMetrics& metrics,
                       ChartLayout& layout) {
    bool textLabels = false;
    for (const TChartSeries* s : state.series) {
        textLabels = textLabels || s->HasAnyLabel();
    }
    std::vector<LabelCandidate> candidates;
    std::vector<TextItem> candidateItems;
    std::vector<int> candidateIndexes;
    const int lineHeight = metrics.lineHeight();
    const int labelTop = layout.front.bottom + layout.vertOffset + kBottomLabelGap;
    for (int i = firstLabel; i <= lastLabel; ++i) {
        const TChartSeries* source = nullptr;
        for (const TChartSeries* s : state.series) {
            if (s->Count() > i) {
                source = s;
                break;
            }
        }
        const double x = source->XValues().Value(i);
        if (!InRange(layout.bottomRange, x)) {
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
    layout.bottomLabels.clear();
    layout.bottomLabelIndexes.clear();
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        if (drawn[i]) {
            layout.bottomLabels.push_back(std::move(candidateItems[i]));
            layout.bottomLabelIndexes.push_back(candidateIndexes[i]);
        }
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
    ChartLayout layout;
    LayoutPanel(*state.settings, size, layout);
    const int boxTop = LayoutTitle(*state.title, metrics, layout);
    const std::vector<ValueLabel> valueLabels = LayoutBox(state, boxTop, metrics, layout);
    LayoutWalls(*state.settings, layout);
    LayoutLeftAxis(*state.settings, valueLabels, metrics, layout);
    LayoutBottomAxis(state, metrics, layout);
    // The first series stands in the back slice.
    const int count = static_cast<int>(state.series.size());
    for (int i = 0; i < count; ++i) {
        layout.series.push_back(
            LayoutSeries(*state.series[static_cast<std::size_t>(i)], count - 1 - i, state.format, metrics, layout));
    }
    return layout;
}

void LayoutPanel(const ChartSettings& settings, QSize size, ChartLayout& layout) {
    layout.size = size;
    const int w = size.width();
    const int h = size.height();
    // The gradient over everything, then the bevels and the ring over its edge.
    layout.background.clear();
    if (settings.Gradient.Visible) {
        const bool bottomIsEnd = settings.Gradient.Direction == TGradientDirection::gdBottomTop;
        const QColor bottom = ToQColor(bottomIsEnd ? settings.Gradient.EndColor : settings.Gradient.StartColor);
        const QColor top = ToQColor(bottomIsEnd ? settings.Gradient.StartColor : settings.Gradient.EndColor);
        layout.background = GradientBands(QRect(0, 0, w, h), bottom, top);
    } else {
        layout.background.push_back({QRect(0, 0, w, h), ToQColor(settings.Color)});
    }
    layout.frame.clear();
    int inset = 0;
    AddBevel(layout.frame, size, inset, settings.BevelWidth, settings.BevelOuter);
    inset += settings.BevelOuter == TPanelBevel::bvNone ? 0 : settings.BevelWidth;
    AddRing(layout.frame, size, inset, settings.BorderWidth, ToQColor(settings.Color));
    inset += settings.BorderWidth;
    AddBevel(layout.frame, size, inset, settings.BevelWidth, settings.BevelInner);

    const int left = settings.BorderWidth + w * settings.MarginLeft / 100;
    const int right = w - settings.BorderWidth - w * settings.MarginRight / 100;
    const int top = settings.BorderWidth + h * settings.MarginTop / 100;
    const int bottom = h - settings.BorderWidth - h * settings.MarginBottom / 100;
    layout.area = QRect(left, top, right - left, bottom - top);
}

int LayoutTitle(const TChartTitle& title, const ChartFontMetrics& metrics, ChartLayout& layout) {
    const int lineHeight = metrics.lineHeight();
    const int areaLeft = layout.area.x();
    const int areaRight = AreaRight(layout.area);
    // Each line ends half a "W" inside the area; trailing blanks are text like any other.
    const int halfW = metrics.textWidth("W") / 2;
    const std::vector<std::string>& lines = title.Text().Lines();
    layout.title.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int tw = metrics.textWidth(lines[i]);
        int x = areaLeft + halfW;
        if (title.Alignment() == TAlignment::taRightJustify) {
            x = areaRight - halfW - tw;
        } else if (title.Alignment() == TAlignment::taCenter) {
            x = (areaLeft + areaRight - tw) / 2;
        }
        const int y = layout.area.y() + static_cast<int>(i) * lineHeight;
        layout.title.push_back(
            {lines[i], QRect(x, y, tw, lineHeight), y + metrics.ascent(), ToQColor(title.FontColor())});
    }
    return layout.area.y() + static_cast<int>(lines.size()) * lineHeight + (lines.empty() ? 0 : kTitleGap);
}

std::vector<ValueLabel> LayoutBox(const ChartState& state, int boxTop, const ChartFontMetrics& metrics,
                                  ChartLayout& layout) {
    const ChartSettings& settings = *state.settings;
    const int lineHeight = metrics.lineHeight();
    const int areaLeft = layout.area.x();
    const int areaRight = AreaRight(layout.area);
    const int vo = settings.View3DOptions.VertOffset;
    const int slices = std::max<int>(1, static_cast<int>(state.series.size()));
    const int bottom = std::max(boxTop + 1, AreaBottom(layout.area) - lineHeight - kBottomLabelGap - vo);
    auto sliceFor = [&](int plotLeft) {
        return settings.View3D ? DepthSlice(areaRight - plotLeft, settings.Chart3DPercent) : 0;
    };
    const AxisRange range = state.leftRange ? *state.leftRange : AutomaticLeftRange(state.series);

    // The depth depends on the plot's width, which depends on the value labels' width, which depends on their
    // step and so on the box's height; a few rounds settle it.
    int plotLeft = areaLeft;
    int slice = sliceFor(plotLeft);
    int top = 0;
    double step = kMinStep;
    std::vector<ValueLabel> labels;
    bool labelled = false;
    auto placeValueLabels = [&] {
        top = std::min(boxTop + slices * slice, bottom - 1);
        const double newStep = AxisStep(range.max - range.min, bottom - top, lineHeight);
        // The rounds mostly keep the step, and with it the labels: formatting them again was a twentieth of a
        // second's repaint.
        if (!labelled || newStep != step) {
            labels = ValueLabels(range, newStep, state.format, metrics);
            labelled = true;
        }
        step = newStep;
    };
    for (int round = 0; round < 4; ++round) {
        placeValueLabels();
        int widest = 0;
        for (const ValueLabel& label : labels) {
            widest = std::max(widest, label.width);
        }
        const int newLeft = areaLeft + (labels.empty() ? 0 : widest + kLeftLabelGap);
        const int newSlice = sliceFor(newLeft);
        const bool settled = newLeft == plotLeft && newSlice == slice;
        plotLeft = newLeft;
        slice = newSlice;
        if (settled) {
            break;
        }
    }
    placeValueLabels();

    const int depth = slices * slice;
    layout.plotWidth = areaRight - plotLeft;
    layout.slice = slice;
    layout.depth = depth;
    layout.vertOffset = vo;
    layout.front = {plotLeft, top, std::max(plotLeft + 1, areaRight - depth), bottom};
    layout.leftRange = range;
    layout.leftStep = step;

    // Bars and lines stay inside the box, its right and bottom edge pixels included.
    const PlotBox& f = layout.front;
    layout.clip = QPolygon({At(layout, f.left, f.bottom, 0) + QPoint(0, 1), At(layout, f.left, f.top, 0),
                            At(layout, f.left, f.top, depth), At(layout, f.right, f.top, depth) + QPoint(1, 0),
                            At(layout, f.right, f.bottom, depth) + QPoint(1, 1),
                            At(layout, f.right, f.bottom, 0) + QPoint(1, 1)});
    return labels;
}

void LayoutWalls(const ChartSettings& settings, ChartLayout& layout) {
    const PlotBox& f = layout.front;
    const int depth = layout.depth;
    const std::optional<QColor> pen = PenColor(settings.WallPen);
    auto at = [&layout](int x, int y, int z) { return At(layout, x, y, z); };
    layout.walls.clear();
    layout.walls.push_back({QPolygon({at(f.left, f.top, depth), at(f.right, f.top, depth), at(f.right, f.bottom, depth),
                                      at(f.left, f.bottom, depth)}),
                            ToQColor(settings.BackWallColor), pen});
    if (depth > 0) {
        layout.walls.push_back({QPolygon({at(f.left, f.top, 0), at(f.left, f.top, depth), at(f.left, f.bottom, depth),
                                          at(f.left, f.bottom, 0)}),
                                ToQColor(settings.LeftWallColor), pen});
        layout.walls.push_back({QPolygon({at(f.left, f.bottom, 0), at(f.left, f.bottom, depth),
                                          at(f.right, f.bottom, depth), at(f.right, f.bottom, 0)}),
                                ToQColor(settings.BottomWallColor), pen});
    }
}

void LayoutLeftAxis(const ChartSettings& settings, const std::vector<ValueLabel>& labels,
                    const ChartFontMetrics& metrics, ChartLayout& layout) {
    const PlotBox& f = layout.front;
    const int lineHeight = metrics.lineHeight();
    const TChartGridPen& grid = settings.LeftAxis.Grid;
    const LineStyle gridStyle = grid.SmallDots                       ? LineStyle::SmallDots
                                : grid.Style == TPenStyle::psDashDot ? LineStyle::DashDot
                                                                     : LineStyle::Solid;
    layout.grid.clear();
    layout.leftLabels.clear();
    for (const ValueLabel& label : labels) {
        const int y = layout.yOf(label.value);
        if (grid.Visible) {
            layout.grid.push_back({QPolygon({At(layout, f.left, y, 0), At(layout, f.left, y, layout.depth),
                                             At(layout, f.right, y, layout.depth)}),
                                   ToQColor(grid.Color), gridStyle});
        }
        const int textLeft = f.left - kLeftLabelGap - label.width;
        const int textTop = y + layout.vertOffset - lineHeight / 2;
        layout.leftLabels.push_back({label.text, QRect(textLeft, textTop, label.width, lineHeight),
                                     textTop + metrics.ascent(), QColor(0, 0, 0)});
    }
    layout.leftAxisLine.reset();
    if (settings.LeftAxis.Axis.Visible) {
        layout.leftAxisLine = ColorRect{QRect(f.left - 1, f.top + layout.vertOffset, 2, f.bottom - f.top + 1),
                                        ToQColor(settings.LeftAxis.Axis.Color)};
    }
}

void LayoutBottomAxis(const ChartState& state, const ChartFontMetrics& metrics, ChartLayout& layout) {
    const ChartSettings& settings = *state.settings;
    const PlotBox& f = layout.front;

    // The first page of points, with one bar width kept free inside each end.
    int pointCount = 0;
    for (const TChartSeries* s : state.series) {
        pointCount = std::max(pointCount, s->Count());
    }
    const int perPage = settings.MaxPointsPerPage > 0 ? settings.MaxPointsPerPage : std::max(pointCount, 1);
    const int firstIndex = 0;
    const int lastIndex = std::min(firstIndex + perPage - 1, pointCount - 1);
    AxisRange range;
    bool anyX = false;
    for (const TChartSeries* s : state.series) {
        if (s->Count() <= firstIndex) {
            continue;
        }
        const double lo = s->XValues().Value(firstIndex);
        const double hi = s->XValues().Value(std::min(lastIndex, s->Count() - 1));
        range = anyX ? AxisRange{std::min(range.min, lo), std::max(range.max, hi)} : AxisRange{lo, hi};
        anyX = true;
    }
    FirstBars firstBars;
    for (const TChartSeries* s : state.series) {
        s->Accept(firstBars);
    }
    const int axisLength = f.right - f.left;
    if (state.bottomRange) {
        range = *state.bottomRange;
        const double perUnit = axisLength / (range.max - range.min);
        layout.slot = std::clamp(ToPixel(perUnit), 0, axisLength);
    } else {
        layout.slot = BarSlot(axisLength, lastIndex - firstIndex + 1);
    }
    layout.barWidth = firstBars.bars() != nullptr ? BarWidth(layout.slot, firstBars.bars()->BarWidthPercent()) : 0;
    const int margin = state.bottomRange ? 0 : layout.barWidth;
    layout.bottomRange = range;
    layout.bottomStart = f.left + margin;
    layout.bottomEnd = f.right - margin;

    PlaceBottomLabels(state, state.bottomRange ? 0 : firstIndex, state.bottomRange ? pointCount - 1 : lastIndex,
                      metrics, layout);

    layout.bottomAxisLine.reset();
    if (settings.BottomAxis.Axis.Visible) {
        layout.bottomAxisLine = ColorRect{QRect(f.left, f.bottom + layout.vertOffset, f.right - f.left + 1, 2),
                                          ToQColor(settings.BottomAxis.Axis.Color)};
    }
}

SeriesDrawing LayoutSeries(const TChartSeries& series, int slicesInFront, const FormatSettings& format,
                           const ChartFontMetrics& metrics, const ChartLayout& layout) {
    SeriesDrawing drawing;
    drawing.zFront = slicesInFront * layout.slice;
    drawing.zBack = drawing.zFront + layout.slice;
    SeriesShapes shapes(layout, drawing);
    series.Accept(shapes);
    drawing.marks = LayoutMarks(series, drawing.zFront, format, metrics, layout);
    return drawing;
}

std::vector<BarItem> LayoutBars(const TBarSeries& series, int zFront, int zBack, const ChartLayout& layout) {
    std::vector<BarItem> bars;
    const int zero = layout.yOf(0.0);
    const int halfBar = layout.barWidth / 2;
    const std::optional<QColor> pen = PenColor(series.BarPen());
    const bool gradient = series.BarStyle() == TBarStyle::bsRectGradient;
    auto at = [&layout](int x, int y, int z) { return At(layout, x, y, z); };
    for (int i = 0; i < series.Count(); ++i) {
        const QColor color = ToQColor(series.ValueColor(i));
        const int x = layout.xOf(series.XValues().Value(i));
        const int yv = layout.yOf(series.YValues().Value(i));
        const int l = x - halfBar;
        const int r = x + halfBar;
        const int t = std::min(yv, zero);
        const int b = std::max(yv, zero);
        BarItem bar;
        bar.index = i;
        if (zBack > zFront) {
            bar.side = {QPolygon({at(r, t, zFront), at(r, t, zBack), at(r, b, zBack), at(r, b, zFront)}),
                        series.Dark3D() ? Darken(color, 128) : color, pen};
            bar.top = {QPolygon({at(l, t, zFront), at(l, t, zBack), at(r, t, zBack), at(r, t, zFront)}),
                       series.Dark3D() ? Darken(color, 64) : color, pen};
        }
        bar.front = {QPolygon({at(l, t, zFront), at(r, t, zFront), at(r, b, zFront), at(l, b, zFront)}),
                     gradient ? std::nullopt : std::optional<QColor>(color), pen};
        if (gradient) {
            const QPoint corner = at(l, t, zFront);
            // Inside the outline on every side, so the box's black edge stays visible around it.
            const QRect inner = pen ? QRect(corner.x() + 1, corner.y() + 1, r - l - 1, b - t - 1)
                                    : QRect(corner.x(), corner.y(), r - l, b - t);
            if (!inner.isEmpty()) {
                bar.gradient = Gradient{inner, kWhite, color};
            }
        }
        bars.push_back(std::move(bar));
    }
    return bars;
}

std::vector<Face> LayoutRibbon(const TLineSeries& series, int zFront, int zBack, const ChartLayout& layout) {
    std::vector<Face> ribbon;
    const std::optional<QColor> pen = PenColor(series.LinePen());
    auto at = [&layout](int x, int y, int z) { return At(layout, x, y, z); };
    for (int i = 1; i < series.Count(); ++i) {
        const int x0 = layout.xOf(series.XValues().Value(i - 1));
        const int y0 = layout.yOf(series.YValues().Value(i - 1));
        const int x1 = layout.xOf(series.XValues().Value(i));
        const int y1 = layout.yOf(series.YValues().Value(i));
        const QColor color = ToQColor(series.ValueColor(i));
        // Steeper than the 45 degrees of the depth offsets: the ribbon's underside faces the viewer.
        const bool steep = y0 - y1 > x1 - x0;
        ribbon.push_back({QPolygon({at(x0, y0, zFront), at(x1, y1, zFront), at(x1, y1, zBack), at(x0, y0, zBack)}),
                          series.Dark3D() && steep ? Darken(color, 64) : color, pen});
    }
    return ribbon;
}

std::vector<MarkItem> LayoutMarks(const TChartSeries& series, int z, const FormatSettings& format,
                                  const ChartFontMetrics& metrics, const ChartLayout& layout) {
    std::vector<MarkItem> marks;
    const TSeriesMarks& style = series.Marks();
    if (!style.Visible) {
        return marks;
    }
    const int lineHeight = metrics.lineHeight();
    const int markW = metrics.textWidth("W");
    for (int i = 0; i < series.Count(); ++i) {
        const double xValue = series.XValues().Value(i);
        if (!InRange(layout.bottomRange, xValue)) {
            continue;
        }
        const double yValue = series.YValues().Value(i);
        const std::string text = style.Style == TSeriesMarksStyle::smsLabel && series.HasPointLabel(i)
                                     ? series.GetPointLabel(i)
                                     : FormatFloat(series.ValueFormat(), yValue, format);
        const std::vector<std::string> lines = SplitLines(text);
        int textW = 0;
        for (const std::string& line : lines) {
            textW = std::max(textW, metrics.textWidth(line));
        }
        const QPoint anchor = At(layout, layout.xOf(xValue), layout.yOf(yValue), z);
        const int boxW = textW + markW + 2;
        const int boxH = static_cast<int>(lines.size()) * lineHeight + 2;
        const int boxBottom = anchor.y() - style.ArrowLength;
        MarkItem mark;
        mark.index = i;
        mark.connector = QLine(anchor, QPoint(anchor.x(), boxBottom));
        mark.connectorColor = ToQColor(style.ArrowColor);
        mark.box = QRect(anchor.x() - boxW / 2, boxBottom - boxH + 1, boxW, boxH);
        mark.back = ToQColor(style.BackColor);
        mark.frame = QColor(0, 0, 0);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            const int lw = metrics.textWidth(lines[k]);
            const int ly = mark.box.y() + 1 + static_cast<int>(k) * lineHeight;
            mark.lines.push_back({lines[k], QRect(mark.box.x() + (boxW - lw) / 2, ly, lw, lineHeight),
                                  ly + metrics.ascent(), QColor(0, 0, 0)});
        }
        marks.push_back(std::move(mark));
    }
    return marks;
}

} // namespace hourlink
