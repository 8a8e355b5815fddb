#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QColor>
#include <QLine>
#include <QPolygon>
#include <QRect>
#include <QSize>

#include "chart/ChartSeries.h"
#include "chart/ChartSettings.h"
#include "chart/ChartTitle.h"
#include "runtime/FormatSettings.h"

namespace hourlink {

// The measures of the chart's one font that the layout needs. The widget answers them from QFontMetrics;
// tests can answer them with fixed numbers and lay out a chart without a display.
class ChartFontMetrics {
public:
    virtual ~ChartFontMetrics() = default;
    // Advance width of a UTF-8 text, trailing blanks included.
    [[nodiscard]] virtual int textWidth(const std::string& text) const = 0;
    [[nodiscard]] virtual int lineHeight() const = 0;
    [[nodiscard]] virtual int ascent() const = 0;
};

struct AxisRange {
    double min = 0.0;
    double max = 0.0;
    bool operator==(const AxisRange&) const = default;
};

// Everything the picture depends on apart from the panel's size and the font.
struct ChartState {
    const ChartSettings* settings = nullptr;
    const TChartTitle* title = nullptr;
    std::vector<const TChartSeries*> series; // in series order
    FormatSettings format;
    // Set by a zoom or a pan; otherwise each axis takes its automatic range.
    std::optional<AxisRange> leftRange;
    std::optional<AxisRange> bottomRange;
};

// Filled pixels rect.left() … rect.right(), rect.top() … rect.bottom().
struct ColorRect {
    QRect rect;
    QColor color;
    bool operator==(const ColorRect&) const = default;
};

// A polygon filled (pixel centres inside it) and then outlined along its edges by a 1-pixel pen.
struct Face {
    QPolygon polygon;
    std::optional<QColor> fill;
    std::optional<QColor> outline;
    bool operator==(const Face&) const = default;
};

struct TextItem {
    std::string text;
    QRect box;    // advance width × line height
    int baseline; // y of the baseline
    QColor color;
    bool operator==(const TextItem&) const = default;
};

enum class LineStyle { Solid, SmallDots, DashDot };

// A 1-pixel polyline.
struct LineItem {
    QPolygon points;
    QColor color;
    LineStyle style = LineStyle::Solid;
    bool operator==(const LineItem&) const = default;
};

// A vertical gradient over a rectangle, from `bottom` in its lowest row to `top` in its highest, drawn as the
// bands GradientBands gives. Kept as these three, so a layout that compares its bars compares three values.
struct Gradient {
    QRect rect;
    QColor bottom;
    QColor top;
    bool operator==(const Gradient&) const = default;
};

struct BarItem {
    int index = 0;
    Face side;
    Face top;
    Face front;
    std::optional<Gradient> gradient; // over the front face, drawn after it; none on a bar without height
    bool operator==(const BarItem&) const = default;
};

struct MarkItem {
    int index = 0;
    QLine connector;
    QColor connectorColor;
    QRect box; // frame included
    QColor back;
    QColor frame;
    std::vector<TextItem> lines;
    bool operator==(const MarkItem&) const = default;
};

struct SeriesDrawing {
    int zFront = 0; // the series' depth slice
    int zBack = 0;
    std::vector<BarItem> bars;
    std::vector<Face> ribbons;
    std::vector<MarkItem> marks;
};

// Edges of the plot's front plane, before the vertical offset of everything placed in 3-D.
struct PlotBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const PlotBox&) const = default;
};

// The whole picture as positions and colours; ChartPainter draws it in the order of the members:
// background, frame, title, walls, grid, axis lines, labels, then each series (clipped to `clip`) and its
// marks (not clipped).
struct ChartLayout {
    QSize size;
    std::vector<ColorRect> background;
    std::vector<ColorRect> frame; // bevels and the border ring
    QRect area;                   // the panel less border and margins
    std::vector<TextItem> title;

    PlotBox front;
    int plotWidth = 0; // width for the 3-D box: from the left axis to the area's right edge
    int slice = 0;     // depth of one series
    int depth = 0;     // all slices together
    int vertOffset = 0;
    std::vector<Face> walls; // back, left, floor

    AxisRange leftRange;
    double leftStep = 0.0;
    std::vector<LineItem> grid;
    std::optional<ColorRect> leftAxisLine;
    std::optional<ColorRect> bottomAxisLine;
    std::vector<TextItem> leftLabels;

    AxisRange bottomRange;
    int bottomStart = 0; // x of bottomRange.min and bottomRange.max on the front plane
    int bottomEnd = 0;
    int slot = 0;
    int barWidth = 0;
    std::vector<int> bottomLabelIndexes; // the point index of each bottom label
    std::vector<TextItem> bottomLabels;

    QPolygon clip;
    std::vector<SeriesDrawing> series;

    // Front-plane positions of axis values, before the vertical offset.
    [[nodiscard]] int xOf(double value) const;
    [[nodiscard]] int yOf(double value) const;
    // Axis values at a position on the screen, for zooming and panning.
    [[nodiscard]] double xValueAt(int x) const;
    [[nodiscard]] double yValueAt(int y) const;
};

// Lays out the whole picture by taking the steps below in their order.
[[nodiscard]] ChartLayout ComputeChartLayout(const ChartState& state, QSize size, const ChartFontMetrics& metrics);

// The steps of the layout. Each fills its own members of the layout from the settings and from what the steps
// before it filled, so each can be tried on a layout prepared by hand.

// The panel: its size, background, bevels and border ring, and the area the margins leave inside them.
void LayoutPanel(const ChartSettings& settings, QSize size, ChartLayout& layout);
// The title's lines at the top of the area. Answers the y where the 3-D box may begin below them.
[[nodiscard]] int LayoutTitle(const TChartTitle& title, const ChartFontMetrics& metrics, ChartLayout& layout);

// A label of the value axis with its advance width.
struct ValueLabel {
    double value = 0.0;
    std::string text;
    int width = 0;
};
// The 3-D box between the title and the bottom labels: the front plane, the depth of the slices, the value
// axis's range and step, and the clip of the series. Answers the value labels the box was made to hold.
[[nodiscard]] std::vector<ValueLabel> LayoutBox(const ChartState& state, int boxTop, const ChartFontMetrics& metrics,
                                                ChartLayout& layout);
// The back wall and, when the box has depth, the left wall and the floor.
void LayoutWalls(const ChartSettings& settings, ChartLayout& layout);
// The grid along the left wall and across the back wall, the value labels and the left axis line.
void LayoutLeftAxis(const ChartSettings& settings, const std::vector<ValueLabel>& labels,
                    const ChartFontMetrics& metrics, ChartLayout& layout);
// The first page of points along the bottom: its range, the slot and bar width, the labels that keep clear of
// one another, and the bottom axis line.
void LayoutBottomAxis(const ChartState& state, const ChartFontMetrics& metrics, ChartLayout& layout);
// One series, `slicesInFront` depth slices behind the front plane: its shapes by its kind, then its marks.
[[nodiscard]] SeriesDrawing LayoutSeries(const TChartSeries& series, int slicesInFront, const FormatSettings& format,
                                         const ChartFontMetrics& metrics, const ChartLayout& layout);
// The shapes of each kind of series between the depths zFront and zBack.
[[nodiscard]] std::vector<BarItem> LayoutBars(const TBarSeries& series, int zFront, int zBack,
                                              const ChartLayout& layout);
[[nodiscard]] std::vector<Face> LayoutRibbon(const TLineSeries& series, int zFront, int zBack,
                                             const ChartLayout& layout);
// The boxes above the points inside the bottom range, standing on the series' front plane at depth z; none
// when the series' marks are hidden.
[[nodiscard]] std::vector<MarkItem> LayoutMarks(const TChartSeries& series, int z, const FormatSettings& format,
                                                const ChartFontMetrics& metrics, const ChartLayout& layout);

// Depth of one series' slice: round(plotWidth × percent × 0.001), halves to even.
[[nodiscard]] int DepthSlice(int plotWidth, int chart3DPercent);
// Room per bar: the axis length shared by the page's points plus one slot for the two end margins.
[[nodiscard]] int BarSlot(int axisLength, int pointsOnPage);
// round(slot × percent / 100), halves to even, made even by adding 1 when odd.
[[nodiscard]] int BarWidth(int slot, int barWidthPercent);
// A vertical gradient as horizontal bands: one per pixel row, at most 256, band k (0 at the bottom) in
// bottom + (top − bottom) × k / (n − 1) per component in integer arithmetic.
[[nodiscard]] std::vector<ColorRect> GradientBands(const QRect& rect, const QColor& bottom, const QColor& top);
[[nodiscard]] inline std::vector<ColorRect> GradientBands(const Gradient& g) {
    return GradientBands(g.rect, g.bottom, g.top);
}
// Label step of the value axis: 1, 2 or 5 times a power of ten, so that labels stand a line and a tenth apart.
[[nodiscard]] double AxisStep(double span, int axisPixels, int lineHeight);

struct LabelCandidate {
    int centre = 0;
    int width = 0;
};
// Which labels of the bottom axis are drawn, from the lowest index up: one is left out when it would crowd the
// last one drawn (LabelsSeparation 10 %).
[[nodiscard]] std::vector<bool> SeparateLabels(const std::vector<LabelCandidate>& labels);

} // namespace hourlink
