#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QImage>

#include <gtest/gtest.h>

#include "chart/TChart.h"
#include "runtime/Errors.h"
#include "stats/ChartView.h"
#include "stats/SevenDays.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

const DateTime kWednesdayTen = EncodeDateTime(2024, 3, 13, 10, 0, 0);
// A realistic week, hours per day, oldest first; day 2 without a connection, day 5 the tallest.
const std::vector<double> kWeekHours = {1.5, 3.25, 0.0, 5.75, 2.0, 8.5, 4.1};

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
        std::vector<DateTime> sums;
        for (double h : kWeekHours) {
            sums.push_back(h / 24.0);
        }
        ApplySevenDays(chart, view.SerieGiorno, view.SerieMedia, ComputeSevenDays(sums, kWednesdayTen, {}));
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

TEST_F(Chart1Test, WritesThePictureWhenAsked) {
    const char* path = std::getenv("HOURLINK_CHART_PNG");
    if (path == nullptr) {
        GTEST_SKIP() << "set HOURLINK_CHART_PNG to a file name to get the picture";
    }
    ASSERT_TRUE(image.save(path));
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
