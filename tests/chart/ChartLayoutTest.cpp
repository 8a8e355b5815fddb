#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "chart/ChartLayout.h"

namespace hourlink {
namespace {

// Every character 6 pixels wide, lines 13 high: numbers a test can work out by hand.
class FixedMetrics final : public ChartFontMetrics {
public:
    [[nodiscard]] int textWidth(const std::string& text) const override { return 6 * static_cast<int>(text.size()); }
    [[nodiscard]] int lineHeight() const override { return 13; }
    [[nodiscard]] int ascent() const override { return 10; }
};

ChartSettings WeekLook() {
    ChartSettings s;
    s.Gradient = {true, TGradientDirection::gdBottomTop, clWhite, clAqua};
    s.BevelOuter = s.BevelInner = TPanelBevel::bvLowered;
    s.BevelWidth = s.BorderWidth = 2;
    s.MarginRight = 10;
    s.BackWallColor = clGray;
    s.BottomWallColor = 0xC08080;
    s.LeftAxis.Grid = {true, clMaroon, TPenStyle::psDashDot, true};
    s.BottomAxis.Axis.Visible = false;
    s.BottomAxis.Grid.Visible = false;
    s.MaxPointsPerPage = 7;
    s.View3DOptions.VertOffset = 3;
    return s;
}

class LayoutTest : public ::testing::Test {
protected:
    LayoutTest() {
        bars.SetBarStyle(TBarStyle::bsRectGradient);
        TSeriesMarks marks;
        marks.Visible = true;
        line.SetMarks(marks);
        line.SetValueFormat("#,##0.##");
        title.SetAlignment(TAlignment::taRightJustify);
    }

    void Fill(const std::vector<double>& hours, const std::string& label = "1:00:00") {
        bars.Clear();
        line.Clear();
        double sum = 0.0;
        for (std::size_t i = 0; i < hours.size(); ++i) {
            sum += hours[i];
            bars.Add(hours[i], label);
            line.Add(sum / static_cast<double>(i + 1), "0:30:00");
        }
    }

    ChartLayout Lay(QSize size = QSize(553, 297)) {
        ChartState state;
        state.settings = &settings;
        state.title = &title;
        state.series = {&bars, &line};
        return ComputeChartLayout(state, size, metrics);
    }

    ChartSettings settings = WeekLook();
    TChartTitle title;
    TBarSeries bars{0xC08000};
    TLineSeries line{clRed};
    FixedMetrics metrics;
};

struct BarWidthCase {
    int slot;
    int width;
};
class BarWidthRule : public ::testing::TestWithParam<BarWidthCase> {};

TEST_P(BarWidthRule, SeventyPercentRoundedHalfToEvenThenMadeEven) {
    EXPECT_EQ(BarWidth(GetParam().slot, 70), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Slots, BarWidthRule,
                         ::testing::Values(BarWidthCase{55, 38}, // 38.5 rounds to 38
                                           BarWidthCase{65, 46}, // 45.5 rounds to 46
                                           BarWidthCase{53, 38}, // 37.1 -> 37, odd -> 38
                                           BarWidthCase{57, 40}, // 39.9 -> 40
                                           BarWidthCase{60, 42}, // exactly 42
                                           BarWidthCase{15, 10}, // 10.5 rounds to 10
                                           BarWidthCase{0, 0}));

struct SliceCase {
    int plotWidth;
    int slice;
};
class DepthSliceRule : public ::testing::TestWithParam<SliceCase> {};

TEST_P(DepthSliceRule, FifteenThousandthsRoundedHalfToEven) {
    EXPECT_EQ(DepthSlice(GetParam().plotWidth, 15), GetParam().slice);
}

INSTANTIATE_TEST_SUITE_P(Widths, DepthSliceRule,
                         ::testing::Values(SliceCase{500, 8}, // 7.5
                                           SliceCase{300, 4}, // 4.5
                                           SliceCase{700, 10}, SliceCase{100, 2}, SliceCase{478, 7}, SliceCase{433, 6},
                                           SliceCase{434, 7}));

TEST_F(LayoutTest, DepthSliceOfAPlotWidthThatRoundsAHalf) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    bool sawEven = false;
    bool sawOdd = false;
    for (int width = 400; width <= 900; ++width) {
        const ChartLayout layout = Lay(QSize(width, 297));
        ASSERT_EQ(layout.plotWidth, layout.area.right() + 1 - layout.front.left);
        if (layout.plotWidth * 15 % 1000 != 500) {
            continue;
        }
        const int whole = layout.plotWidth * 15 / 1000;
        EXPECT_EQ(layout.slice, whole % 2 == 0 ? whole : whole + 1) << "plot width " << layout.plotWidth;
        (whole % 2 == 0 ? sawEven : sawOdd) = true;
    }
    EXPECT_TRUE(sawEven && sawOdd);
}

TEST_F(LayoutTest, BarsInTheBackSliceLineInTheFront) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    const ChartLayout layout = Lay();
    ASSERT_EQ(layout.series.size(), 2u);
    EXPECT_EQ(layout.slice, DepthSlice(layout.plotWidth, 15));
    EXPECT_EQ(layout.depth, 2 * layout.slice);
    EXPECT_EQ(layout.series[0].zFront, layout.slice);
    EXPECT_EQ(layout.series[0].zBack, 2 * layout.slice);
    EXPECT_EQ(layout.series[1].zFront, 0);
    EXPECT_EQ(layout.series[1].zBack, layout.slice);
    // The front plane leaves room for the depth inside the area.
    EXPECT_EQ(layout.front.right + layout.depth, layout.area.right() + 1);
    // The back wall stands at the full depth, moved down by the vertical offset.
    const QRect back = layout.walls[0].polygon.boundingRect();
    EXPECT_EQ(back.left(), layout.front.left + layout.depth);
    EXPECT_EQ(back.top(), layout.front.top - layout.depth + 3);
}

TEST_F(LayoutTest, SlotEvenBarWidthAndOneBarWidthAtEachEnd) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    const ChartLayout layout = Lay();
    const int axis = layout.front.right - layout.front.left;
    EXPECT_EQ(layout.slot, axis / 8);
    EXPECT_EQ(layout.barWidth % 2, 0);
    EXPECT_EQ(layout.barWidth, BarWidth(layout.slot, 70));
    const auto& bars0 = layout.series[0].bars;
    ASSERT_EQ(bars0.size(), 7u);
    const int bw = layout.barWidth;
    for (const BarItem& bar : bars0) {
        const QRect face = bar.front.polygon.boundingRect();
        EXPECT_EQ(face.width() - 1, bw) << "front face edges one bar width apart";
    }
    // Point 0 stands one bar width inside the left end, point 6 one bar width inside the right end.
    EXPECT_EQ(layout.xOf(0), layout.front.left + bw);
    EXPECT_EQ(layout.xOf(6), layout.front.right - bw);
    const int z = layout.series[0].zFront;
    EXPECT_EQ(bars0.front().front.polygon.boundingRect().left() - z, layout.front.left + bw / 2);
    EXPECT_EQ(bars0.back().front.polygon.boundingRect().right() - z, layout.front.right - bw / 2);
}

TEST_F(LayoutTest, TitleLinesEndingInSevenBlanksEndTogether) {
    title.Text().Add("ieri               oggi       ");
    title.Text().Add("gio               ven               sab               dom               lun               "
                     "mar               mer       ");
    Fill({1, 2, 3, 4, 5, 6, 7});
    const ChartLayout layout = Lay();
    ASSERT_EQ(layout.title.size(), 2u);
    const int rightEdge = layout.area.right() + 1 - 6 / 2;
    for (const TextItem& t : layout.title) {
        EXPECT_EQ(t.box.x() + t.box.width(), rightEdge) << t.text;
        EXPECT_EQ(t.color, QColor(0, 0, 255));
    }
    EXPECT_EQ(layout.title[1].box.y() - layout.title[0].box.y(), 13);
    // Trailing blanks count: the last words "oggi" and "mer" end seven blanks before the edge, together.
    EXPECT_EQ(layout.title[0].box.x() + 6 * 23, layout.title[1].box.x() + 6 * 111);
    // The plot (the top of the back wall) begins below the last title line.
    EXPECT_GE(layout.walls[0].polygon.boundingRect().top(), layout.title[1].box.bottom());
}

TEST_F(LayoutTest, LeftAxisRunsFromTheLesserOfZeroAndTheLowestToTheHighest) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(Lay().leftRange, (AxisRange{0.0, 7.0}));
    bars.SetYValue(2, -2.5);
    line.SetYValue(6, 9.0);
    const ChartLayout layout = Lay();
    EXPECT_EQ(layout.leftRange, (AxisRange{-2.5, 9.0}));
    EXPECT_EQ(layout.yOf(9.0), layout.front.top);
    EXPECT_EQ(layout.yOf(-2.5), layout.front.bottom);
    ASSERT_FALSE(layout.leftLabels.empty());
    EXPECT_EQ(layout.leftLabels.size(), layout.grid.size());
    for (const TextItem& label : layout.leftLabels) {
        EXPECT_LT(label.box.right(), layout.front.left) << "labels stand left of the axis";
    }
}

TEST_F(LayoutTest, ValueLabelsUseTheUsersSeparators) {
    Fill({1200, 2400, 3600, 1, 1, 1, 1});
    ChartState state;
    state.settings = &settings;
    state.title = &title;
    state.series = {&bars, &line};
    state.format.thousandSeparator = ".";
    state.format.decimalSeparator = ",";
    const ChartLayout layout = ComputeChartLayout(state, QSize(553, 297), metrics);
    std::vector<std::string> texts;
    for (const TextItem& t : layout.leftLabels) {
        texts.push_back(t.text);
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), "2.000"), texts.end()) << ::testing::PrintToString(texts);
}

TEST_F(LayoutTest, GridRunsAlongTheLeftWallAndAcrossTheBackWall) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    const ChartLayout layout = Lay();
    ASSERT_FALSE(layout.grid.empty());
    for (const LineItem& g : layout.grid) {
        ASSERT_EQ(g.points.size(), 3);
        EXPECT_EQ(g.style, LineStyle::SmallDots);
        EXPECT_EQ(g.color, QColor(128, 0, 0));
        EXPECT_EQ(g.points[0].x(), layout.front.left);
        EXPECT_EQ(g.points[1] - g.points[0], QPoint(layout.depth, -layout.depth));
        EXPECT_EQ(g.points[2].x(), layout.front.right + layout.depth);
        EXPECT_EQ(g.points[2].y(), g.points[1].y());
    }
}

TEST_F(LayoutTest, AllZeroStillShowsFloorFlatBarsAndZeroLabels) {
    Fill({0, 0, 0, 0, 0, 0, 0}, "0:00:00");
    const ChartLayout layout = Lay();
    EXPECT_GT(layout.leftRange.max, layout.leftRange.min);
    EXPECT_EQ(layout.walls.size(), 3u);
    EXPECT_EQ(layout.bottomLabels.size(), 7u);
    EXPECT_EQ(layout.series[1].marks.size(), 7u);
    ASSERT_EQ(layout.series[0].bars.size(), 7u);
    for (const BarItem& bar : layout.series[0].bars) {
        const QRect face = bar.front.polygon.boundingRect();
        EXPECT_EQ(face.height(), 1) << "no height";
        EXPECT_FALSE(bar.gradient.has_value());
    }
}

TEST_F(LayoutTest, BottomLabelsComeFromTheFirstSeriesEvenWhenEmpty) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    bars.SetPointLabel(3, "");
    const ChartLayout layout = Lay();
    EXPECT_EQ(layout.bottomLabelIndexes, (std::vector<int>{0, 1, 2, 4, 5, 6}));
    ASSERT_EQ(layout.bottomLabels.size(), 6u);
    for (const TextItem& t : layout.bottomLabels) {
        EXPECT_EQ(t.text, "1:00:00");
    }
}

TEST_F(LayoutTest, OnlyTheFirstPageOfSevenIsShown) {
    Fill({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    const ChartLayout layout = Lay();
    EXPECT_EQ(layout.bottomRange, (AxisRange{0.0, 6.0}));
    EXPECT_EQ(layout.bottomLabelIndexes, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(layout.slot, (layout.front.right - layout.front.left) / 8);
}

struct SeparationCase {
    const char* name;
    int spacing;
    std::vector<bool> drawn;
};
class LabelSeparation : public ::testing::TestWithParam<SeparationCase> {};

// Labels 66 pixels wide: half-extent (66 + 13) div 2 = 39, the first one's 33.
TEST_P(LabelSeparation, SkipsALabelThatCrowdsTheLastDrawn) {
    std::vector<LabelCandidate> labels;
    for (int i = 0; i < 7; ++i) {
        labels.push_back({100 + i * GetParam().spacing, 66});
    }
    EXPECT_EQ(SeparateLabels(labels), GetParam().drawn);
}

INSTANTIATE_TEST_SUITE_P(
    Spacings, LabelSeparation,
    ::testing::Values(SeparationCase{"Wide", 78, {true, true, true, true, true, true, true}},
                      SeparationCase{"FirstHalfWidthOnly", 72, {true, true, false, true, false, true, false}},
                      SeparationCase{"EveryOther", 71, {true, false, true, false, true, false, true}},
                      SeparationCase{"EveryThird", 38, {true, false, true, false, false, true, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LayoutTest, LongTwelveHourLabelsAreThinnedOut) {
    Fill({1, 2, 3, 4, 5, 6, 7}, "0:00:00");
    EXPECT_EQ(Lay().bottomLabels.size(), 7u) << "short labels all fit";
    Fill({1, 2, 3, 4, 5, 6, 7}, "12:00:00 AM");
    const ChartLayout layout = Lay();
    const int spacing = layout.xOf(1) - layout.xOf(0);
    ASSERT_LT(spacing, 72) << "the panel must crowd the labels for this test";
    ASSERT_GE(spacing, 39);
    EXPECT_EQ(layout.bottomLabelIndexes, (std::vector<int>{0, 2, 4, 6}));
    ASSERT_EQ(layout.bottomLabels.size(), 4u);
    for (const TextItem& t : layout.bottomLabels) {
        EXPECT_EQ(t.box.x() + t.box.width() / 2, layout.xOf(layout.bottomLabelIndexes[&t - &layout.bottomLabels[0]]));
    }
}

TEST(GradientBandRule, AtMost256BandsCoveringTheHeightFromBottomToTop) {
    const QColor aqua(0, 255, 255);
    const QColor white(255, 255, 255);
    const auto bands = GradientBands(QRect(0, 0, 553, 297), aqua, white);
    ASSERT_EQ(bands.size(), 256u);
    EXPECT_EQ(bands.front().color, aqua);
    EXPECT_EQ(bands.front().rect.bottom(), 296);
    EXPECT_EQ(bands.back().color, white);
    EXPECT_EQ(bands.back().rect.top(), 0);
    int row = 297;
    for (const ColorRect& band : bands) {
        EXPECT_EQ(band.rect.bottom(), row - 1) << "bands follow one another without gaps";
        EXPECT_GE(band.rect.height(), 1);
        EXPECT_LE(band.rect.height(), 2);
        row = band.rect.top();
    }
    EXPECT_EQ(row, 0);
}

TEST(GradientBandRule, OneBandPerRowInIntegerArithmetic) {
    const auto three = GradientBands(QRect(5, 10, 4, 3), QColor(255, 255, 255), QColor(0, 128, 192));
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[1].color, QColor(128, 192, 224)) << "255 + (0 - 255) * 1 / 2 truncates toward zero";
    EXPECT_EQ(three[0].rect, QRect(5, 12, 4, 1));
    EXPECT_TRUE(GradientBands(QRect(0, 0, 4, 0), Qt::white, Qt::black).empty());
    const auto one = GradientBands(QRect(0, 0, 4, 1), QColor(1, 2, 3), QColor(4, 5, 6));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].color, QColor(1, 2, 3));
}

TEST_F(LayoutTest, FrontGradientSitsInsideTheBarOutline) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    const ChartLayout layout = Lay();
    const BarItem& bar = layout.series[0].bars[6];
    const QRect face = bar.front.polygon.boundingRect(); // outline pixels on all four edges
    ASSERT_TRUE(bar.gradient.has_value());
    EXPECT_EQ(bar.gradient->rect, face.adjusted(1, 1, -1, -1));
    EXPECT_EQ(bar.gradient->bottom, QColor(255, 255, 255)) << "white at the bottom";
    EXPECT_EQ(bar.gradient->top, QColor(0, 128, 192)) << "bar colour at the top";
    EXPECT_EQ(*bar.side.fill, QColor(0, 0, 64));
    EXPECT_EQ(*bar.top.fill, QColor(0, 64, 128));
    EXPECT_EQ(*bar.front.outline, QColor(0, 0, 0));
}

TEST_F(LayoutTest, SteeplyRisingSegmentsAreDarkened) {
    Fill({1, 1, 1, 1, 1, 1, 1});
    line.SetYValue(3, 7.0); // 2 -> 3 rises steeply, 3 -> 4 falls
    const ChartLayout layout = Lay();
    const auto& ribbons = layout.series[1].ribbons;
    ASSERT_EQ(ribbons.size(), 6u);
    EXPECT_EQ(*ribbons[0].fill, QColor(255, 0, 0)) << "flat";
    EXPECT_EQ(*ribbons[2].fill, QColor(191, 0, 0)) << "steep rise";
    EXPECT_EQ(*ribbons[3].fill, QColor(255, 0, 0)) << "fall";
    EXPECT_EQ(*ribbons[2].outline, QColor(0, 0, 0));
}

TEST_F(LayoutTest, MarkBoxesStandEightPixelsAboveTheirPoints) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    line.SetPointLabel(2, "");
    const ChartLayout layout = Lay();
    const auto& marks = layout.series[1].marks;
    ASSERT_EQ(marks.size(), 7u);
    for (const MarkItem& mark : marks) {
        const QPoint point(layout.xOf(mark.index), layout.yOf(line.GetYValue(mark.index)) + 3);
        EXPECT_EQ(mark.connector.p1(), point);
        EXPECT_EQ(mark.box.bottom(), point.y() - 8);
        ASSERT_EQ(mark.lines.size(), 1u);
        EXPECT_EQ(mark.box.width(), 6 * static_cast<int>(mark.lines[0].text.size()) + 6 + 2);
        EXPECT_EQ(mark.box.height(), 13 + 2);
        EXPECT_LE(std::abs(mark.box.center().x() - point.x()), 1);
        EXPECT_EQ(mark.back, QColor(255, 255, 128));
    }
    EXPECT_EQ(marks[2].lines[0].text, "2") << "no label: the value in #,##0.##";
    EXPECT_EQ(marks[1].lines[0].text, "0:30:00");
}

// The steps of the layout, each on a layout prepared by hand.

struct PanelCase {
    const char* name;
    QSize size;
    int marginRight;
    QRect area;
};
class PanelStep : public ::testing::TestWithParam<PanelCase> {};

TEST_P(PanelStep, AreaLiesInsideTheBorderAndThePercentMargins) {
    ChartSettings settings = WeekLook();
    settings.MarginRight = GetParam().marginRight;
    ChartLayout layout;
    LayoutPanel(settings, GetParam().size, layout);
    EXPECT_EQ(layout.size, GetParam().size);
    EXPECT_EQ(layout.area, GetParam().area);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PanelStep,
    ::testing::Values(PanelCase{"MainWindow", QSize(553, 297), 10, QRect(18, 13, 478, 271)}, // 553 × 3 % = 16.59
                      PanelCase{"NoRightMargin", QSize(553, 297), 0, QRect(18, 13, 533, 271)},
                      PanelCase{"Tiny", QSize(10, 10), 10, QRect(2, 2, 5, 6)}, // 10 % of 10 is 1 on the right only
                      PanelCase{"Empty", QSize(0, 0), 10, QRect(2, 2, -4, -4)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PanelStep, PlainColourOrGradientUnderBevelsAndRing) {
    ChartSettings settings = WeekLook();
    ChartLayout layout;
    LayoutPanel(settings, QSize(553, 297), layout);
    EXPECT_EQ(layout.background.size(), 256u);
    // Two lowered bevels of two rows with the ring of two between them.
    ASSERT_EQ(layout.frame.size(), 8u + 4u + 8u);
    EXPECT_EQ(layout.frame[0], (ColorRect{QRect(0, 0, 552, 1), QColor(128, 128, 128)}));
    EXPECT_EQ(layout.frame[8], (ColorRect{QRect(2, 2, 549, 2), QColor(192, 192, 192)}));

    settings.Gradient.Visible = false;
    settings.Color = clAqua;
    settings.BevelOuter = TPanelBevel::bvNone;
    LayoutPanel(settings, QSize(553, 297), layout);
    EXPECT_EQ(layout.background, (std::vector<ColorRect>{{QRect(0, 0, 553, 297), QColor(0, 255, 255)}}))
        << "a second run replaces what the first one laid out";
    ASSERT_EQ(layout.frame.size(), 4u + 8u);
    EXPECT_EQ(layout.frame[0].rect, QRect(0, 0, 553, 2)) << "without the outer bevel the ring starts at the edge";
}

struct TitleCase {
    TAlignment alignment;
    int x;
};
class TitleStep : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleStep, LinesAlignedInsideTheAreaAndTheBoxBelowThem) {
    FixedMetrics metrics;
    TChartTitle title;
    title.SetAlignment(GetParam().alignment);
    ChartLayout layout;
    layout.area = QRect(18, 13, 478, 271);
    EXPECT_EQ(LayoutTitle(title, metrics, layout), 13) << "no title: the box starts at the area's top, no gap";
    EXPECT_TRUE(layout.title.empty());
    title.Text().Add("ab ");
    title.Text().Add("ab ");
    EXPECT_EQ(LayoutTitle(title, metrics, layout), 13 + 2 * 13 + 2);
    ASSERT_EQ(layout.title.size(), 2u);
    EXPECT_EQ(layout.title[1].box, QRect(GetParam().x, 13 + 13, 18, 13));
    EXPECT_EQ(layout.title[1].baseline, 13 + 13 + 10);
}

// The line is 18 wide with its blank, half a "W" is 3.
INSTANTIATE_TEST_SUITE_P(Alignments, TitleStep,
                         ::testing::Values(TitleCase{TAlignment::taLeftJustify, 18 + 3},
                                           TitleCase{TAlignment::taRightJustify, 496 - 3 - 18},
                                           TitleCase{TAlignment::taCenter, (18 + 496 - 18) / 2}));

TEST_F(LayoutTest, BoxStepMakesRoomForTheWidestValueLabelAndTheDepth) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    ChartState state;
    state.settings = &settings;
    state.title = &title;
    state.series = {&bars, &line};
    ChartLayout layout;
    layout.area = QRect(18, 13, 478, 271);
    const std::vector<ValueLabel> labels = LayoutBox(state, 40, metrics, layout);
    ASSERT_FALSE(labels.empty());
    int widest = 0;
    for (const ValueLabel& label : labels) {
        widest = std::max(widest, label.width);
        EXPECT_EQ(label.width, metrics.textWidth(label.text));
        const double steps = label.value / layout.leftStep;
        EXPECT_DOUBLE_EQ(steps, std::round(steps)) << label.text << " stands on a step";
    }
    EXPECT_EQ(layout.front.left, 18 + widest + 4);
    EXPECT_EQ(layout.plotWidth, 496 - layout.front.left);
    EXPECT_EQ(layout.slice, DepthSlice(layout.plotWidth, 15));
    EXPECT_EQ(layout.depth, 2 * layout.slice);
    EXPECT_EQ(layout.front.right, 496 - layout.depth);
    EXPECT_EQ(layout.front.top, 40 + layout.depth);
    EXPECT_EQ(layout.front.bottom, 284 - 13 - 2 - 3) << "a line of labels, their gap and the offset below";
    EXPECT_EQ(layout.leftStep, AxisStep(7.0, layout.front.bottom - layout.front.top, 13));
    EXPECT_EQ(layout.clip.boundingRect(), QRect(layout.front.left, layout.front.top - layout.depth + 3,
                                                layout.front.right - layout.front.left + layout.depth + 2,
                                                layout.front.bottom - layout.front.top + layout.depth + 2));

    // A zoomed value axis keeps its range; a flat chart has no depth; a box with no room still has one row.
    state.leftRange = AxisRange{2.0, 4.0};
    settings.View3D = false;
    layout.area = QRect(18, 13, 478, 20);
    const std::vector<ValueLabel> zoomed = LayoutBox(state, 40, metrics, layout);
    EXPECT_EQ(layout.leftRange, (AxisRange{2.0, 4.0}));
    ASSERT_EQ(zoomed.size(), 2u) << "one row of room: a step of the whole range";
    EXPECT_EQ(zoomed[0].text, "2");
    EXPECT_EQ(zoomed[1].text, "4");
    EXPECT_EQ(layout.depth, 0);
    EXPECT_EQ(layout.front.right, 496);
    EXPECT_EQ(layout.front.bottom, 41);
    EXPECT_EQ(layout.front.top, 40);
}

// A box laid out by hand: front plane 100 … 300 × 50 … 250 with one slice of 10 behind it, values 0 … 10 up
// (y = 250 − 20 v) and points 0 … 4 along the bottom (x = 120 + 40 i), bars 20 wide, everything 3 lower.
ChartLayout HandBox() {
    ChartLayout layout;
    layout.front = {100, 50, 300, 250};
    layout.slice = 10;
    layout.depth = 10;
    layout.vertOffset = 3;
    layout.leftRange = {0.0, 10.0};
    layout.bottomRange = {0.0, 4.0};
    layout.bottomStart = 120;
    layout.bottomEnd = 280;
    layout.barWidth = 20;
    return layout;
}

TEST(WallsStep, BackWallAtTheFullDepthLeftWallAndFloorOnlyWithDepth) {
    ChartSettings settings;
    settings.BackWallColor = clGray;
    ChartLayout layout = HandBox();
    LayoutWalls(settings, layout);
    ASSERT_EQ(layout.walls.size(), 3u);
    EXPECT_EQ(layout.walls[0].polygon,
              QPolygon({QPoint(110, 43), QPoint(310, 43), QPoint(310, 243), QPoint(110, 243)}));
    EXPECT_EQ(layout.walls[0].fill, QColor(128, 128, 128));
    EXPECT_EQ(layout.walls[1].polygon,
              QPolygon({QPoint(100, 53), QPoint(110, 43), QPoint(110, 243), QPoint(100, 253)}));
    EXPECT_EQ(layout.walls[2].polygon,
              QPolygon({QPoint(100, 253), QPoint(110, 243), QPoint(310, 243), QPoint(300, 253)}));
    EXPECT_EQ(layout.walls[2].outline, QColor(0, 0, 0));

    settings.WallPen.Visible = false;
    layout.depth = 0;
    LayoutWalls(settings, layout);
    ASSERT_EQ(layout.walls.size(), 1u);
    EXPECT_EQ(layout.walls[0].polygon.boundingRect(), QRect(100, 53, 201, 201));
    EXPECT_FALSE(layout.walls[0].outline.has_value());
}

TEST(LeftAxisStep, LabelsRightAlignedBeforeTheAxisGridOnlyWhenVisible) {
    FixedMetrics metrics;
    ChartSettings settings;
    ChartLayout layout = HandBox();
    const std::vector<ValueLabel> labels{{0.0, "0", 6}, {5.0, "5", 6}, {10.0, "10", 12}};
    LayoutLeftAxis(settings, labels, metrics, layout);
    ASSERT_EQ(layout.leftLabels.size(), 3u);
    EXPECT_EQ(layout.leftLabels[2].box, QRect(100 - 4 - 12, 50 + 3 - 6, 12, 13));
    EXPECT_EQ(layout.leftLabels[1].box, QRect(100 - 4 - 6, 150 + 3 - 6, 6, 13));
    EXPECT_EQ(layout.leftLabels[1].baseline, 150 + 3 - 6 + 10);
    ASSERT_EQ(layout.grid.size(), 3u);
    EXPECT_EQ(layout.grid[1].points, QPolygon({QPoint(100, 153), QPoint(110, 143), QPoint(310, 143)}));
    EXPECT_EQ(layout.grid[1].style, LineStyle::Solid);
    EXPECT_EQ(layout.leftAxisLine, (ColorRect{QRect(99, 53, 2, 201), QColor(0, 0, 0)}));

    settings.LeftAxis.Grid.Visible = false;
    settings.LeftAxis.Axis.Visible = false;
    LayoutLeftAxis(settings, labels, metrics, layout);
    EXPECT_TRUE(layout.grid.empty());
    EXPECT_EQ(layout.leftLabels.size(), 3u) << "labels stay without a grid";
    EXPECT_FALSE(layout.leftAxisLine.has_value());
}

TEST_F(LayoutTest, BottomAxisStepTakesTheBarWidthOfTheFirstBarSeriesWhereverItStands) {
    Fill({1, 2, 3, 4, 5, 6, 7});
    bars.SetBarWidthPercent(50);
    ChartState state;
    state.settings = &settings;
    state.title = &title;
    state.series = {&line, &bars};
    ChartLayout layout = HandBox();
    LayoutBottomAxis(state, metrics, layout);
    EXPECT_EQ(layout.slot, 200 / 8);
    EXPECT_EQ(layout.barWidth, 12) << "12.5 rounds to even 12; the default 70 % would give 18";
    EXPECT_EQ(layout.bottomStart, 112);
    EXPECT_EQ(layout.bottomEnd, 288);
    EXPECT_EQ(layout.bottomLabels.front().box.y(), 250 + 3 + 2);
    EXPECT_FALSE(layout.bottomAxisLine.has_value());

    // Without bars the points reach the ends; zoomed, the slot follows the zoom and labels only the range.
    state.series = {&line};
    state.bottomRange = AxisRange{1.0, 3.0};
    settings.BottomAxis.Axis.Visible = true;
    LayoutBottomAxis(state, metrics, layout);
    EXPECT_EQ(layout.barWidth, 0);
    EXPECT_EQ(layout.slot, 100);
    EXPECT_EQ(layout.bottomStart, 100);
    EXPECT_EQ(layout.bottomLabelIndexes, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(layout.bottomAxisLine, (ColorRect{QRect(100, 253, 201, 2), QColor(0, 0, 0)}));

    // Points with no text of their own are labelled with their X values.
    line.Clear();
    line.Add(1.0);
    line.Add(2.0);
    state.bottomRange.reset();
    LayoutBottomAxis(state, metrics, layout);
    ASSERT_EQ(layout.bottomLabels.size(), 2u);
    EXPECT_EQ(layout.bottomLabels[1].text, "1");
}

TEST_F(LayoutTest, SeriesStepLaysOutEachKindInItsOwnSlice) {
    Fill({5, 2, 1, 1, 1});
    const ChartLayout layout = HandBox();
    const SeriesDrawing back = LayoutSeries(bars, 1, {}, metrics, layout);
    EXPECT_EQ(back.zFront, 10);
    EXPECT_EQ(back.zBack, 20);
    EXPECT_EQ(back.bars.size(), 5u);
    EXPECT_TRUE(back.ribbons.empty());
    EXPECT_TRUE(back.marks.empty()) << "the bars' marks are hidden";
    const SeriesDrawing front = LayoutSeries(line, 0, {}, metrics, layout);
    EXPECT_EQ(front.zFront, 0);
    EXPECT_EQ(front.zBack, 10);
    EXPECT_TRUE(front.bars.empty());
    EXPECT_EQ(front.ribbons.size(), 4u);
    EXPECT_EQ(front.marks.size(), 5u);
}

TEST_F(LayoutTest, BarsStandFromZeroEitherWayAndHaveNoDepthFacesInAFlatSlice) {
    bars.Add(5.0);
    bars.Add(-2.0);
    const ChartLayout layout = HandBox();
    const std::vector<BarItem> boxes = LayoutBars(bars, 0, 10, layout);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].front.polygon,
              QPolygon({QPoint(110, 153), QPoint(130, 153), QPoint(130, 253), QPoint(110, 253)}));
    EXPECT_EQ(boxes[0].side.polygon,
              QPolygon({QPoint(130, 153), QPoint(140, 143), QPoint(140, 243), QPoint(130, 253)}));
    EXPECT_EQ(boxes[1].front.polygon.boundingRect(), QRect(150, 253, 21, 41)) << "from zero down to -2";
    EXPECT_EQ(boxes[1].index, 1);

    const std::vector<BarItem> flat = LayoutBars(bars, 0, 0, layout);
    EXPECT_TRUE(flat[0].side.polygon.isEmpty());
    EXPECT_TRUE(flat[0].top.polygon.isEmpty());
    EXPECT_EQ(flat[0].front, boxes[0].front);
}

TEST_F(LayoutTest, RibbonRunsFromPointToPointThroughTheSlice) {
    line.Add(1.0);
    line.Add(1.0);
    const std::vector<Face> ribbon = LayoutRibbon(line, 10, 20, HandBox());
    ASSERT_EQ(ribbon.size(), 1u);
    EXPECT_EQ(ribbon[0].polygon, QPolygon({QPoint(130, 223), QPoint(170, 223), QPoint(180, 213), QPoint(140, 213)}));
    EXPECT_TRUE(LayoutRibbon(TLineSeries(), 0, 10, HandBox()).empty());
}

TEST_F(LayoutTest, MarksOnlyInsideTheBottomRangeOneLineOfTextPerLine) {
    for (int i = 0; i < 6; ++i) {
        line.Add(5.0, i == 2 ? "a\nbb" : "");
    }
    const std::vector<MarkItem> marks = LayoutMarks(line, 10, {}, metrics, HandBox());
    ASSERT_EQ(marks.size(), 5u) << "point 5 lies right of the range";
    EXPECT_EQ(marks[4].index, 4);
    const MarkItem& two = marks[2];
    EXPECT_EQ(two.connector, QLine(QPoint(210, 143), QPoint(210, 135)));
    EXPECT_EQ(two.box, QRect(210 - 10, 135 - 28 + 1, 12 + 6 + 2, 2 * 13 + 2));
    ASSERT_EQ(two.lines.size(), 2u);
    EXPECT_EQ(two.lines[0].box, QRect(200 + 7, 109, 6, 13)) << "each line centred in the box";
    EXPECT_EQ(two.lines[1].box, QRect(200 + 4, 122, 12, 13));
    EXPECT_EQ(marks[0].lines[0].text, "5") << "no label: the value";

    TSeriesMarks hidden = line.Marks();
    hidden.Visible = false;
    line.SetMarks(hidden);
    EXPECT_TRUE(LayoutMarks(line, 10, {}, metrics, HandBox()).empty());
}

} // namespace
} // namespace hourlink
