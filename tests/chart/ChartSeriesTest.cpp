#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "chart/ChartSeries.h"
#include "runtime/Errors.h"

namespace hourlink {
namespace {

class SeriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        bars.SetChangeHandler([this] { ++changes; });
    }
    void FillWeek() {
        for (int i = 0; i < 7; ++i) {
            bars.Add(i + 1.0, "label " + std::to_string(i));
        }
    }

    TBarSeries bars{0xC08000};
    int changes = 0;
};

TEST_F(SeriesTest, SevenAddsAnswerTheirIndexesAndXValues) {
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(bars.Add(10.0 * i), i);
    }
    ASSERT_EQ(bars.Count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(bars.XValues().Value(i), i);
        EXPECT_EQ(bars.GetYValue(i), 10.0 * i);
    }
}

TEST_F(SeriesTest, ClearStartsTheIndexesAgain) {
    FillWeek();
    bars.Clear();
    EXPECT_EQ(bars.Count(), 0);
    EXPECT_FALSE(bars.HasAnyLabel());
    EXPECT_EQ(bars.Add(5.0, "x"), 0);
    EXPECT_EQ(bars.XValues().Value(0), 0.0);
    EXPECT_EQ(bars.GetPointLabel(0), "x");
}

TEST_F(SeriesTest, EmptyLabelIsStoredAsNone) {
    bars.Add(1.0, "");
    bars.Add(2.0, "2:00:00");
    EXPECT_FALSE(bars.HasPointLabel(0));
    EXPECT_TRUE(bars.HasPointLabel(1));
    bars.SetPointLabel(1, "");
    EXPECT_FALSE(bars.HasPointLabel(1));
    EXPECT_EQ(bars.GetPointLabel(1), "");
    EXPECT_FALSE(bars.HasAnyLabel());
}

TEST_F(SeriesTest, LabelsAreCopies) {
    std::string text = "1:00:00";
    bars.Add(1.0, text);
    text[0] = '9';
    EXPECT_EQ(bars.GetPointLabel(0), "1:00:00");
    bars.SetPointLabel(0, text);
    text.clear();
    EXPECT_EQ(bars.GetPointLabel(0), "9:00:00");
}

TEST_F(SeriesTest, DefaultPointColorMeansTheSeriesColour) {
    bars.Add(1.0, "", DefaultPointColor);
    bars.Add(1.0, "", clRed);
    EXPECT_EQ(bars.GetPointColor(0), DefaultPointColor);
    EXPECT_EQ(bars.ValueColor(0), 0xC08000u);
    EXPECT_EQ(bars.ValueColor(1), clRed);
    bars.SetSeriesColor(clBlue);
    EXPECT_EQ(bars.ValueColor(0), clBlue);
}

TEST_F(SeriesTest, LabelBeyondTheEndIsEmpty) {
    FillWeek();
    EXPECT_EQ(bars.GetPointLabel(6), "label 6");
    EXPECT_EQ(bars.GetPointLabel(7), "");
    EXPECT_EQ(bars.GetPointLabel(-1), "");
}

// Each operation with a bad index raises the list-index error and leaves the series as it was.
struct BadIndexCase {
    const char* name;
    int index;
    void (*call)(TBarSeries&, int);
};

class SeriesBadIndex : public SeriesTest, public ::testing::WithParamInterface<BadIndexCase> {};

TEST_P(SeriesBadIndex, RaisesListErrorAndChangesNothing) {
    FillWeek();
    const int before = changes;
    try {
        GetParam().call(bars, GetParam().index);
        FAIL() << "no error";
    } catch (const EListError& e) {
        EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(GetParam().index) + ")");
    }
    EXPECT_EQ(changes, before);
    EXPECT_EQ(bars.Count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(bars.GetYValue(i), i + 1.0);
        EXPECT_EQ(bars.GetPointLabel(i), "label " + std::to_string(i));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, SeriesBadIndex,
    ::testing::Values(BadIndexCase{"GetYValue7", 7, [](TBarSeries& s, int i) { (void)s.GetYValue(i); }},
                      BadIndexCase{"GetYValueMinus1", -1, [](TBarSeries& s, int i) { (void)s.GetYValue(i); }},
                      BadIndexCase{"SetYValue7", 7, [](TBarSeries& s, int i) { s.SetYValue(i, 99.0); }},
                      BadIndexCase{"SetYValueMinus1", -1, [](TBarSeries& s, int i) { s.SetYValue(i, 99.0); }},
                      BadIndexCase{"SetPointLabel7", 7, [](TBarSeries& s, int i) { s.SetPointLabel(i, "x"); }},
                      BadIndexCase{"SetPointLabelMinus1", -1, [](TBarSeries& s, int i) { s.SetPointLabel(i, "x"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ValueListStatistics, EmptyListGivesZeros) {
    TLineSeries line;
    EXPECT_EQ(line.YValues().TotalAbs(), 0.0);
    EXPECT_EQ(line.YValues().Total(), 0.0);
    EXPECT_EQ(line.YValues().MinValue(), 0.0);
    EXPECT_EQ(line.YValues().MaxValue(), 0.0);
}

TEST(ValueListStatistics, AllFourFromOnePassAfterEachChange) {
    TLineSeries line;
    line.Add(-2.0);
    line.Add(5.0);
    line.Add(1.5);
    const auto before = line.YValues().Recalculations();
    EXPECT_EQ(line.YValues().MinValue(), -2.0);
    EXPECT_EQ(line.YValues().MaxValue(), 5.0);
    EXPECT_EQ(line.YValues().Total(), 4.5);
    EXPECT_EQ(line.YValues().TotalAbs(), 8.5);
    EXPECT_EQ(line.YValues().Recalculations(), before + 1) << "four reads, one pass";
    line.SetYValue(0, -3.0);
    EXPECT_EQ(line.YValues().TotalAbs(), 9.5);
    EXPECT_EQ(line.YValues().MinValue(), -3.0);
    EXPECT_EQ(line.YValues().Recalculations(), before + 2);
}

TEST(ValueListStatistics, TwoReadsWithoutChangeRecomputeOnce) {
    TBarSeries bars;
    for (int i = 0; i < 7; ++i) {
        bars.Add(i);
    }
    bars.SetYValue(6, -10.0);
    const auto before = bars.YValues().Recalculations();
    EXPECT_EQ(bars.YValues().TotalAbs(), 0 + 1 + 2 + 3 + 4 + 5 + 10.0);
    EXPECT_EQ(bars.YValues().TotalAbs(), 25.0);
    EXPECT_EQ(bars.YValues().Recalculations(), before + 1);
}

TEST(ValueListStatistics, EveryKindOfChangeMakesTheCacheStale) {
    TBarSeries bars;
    bars.Add(1.0);
    EXPECT_EQ(bars.YValues().Total(), 1.0);
    bars.Add(2.0);
    EXPECT_EQ(bars.YValues().Total(), 3.0);
    bars.SetYValue(0, 4.0);
    EXPECT_EQ(bars.YValues().Total(), 6.0);
    bars.YValues().SetMultiplier(2.0);
    EXPECT_EQ(bars.YValues().Total(), 12.0);
    EXPECT_EQ(bars.GetYValue(0), 8.0) << "values read back times the multiplier";
    bars.Clear();
    EXPECT_EQ(bars.YValues().Total(), 0.0);
    EXPECT_EQ(bars.YValues().Recalculations(), 5u);
}

} // namespace
} // namespace hourlink
