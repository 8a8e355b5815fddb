#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <QImage>

#include <gtest/gtest.h>

#include "chart/ChartDiff.h"
#include "chart/ChartPainter.h"
#include "chart/TChart.h"
#include "runtime/Errors.h"
#include "stats/Chart1Sample.h"
#include "stats/ChartView.h"
#include "stats/SevenDayChart.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

const DateTime kWednesdayTen = testing::kSampleNow;
const std::vector<double>& kWeekHours = testing::kSampleWeekHours;

QColor Pixel(const QImage& image, QPoint p) {
    return image.pixelColor(p);
}

// Whether the colour appears within radius pixels of p; for places where a dotted grid line may pass.
bool ColorNear(const QImage& image, QPoint p, int radius, const QColor& color) {
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint q = p + QPoint(dx, dy);
            if (image.rect().contains(q) && image.pixelColor(q) == color) {
                return true;
            }
        }
    }
    return false;
}

bool ColorIn(const QImage& image, const QRect& rect, const QColor& color) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (image.rect().contains(x, y) && image.pixelColor(x, y) == color) {
                return true;
            }
        }
    }
    return false;
}

class Chart1Test : public testing::InTempDir {
protected:
    Chart1Test() : view(ConfigureChart1(chart)) {
        testing::ShowSampleWeek(chart, view);
        layout = chart.Layout();
        image = chart.Render();
        vo = layout.vertOffset;
    }

    TChart chart;
    ChartView view;
    ChartLayout layout;
    QImage image;
    int vo = 0;
};

TEST_F(Chart1Test, SizeAndSettingsOfTheMainWindowsChart) {
    EXPECT_EQ(chart.geometry(), QRect(8, 8, 553, 297));
    EXPECT_EQ(image.size(), QSize(553, 297));
    EXPECT_EQ(view.SerieGiorno.Title(), "Giornaliera");
    EXPECT_EQ(view.SerieMedia.Title(), "Media");
    EXPECT_FALSE(view.SerieGiorno.ShowInLegend());
    EXPECT_FALSE(view.SerieMedia.ShowInLegend());
    EXPECT_EQ(view.SerieMedia.ValueFormat(), "#,##0.##");
    EXPECT_EQ(&chart.Series(0), &view.SerieGiorno);
    EXPECT_EQ(layout.vertOffset, 3);
    EXPECT_EQ(layout.area.right() + 1, 553 - 2 - 55) << "right margin 10 % plus the border, and no legend";
}

TEST_F(Chart1Test, BevelsAndSilverRing) {
    const int mid = 150;
    EXPECT_EQ(Pixel(image, {0, mid}), QColor(128, 128, 128)) << "outer bevel, sunken: dark left";
    EXPECT_EQ(Pixel(image, {1, mid}), QColor(128, 128, 128));
    EXPECT_EQ(Pixel(image, {552, mid}), QColor(255, 255, 255)) << "light right";
    EXPECT_EQ(Pixel(image, {300, 0}), QColor(128, 128, 128));
    EXPECT_EQ(Pixel(image, {300, 296}), QColor(255, 255, 255));
    EXPECT_EQ(Pixel(image, {2, mid}), QColor(192, 192, 192)) << "ring in clSilver";
    EXPECT_EQ(Pixel(image, {3, mid}), QColor(192, 192, 192));
    EXPECT_EQ(Pixel(image, {549, mid}), QColor(192, 192, 192));
    EXPECT_EQ(Pixel(image, {4, mid}), QColor(128, 128, 128)) << "inner bevel";
    EXPECT_EQ(Pixel(image, {5, mid}), QColor(128, 128, 128));
    EXPECT_EQ(Pixel(image, {547, mid}), QColor(255, 255, 255));
}

TEST_F(Chart1Test, BackgroundRunsFromWhiteAtTheTopToAquaAtTheBottom) {
    const int x = 8; // in the left margin, clear of everything
    const QColor top = Pixel(image, {x, 6});
    const QColor bottom = Pixel(image, {x, 290});
    EXPECT_GE(top.red(), 250);
    EXPECT_LE(bottom.red(), 6);
    int previous = 256;
    for (int y = 6; y <= 290; ++y) {
        const QColor c = Pixel(image, {x, y});
        ASSERT_EQ(c.green(), 255);
        ASSERT_EQ(c.blue(), 255);
        ASSERT_LE(c.red(), previous) << "row " << y;
        previous = c.red();
    }
    // The bands run over the whole panel before the bevels go on: the first and the last band's colours.
    EXPECT_EQ(layout.background.front().color, QColor(0, 255, 255));
    EXPECT_EQ(layout.background.back().color, QColor(255, 255, 255));
}

TEST_F(Chart1Test, BlueTitleLines) {
    ASSERT_EQ(layout.title.size(), 2u);
    EXPECT_TRUE(ColorIn(image, layout.title[0].box, QColor(0, 0, 255)));
    EXPECT_TRUE(ColorIn(image, layout.title[1].box, QColor(0, 0, 255)));
    EXPECT_EQ(layout.title[0].box.right(), layout.title[1].box.right());
}

TEST_F(Chart1Test, WallsInTheirColours) {
    const int d = layout.depth;
    const PlotBox& f = layout.front;
    // Back wall, just inside its top right corner, above every bar and grid line.
    EXPECT_EQ(Pixel(image, {f.right + d - 3, f.top - d + vo + 2}), QColor(128, 128, 128));
    EXPECT_EQ(Pixel(image, {f.right + d, f.top - d + vo + 2}), QColor(0, 0, 0)) << "black outline";
    // Left wall, half way into its depth.
    EXPECT_TRUE(ColorNear(image, {f.left + d / 2, (f.top + f.bottom) / 2 + vo}, 2, QColor(255, 255, 128)));
    // Floor, between the first two bars, half way into its depth.
    const int between = (layout.xOf(0) + layout.xOf(1)) / 2;
    EXPECT_EQ(Pixel(image, {between + d / 2, f.bottom + vo - d / 2}), QColor(128, 128, 192));
}

TEST_F(Chart1Test, DottedMaroonGridAndBlackLeftAxis) {
    ASSERT_GE(layout.grid.size(), 2u);
    const LineItem& g = layout.grid.back(); // above the bars near the back wall's left end
    const int y = g.points[2].y();
    int maroon = 0;
    int other = 0;
    for (int x = g.points[1].x() + 1; x < g.points[1].x() + 41; ++x) {
        (Pixel(image, {x, y}) == QColor(128, 0, 0) ? maroon : other)++;
    }
    EXPECT_EQ(maroon, 20) << "every other pixel";
    EXPECT_EQ(other, 20);
    const int mid = (layout.front.top + layout.front.bottom) / 2 + vo;
    EXPECT_EQ(Pixel(image, {layout.front.left, mid}), QColor(0, 0, 0));
    EXPECT_EQ(Pixel(image, {layout.front.left - 1, mid}), QColor(0, 0, 0)) << "two pixels wide";
    ASSERT_FALSE(layout.leftLabels.empty());
    EXPECT_EQ(layout.leftLabels.front().text, "0");
    for (const TextItem& label : layout.leftLabels) {
        EXPECT_TRUE(ColorIn(image, label.box, QColor(0, 0, 0))) << "black text " << label.text;
    }
}

TEST_F(Chart1Test, TallBarShadedWhiteAtTheBottomToBarColourAtTheTop) {
    view.SerieMedia.Clear(); // nothing in front of the bar
    layout = chart.Layout();
    image = chart.Render();
    const BarItem& tall = layout.series[0].bars[5];
    const QRect face = tall.front.polygon.boundingRect();
    const int x = face.center().x();
    EXPECT_EQ(Pixel(image, {x, face.top() + 1}), QColor(0, 128, 192));
    EXPECT_EQ(Pixel(image, {x, face.bottom() - 1}), QColor(255, 255, 255));
    EXPECT_EQ(Pixel(image, {x, face.top()}), QColor(0, 0, 0)) << "outline kept around the gradient";
    EXPECT_EQ(Pixel(image, {face.left(), face.center().y()}), QColor(0, 0, 0));
    EXPECT_EQ(Pixel(image, {face.right(), face.center().y()}), QColor(0, 0, 0));
    EXPECT_EQ(Pixel(image, {x, face.bottom()}), QColor(0, 0, 0));
    int previousRed = -1;
    for (int y = face.bottom() - 1; y > face.top(); --y) {
        const QColor c = Pixel(image, {x, y});
        ASSERT_NEAR(c.red(), 255 - (255 - c.green()) * 2, 2) << "on the way from white to 0, 128, 192; row " << y;
        ASSERT_NEAR(c.blue(), 255 - (255 - c.green()) / 2, 1) << "row " << y;
        if (previousRed >= 0) {
            ASSERT_LE(c.red(), previousRed);
        }
        previousRed = c.red();
    }
    const int s = layout.slice;
    EXPECT_EQ(Pixel(image, {face.right() + s / 2, face.center().y()}), QColor(0, 0, 64)) << "side face";
    EXPECT_EQ(Pixel(image, {x + s / 2, face.top() - s / 2}), QColor(0, 64, 128)) << "top face";
}

TEST_F(Chart1Test, RedLineInFrontOfTheBars) {
    // Point 5's average (about 3.5 h) lies well inside bar 5 (8.5 h); the ribbon covers the bar there.
    const int x = layout.xOf(5) + 2;
    const int y = layout.yOf(view.SerieMedia.GetYValue(5)) + vo - layout.slice / 2;
    const QRect face = layout.series[0].bars[5].front.polygon.boundingRect();
    ASSERT_TRUE(face.contains(x + layout.slice, y));
    EXPECT_TRUE(ColorNear(image, {x, y}, 2, QColor(255, 0, 0)));
}

TEST_F(Chart1Test, YellowMarksAboveTheLineWithWhiteConnectors) {
    const auto& marks = layout.series[1].marks;
    ASSERT_EQ(marks.size(), 7u);
    for (const MarkItem& mark : marks) {
        const QPoint point = mark.connector.p1();
        EXPECT_LT(mark.box.bottom(), point.y());
        EXPECT_EQ(Pixel(image, {mark.box.left() + 2, mark.box.center().y()}), QColor(255, 255, 128)) << mark.index;
        EXPECT_EQ(Pixel(image, {mark.box.left(), mark.box.center().y()}), QColor(0, 0, 0)) << "frame";
        EXPECT_EQ(Pixel(image, {mark.box.center().x(), mark.box.bottom()}), QColor(0, 0, 0));
        EXPECT_EQ(Pixel(image, {point.x(), point.y() - 4}), QColor(255, 255, 255)) << "connector";
        EXPECT_EQ(mark.lines[0].text, view.SerieMedia.GetPointLabel(mark.index));
    }
}

TEST_F(Chart1Test, BottomLabelsAreTheBarTimes) {
    std::vector<std::string> texts;
    for (const TextItem& t : layout.bottomLabels) {
        texts.push_back(t.text);
        EXPECT_GE(t.box.top(), layout.front.bottom + vo);
        EXPECT_TRUE(ColorIn(image, t.box, QColor(0, 0, 0))) << "black text " << t.text;
    }
    EXPECT_EQ(texts,
              (std::vector<std::string>{"1:30:00", "3:15:00", "0:00:00", "5:45:00", "2:00:00", "8:30:00", "4:06:00"}));
}

TEST_F(Chart1Test, RebuildFromTheLog) {
    testing::FakeDialogs dialogs;
    ConnectionLog log(dialogs);
    log.SaveConnection(kWednesdayTen - 1 + EncodeTime(4, 0, 0, 0), kWednesdayTen - 1 + EncodeTime(6, 0, 0, 0));
    ManualClock clock(kWednesdayTen);
    RebuildChart(log, clock, FormatSettings{}, chart, view.SerieGiorno, view.SerieMedia);
    EXPECT_EQ(view.SerieGiorno.GetPointLabel(5), "2:00:00");
    EXPECT_EQ(view.SerieMedia.GetPointLabel(6), "0:17:08");
    EXPECT_EQ(chart.Title().Text().Lines()[1], WeekdayLine(4));
}

// At ratio 2 every logical pixel is a 2 × 2 block of device pixels, except where texts and slanted edges
// are drawn at the finer resolution.
TEST_F(Chart1Test, AtRatioTwoTheRulesHoldInLogicalPixelsAndTextsUseDevicePixels) {
    const QImage sharp = chart.Render(2.0);
    ASSERT_EQ(sharp.size(), QSize(1106, 594));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    auto block = [&](int x, int y) { return sharp.pixelColor(2 * x, 2 * y); };
    auto uniform = [&](int x, int y) {
        const QColor c = block(x, y);
        return sharp.pixelColor(2 * x + 1, 2 * y) == c && sharp.pixelColor(2 * x, 2 * y + 1) == c &&
               sharp.pixelColor(2 * x + 1, 2 * y + 1) == c;
    };
    // The frame, the walls and the axis line land on whole logical pixels, as at ratio 1.
    for (const QPoint p : {QPoint(0, 150), QPoint(2, 150), QPoint(5, 150), QPoint(552, 150), QPoint(300, 296)}) {
        EXPECT_EQ(block(p.x(), p.y()), Pixel(image, p)) << p.x() << "," << p.y();
        EXPECT_TRUE(uniform(p.x(), p.y()));
    }
    const int mid = (layout.front.top + layout.front.bottom) / 2 + vo;
    EXPECT_EQ(block(layout.front.left - 1, mid), QColor(0, 0, 0)) << "axis line two logical pixels wide";
    EXPECT_EQ(block(layout.front.left, mid), QColor(0, 0, 0));
    const int d = layout.depth;
    const QPoint backWall(layout.front.right + d - 3, layout.front.top - d + vo + 2);
    EXPECT_EQ(block(backWall.x(), backWall.y()), QColor(128, 128, 128));
    EXPECT_TRUE(uniform(backWall.x() + 3, backWall.y())) << "the back wall's outline is one logical pixel";
    EXPECT_EQ(block(backWall.x() + 3, backWall.y()), QColor(0, 0, 0));
    // Bars keep their even logical width: the outline's left and right columns are 2 device pixels each.
    const QRect face = layout.series[0].bars[5].front.polygon.boundingRect();
    EXPECT_TRUE(uniform(face.left(), face.center().y()));
    EXPECT_EQ(block(face.left(), face.center().y()), QColor(0, 0, 0));
    EXPECT_EQ(block(face.right(), face.center().y()), QColor(0, 0, 0));
    // Every text has edges finer than a logical pixel: some 2 × 2 block in its box is not of one colour.
    std::vector<TextItem> texts = layout.title;
    texts.insert(texts.end(), layout.bottomLabels.begin(), layout.bottomLabels.end());
    texts.insert(texts.end(), layout.leftLabels.begin(), layout.leftLabels.end());
    ASSERT_GE(texts.size(), 2u + 7u + 2u) << "the title's two lines, seven bar labels and the axis labels";
    for (const TextItem& t : texts) {
        bool fine = false;
        for (int y = t.box.top(); y <= t.box.bottom() && !fine; ++y) {
            for (int x = t.box.left(); x <= t.box.right() && !fine; ++x) {
                fine = !uniform(x, y);
            }
        }
        EXPECT_TRUE(fine) << "text drawn at device resolution: " << t.text;
        EXPECT_TRUE(ColorIn(sharp, QRect(t.box.topLeft() * 2, t.box.size() * 2), t.color)) << t.text;
    }
}

// Whatever the changes, drawing only the changed region into the kept picture gives, byte for byte, the
// picture that drawing everything gives.
class PartialRepaint : public Chart1Test, public ::testing::WithParamInterface<double> {};

TEST_P(PartialRepaint, EqualsAFullPaintAfterLongRandomSequences) {
    const qreal ratio = GetParam();
    std::mt19937 random(20240313u + static_cast<unsigned>(ratio * 10));
    auto uniformInt = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    auto hours = [&] {
        // Mostly small changes of today's figures, now and then a jump that moves the axis range.
        return uniformInt(0, 4) == 0 ? uniformInt(0, 2400) / 100.0 : 2.0 + uniformInt(0, 300) / 100.0;
    };
    const std::vector<std::string> texts = {
        "", "0:00:00", "1:30:00", "12:45:07", "23:59:59", "8:30:00", "a long text that crowds its neighbours"};
    TChartSeries* both[2] = {&view.SerieGiorno, &view.SerieMedia};
    ChartCanvas canvas;
    const QFont font = ChartFont();
    int partial = 0;
    for (int step = 0; step < 300; ++step) {
        const int changes = uniformInt(1, 4);
        for (int c = 0; c < changes; ++c) {
            TChartSeries& series = *both[uniformInt(0, 1)];
            const int i = uniformInt(0, 9) < 7 ? 6 : uniformInt(0, 6);
            switch (uniformInt(0, 9)) {
            case 0: { // a rebuild
                for (TChartSeries* s : both) {
                    s->Clear();
                    for (int k = 0; k < 7; ++k) {
                        s->Add(hours(), texts[static_cast<std::size_t>(uniformInt(0, 5))]);
                    }
                }
                chart.Title().Text().Clear();
                chart.Title().Text().Add(uniformInt(0, 1) == 0 ? "ieri               oggi       " : "oggi       ");
                chart.Title().Text().Add(WeekdayLine(uniformInt(0, 6)));
                break;
            }
            case 1:
            case 2:
                series.SetPointLabel(i, texts[static_cast<std::size_t>(uniformInt(0, 6))]);
                break;
            default:
                series.SetYValue(i, hours());
                break;
            }
        }
        // Now and then the window moves to a screen of the other ratio and back, as between two monitors.
        const qreal now = ratio != 1.0 && uniformInt(0, 29) == 0 ? 1.0 : ratio;
        const QRegion drawn = canvas.Update(chart.Layout(), now, font);
        partial += drawn != QRegion(QRect(QPoint(0, 0), chart.size())) ? 1 : 0;
        const QImage full = chart.Render(now);
        ASSERT_EQ(canvas.Image(), full) << "after step " << step << " at ratio " << now;
    }
    EXPECT_GT(partial, 100) << "most steps repaint only a part";
}

INSTANTIATE_TEST_SUITE_P(Ratios, PartialRepaint, ::testing::Values(1.0, 2.0, 1.5, 1.25));

TEST_F(Chart1Test, ALiveTickRepaintsTodaysBarItsLabelAndTheAverageOnly) {
    ChartCanvas canvas;
    const QFont font = ChartFont();
    canvas.Update(chart.Layout(), 1.0, font);
    EXPECT_TRUE(canvas.Update(chart.Layout(), 1.0, font).isEmpty()) << "the same layout paints nothing";
    view.SerieGiorno.SetYValue(6, 4.2);
    view.SerieGiorno.SetPointLabel(6, "4:12:00");
    view.SerieMedia.SetYValue(6, 3.6);
    view.SerieMedia.SetPointLabel(6, "3:36:00");
    const QRegion drawn = canvas.Update(chart.Layout(), 1.0, font);
    const QRect bounds = drawn.boundingRect();
    EXPECT_GE(bounds.left(), layout.xOf(5) - layout.barWidth) << "nothing left of the points that moved";
    EXPECT_TRUE(drawn.contains(layout.bottomLabels.back().box.center()));
    EXPECT_FALSE(drawn.intersects(layout.bottomLabels.front().box));
    EXPECT_LT(bounds.width() * bounds.height(), 553 * 297 / 4);
    EXPECT_EQ(canvas.Image(), chart.Render());
}

// A log that cannot be read ends the rebuild before anything is touched.
class UnreadableLog : public Chart1Test, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnreadableLog, LeavesSeriesAndTitleAsTheyWere) {
    const std::string kind = GetParam();
    if (kind == "directory") {
        std::filesystem::create_directory(ConnectionLog::kFileName);
    } else {
        std::ofstream(ConnectionLog::kFileName, std::ios::binary) << std::string(8, '\x01');
    }
    testing::FakeDialogs dialogs;
    ConnectionLog log(dialogs);
    ManualClock clock(kWednesdayTen + 1);
    std::vector<double> values;
    std::vector<std::string> labels;
    for (int i = 0; i < 7; ++i) {
        values.push_back(view.SerieGiorno.GetYValue(i));
        values.push_back(view.SerieMedia.GetYValue(i));
        labels.push_back(view.SerieGiorno.GetPointLabel(i));
        labels.push_back(view.SerieMedia.GetPointLabel(i));
    }
    const std::vector<std::string> title = chart.Title().Text().Lines();

    try {
        RebuildChart(log, clock, FormatSettings{}, chart, view.SerieGiorno, view.SerieMedia);
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        if (kind == "truncated") {
            EXPECT_EQ(std::string(e.what()), "Read beyond end of file");
        }
    }

    ASSERT_EQ(view.SerieGiorno.Count(), 7);
    ASSERT_EQ(view.SerieMedia.Count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(view.SerieGiorno.GetYValue(i), values[static_cast<std::size_t>(2 * i)]);
        EXPECT_EQ(view.SerieMedia.GetYValue(i), values[static_cast<std::size_t>(2 * i + 1)]);
        EXPECT_EQ(view.SerieGiorno.GetPointLabel(i), labels[static_cast<std::size_t>(2 * i)]);
        EXPECT_EQ(view.SerieMedia.GetPointLabel(i), labels[static_cast<std::size_t>(2 * i + 1)]);
    }
    EXPECT_EQ(chart.Title().Text().Lines(), title);
    EXPECT_EQ(chart.Render(), image) << "the picture is unchanged too";
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnreadableLog, ::testing::Values("directory", "truncated"));

} // namespace
} // namespace hourlink
