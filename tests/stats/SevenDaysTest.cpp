#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stats/SevenDayChart.h"
#include "stats/SevenDays.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

// Wednesday 13 March 2024.
const DateTime kWednesday = EncodeDate(2024, 3, 13);

class SevenDaysTest : public testing::InTempDir {
protected:
    SevenDayFigures FromLog(DateTime now) {
        return ComputeSevenDays(log.ConnectedTimes(SevenDayWindows(now)), now, format);
    }

    testing::FakeDialogs dialogs;
    ConnectionLog log{dialogs};
    FormatSettings format; // colon, no leading zero, 24 hours
};

TEST_F(SevenDaysTest, WindowsAtTenOnAWednesday) {
    const DateTime now = kWednesday + EncodeTime(10, 0, 0, 0);
    const std::vector<TimeWindow> windows = SevenDayWindows(now);
    ASSERT_EQ(windows.size(), 7u);
    EXPECT_DOUBLE_EQ(windows[0].lo, EncodeDateTime(2024, 3, 7, 10, 0, 0)) << "last Thursday from 10:00";
    EXPECT_EQ(windows[0].hi, EncodeDate(2024, 3, 8));
    EXPECT_EQ(DayOfWeek(windows[0].lo), 5);
    for (int i = 1; i < 7; ++i) {
        EXPECT_EQ(windows[static_cast<std::size_t>(i)].lo, EncodeDate(2024, 3, 7 + i)) << i;
        EXPECT_EQ(windows[static_cast<std::size_t>(i)].hi, EncodeDate(2024, 3, 8 + i)) << i;
    }
    EXPECT_EQ(DayOfWeek(windows[1].lo), 6) << "bar 1 is Friday";
    EXPECT_EQ(DayOfWeek(windows[6].lo), 4) << "bar 6 is today, Wednesday";
}

TEST_F(SevenDaysTest, OldestBarCountsOnlyFromTheTimeOfDay) {
    // Thursday 08:00-12:00 (only 10:00-12:00 counts), Friday 23:00 to Saturday 01:00 (split), today 09:00-09:30.
    log.SaveConnection(EncodeDateTime(2024, 3, 7, 8, 0, 0), EncodeDateTime(2024, 3, 7, 12, 0, 0));
    log.SaveConnection(EncodeDateTime(2024, 3, 8, 23, 0, 0), EncodeDateTime(2024, 3, 9, 1, 0, 0));
    log.SaveConnection(kWednesday + EncodeTime(9, 0, 0, 0), kWednesday + EncodeTime(9, 30, 0, 0));
    const SevenDayFigures f = FromLog(kWednesday + EncodeTime(10, 0, 0, 0));
    EXPECT_NEAR(f.hours[0], 2.0, 1e-9);
    EXPECT_NEAR(f.hours[1], 1.0, 1e-9);
    EXPECT_NEAR(f.hours[2], 1.0, 1e-9);
    EXPECT_NEAR(f.hours[6], 0.5, 1e-9);
    EXPECT_EQ(f.hourLabels[0], "2:00:00");
    EXPECT_EQ(f.hourLabels[6], "0:30:00");
    EXPECT_EQ(f.titleLines[1], WeekdayLine(4));
}

TEST_F(SevenDaysTest, TwoHoursYesterday) {
    const DateTime now = kWednesday + EncodeTime(10, 0, 0, 0);
    log.SaveConnection(kWednesday - 1 + EncodeTime(14, 0, 0, 0), kWednesday - 1 + EncodeTime(16, 0, 0, 0));
    const SevenDayFigures f = FromLog(now);
    for (int i = 0; i < 7; ++i) {
        EXPECT_NEAR(f.hours[static_cast<std::size_t>(i)], i == 5 ? 2.0 : 0.0, 1e-9) << i;
    }
    EXPECT_EQ(f.hourLabels[5], "2:00:00");
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(f.averages[i], 0.0);
        EXPECT_EQ(f.averageLabels[i], "0:00:00");
    }
    EXPECT_NEAR(f.averages[5], 2.0 / 6, 1e-9);
    EXPECT_EQ(f.averageLabels[5], "0:20:00");
    EXPECT_NEAR(f.averages[6], 2.0 / 7, 1e-9);
    EXPECT_EQ(f.averageLabels[6], "0:17:08") << "rounded to milliseconds, then the seconds cut";
}

TEST_F(SevenDaysTest, MissingLogGivesZerosEverywhere) {
    const SevenDayFigures f = FromLog(kWednesday + 0.5);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(f.hours[i], 0.0);
        EXPECT_EQ(f.averages[i], 0.0);
        EXPECT_EQ(f.hourLabels[i], "0:00:00");
        EXPECT_EQ(f.averageLabels[i], "0:00:00");
    }
    EXPECT_EQ(f.titleLines[0], "ieri               oggi       ");
}

TEST_F(SevenDaysTest, ADayOfTwentyFiveHoursIsLabelledWithAllItsHours) {
    const std::vector<DateTime> sums = {0, 0, 0, 0, 0, 0, 25.0 / 24};
    const SevenDayFigures f = ComputeSevenDays(sums, kWednesday, format);
    EXPECT_NEAR(f.hours[6], 25.0, 1e-9);
    EXPECT_EQ(f.hourLabels[6], "25:00:00");
}

// A running connection counted from the log up to its checkpoint and from memory beyond it must give
// what the log would give if it held the whole connection: every part once, each day its own share.
struct RunningCase {
    const char* name;
    DateTime start;
    std::optional<DateTime> loggedUntil; // the end its record holds; none without a record
    std::array<double, kChartDays> hours;
    std::array<bool, kChartDays> touched;
};

void PrintTo(const RunningCase& c, std::ostream* os) {
    *os << c.name;
}

class LiveSumsTest : public SevenDaysTest, public ::testing::WithParamInterface<RunningCase> {};

const DateTime kWednesdayTen = kWednesday + 10.0 / 24;

TEST_P(LiveSumsTest, CountTheLoggedPartAndTheRunningPartBeyondItOnce) {
    const RunningCase& c = GetParam();
    log.SaveConnection(kWednesday - 3 + 0.5, kWednesday - 3 + 0.75); // six hours on Sunday (bar 3), finished
    if (c.loggedUntil) {
        log.SaveConnection(c.start, *c.loggedUntil);
    }
    const std::vector<DateTime> sums = LiveSevenDaySums(log, kWednesdayTen, RunningConnection{c.start, c.loggedUntil});
    ASSERT_EQ(sums.size(), 7u);
    for (std::size_t i = 0; i < kChartDays; ++i) {
        EXPECT_NEAR(sums[i] * 24, c.hours[i], 1e-9) << "bar " << i;
    }
    EXPECT_EQ(TouchedDays(kWednesdayTen, RunningConnection{c.start, c.loggedUntil}), c.touched);
}

INSTANTIATE_TEST_SUITE_P(
    Connections, LiveSumsTest,
    ::testing::Values(RunningCase{"StartedThisMorningNotLoggedYet",
                                  kWednesday + 8.0 / 24,
                                  std::nullopt,
                                  {0, 0, 0, 6, 0, 0, 2},
                                  {false, false, false, false, false, false, true}},
                      RunningCase{"StartedThisMorningLoggedUpToNine",
                                  kWednesday + 8.0 / 24,
                                  kWednesday + 9.0 / 24,
                                  {0, 0, 0, 6, 0, 0, 2},
                                  {false, false, false, false, false, false, true}},
                      RunningCase{"FromMondayNightLoggedUpToAMinuteAgo",
                                  kWednesday - 2 + 22.0 / 24,
                                  kWednesdayTen - 1.0 / 1440,
                                  {0, 0, 0, 6, 2, 24, 10},
                                  {false, false, false, false, true, true, true}},
                      // It overlaps the finished Sunday record, which a real log never does: both are counted.
                      RunningCase{"AWeekLongLoggedUpToYesterday",
                                  kWednesday - 9,
                                  kWednesday - 1 + 0.5,
                                  {14, 24, 24, 30, 24, 24, 10},
                                  {true, true, true, true, true, true, true}},
                      RunningCase{"LoggedUpToNow",
                                  kWednesday - 1,
                                  kWednesdayTen,
                                  {0, 0, 0, 6, 0, 24, 10},
                                  {false, false, false, false, false, true, true}},
                      RunningCase{"StartingThisVeryTick",
                                  kWednesdayTen,
                                  std::nullopt,
                                  {0, 0, 0, 6, 0, 0, 0},
                                  {false, false, false, false, false, false, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SevenDaysTest, WithoutARunningConnectionTheLiveSumsAreTheLogs) {
    log.SaveConnection(kWednesday - 1 + 0.25, kWednesday - 1 + 0.5);
    EXPECT_EQ(LiveSevenDaySums(log, kWednesdayTen, std::nullopt), log.ConnectedTimes(SevenDayWindows(kWednesdayTen)));
    EXPECT_EQ(TouchedDays(kWednesdayTen, std::nullopt), (std::array<bool, kChartDays>{}));
}

struct WeekdayRow {
    int today;
    const char* line;
};
class WeekdayTable : public ::testing::TestWithParam<WeekdayRow> {};

TEST_P(WeekdayTable, SecondTitleLineNamesTheSevenBarsOldestFirst) {
    const std::string line = WeekdayLine(GetParam().today);
    EXPECT_EQ(line, GetParam().line);
    EXPECT_EQ(line.size(), 118u);
    // Sunday 10 March 2024 is weekday 1; the title follows the weekday of "now".
    const DateTime now = EncodeDate(2024, 3, 9 + GetParam().today) + 0.75;
    ASSERT_EQ(DayOfWeek(now), GetParam().today);
    EXPECT_EQ(ComputeSevenDays({}, now, FormatSettings{}).titleLines[1], GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Days, WeekdayTable,
    ::testing::Values(
        WeekdayRow{1, "lun               mar               mer               gio               ven               sab  "
                      "             dom       "},
        WeekdayRow{2, "mar               mer               gio               ven               sab               dom  "
                      "             lun       "},
        WeekdayRow{3, "mer               gio               ven               sab               dom               lun  "
                      "             mar       "},
        WeekdayRow{4, "gio               ven               sab               dom               lun               mar  "
                      "             mer       "},
        WeekdayRow{5, "ven               sab               dom               lun               mar               mer  "
                      "             gio       "},
        WeekdayRow{6, "sab               dom               lun               mar               mer               gio  "
                      "             ven       "},
        WeekdayRow{7, "dom               lun               mar               mer               gio               ven  "
                      "             sab       "}));

TEST(ApplySevenDaysTest, RefillsBothSeriesAndTheTitle) {
    TBarSeries giorno(0xC08000);
    TLineSeries media(clRed);
    TChartTitle title;
    int changes = 0;
    giorno.SetChangeHandler([&] { ++changes; });
    media.SetChangeHandler([&] { ++changes; });
    title.SetChangeHandler([&] { ++changes; });
    giorno.Add(99.0, "old", clRed);
    title.Text().Add("old");
    changes = 0;

    const std::vector<DateTime> sums = {0, 0, 0, 0, 0, 2.0 / 24, 1.0 / 24};
    const SevenDayFigures f = ComputeSevenDays(sums, kWednesday, FormatSettings{});
    ApplySevenDays(title, giorno, media, f);

    EXPECT_EQ(changes, 19) << "two clears, fourteen points, a title clear and two lines";
    ASSERT_EQ(giorno.Count(), 7);
    ASSERT_EQ(media.Count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(giorno.XValues().Value(i), i);
        EXPECT_EQ(giorno.GetPointColor(i), DefaultPointColor);
        EXPECT_EQ(media.GetPointColor(i), DefaultPointColor);
        EXPECT_EQ(giorno.GetYValue(i), f.hours[static_cast<std::size_t>(i)]);
        EXPECT_EQ(media.GetYValue(i), f.averages[static_cast<std::size_t>(i)]);
        EXPECT_EQ(media.GetPointLabel(i), f.averageLabels[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(giorno.GetPointLabel(5), "2:00:00");
    EXPECT_EQ(title.Text().Lines(), (std::vector<std::string>{f.titleLines[0], f.titleLines[1]}));
    EXPECT_NEAR(media.GetYValue(6), 3.0 / 7, 1e-12);
    EXPECT_NEAR(giorno.YValues().TotalAbs(), 3.0, 1e-12);
}

} // namespace
} // namespace hourlink
