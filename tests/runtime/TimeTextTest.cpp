#include "runtime/TimeText.h"

#include <cmath>
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/DateTime.h"

namespace hourlink {
namespace {

FormatSettings TwentyFour() {
    return FormatSettings{};
}

FormatSettings TwelveHour(bool designatorFirst = false) {
    FormatSettings fs;
    fs.twelveHour = true;
    fs.designatorFirst = designatorFirst;
    return fs;
}

FormatSettings LeadingZero(bool twelveHour = false) {
    FormatSettings fs;
    fs.leadingZeroHour = true;
    fs.twelveHour = twelveHour;
    return fs;
}

FormatSettings Dotted() {
    FormatSettings fs;
    fs.timeSeparator = ".";
    fs.shortDateFormat = "dd.MM.yyyy";
    return fs;
}

double Ms(double milliseconds) {
    return milliseconds / 86400000.0;
}

struct TextCase {
    const char* name;
    DateTime value;
    FormatSettings format;
    const char* expected;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class DurationTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(DurationTextTest, WritesHoursMinutesSeconds) {
    EXPECT_EQ(DurationText(GetParam().value, GetParam().format), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DurationTextTest,
    ::testing::Values(
        TextCase{"TwoHoursFiveNine", EncodeTime(2, 5, 9, 0), TwentyFour(), "2:05:09"},
        TextCase{"Zero", 0.0, TwentyFour(), "0:00:00"},
        TextCase{"WholeDaysCountAsHours", 25.0 / 24.0, TwentyFour(), "25:00:00"},
        TextCase{"TwoSeventhsOfAnHour", 2.0 / 7.0 / 24.0, TwentyFour(), "0:17:08"},
        TextCase{"MillisecondsCutNotRounded", EncodeTime(1, 2, 3, 999), TwentyFour(), "1:02:03"},
        TextCase{"SubMillisecondRoundsUp", EncodeTime(1, 2, 3, 999) + Ms(0.6), TwentyFour(), "1:02:04"},
        TextCase{"RoundsUpToTwentyFourHours", EncodeTime(23, 59, 59, 999) + Ms(0.6), TwentyFour(), "24:00:00"},
        TextCase{"NegativeDurationShowsItsSize", -EncodeTime(2, 5, 9, 0), TwentyFour(), "2:05:09"},
        TextCase{"DateAndTimeCountsAllItsHours", EncodeDateTime(2024, 3, 1, 23, 0, 0), TwentyFour(), "1088471:00:00"},
        TextCase{"NotANumber", std::numeric_limits<double>::quiet_NaN(), TwentyFour(), "0:00:00"},
        TextCase{"Infinite", std::numeric_limits<double>::infinity(), TwentyFour(), "0:00:00"},
        TextCase{"LeadingZero", EncodeTime(2, 5, 9, 0), LeadingZero(), "02:05:09"},
        TextCase{"LeadingZeroTwoDigitHour", EncodeTime(14, 5, 9, 0), LeadingZero(), "14:05:09"},
        TextCase{"DotSeparator", EncodeTime(2, 5, 9, 0), Dotted(), "2.05.09"},
        TextCase{"TwelveHourHalfHour", EncodeTime(0, 30, 0, 0), TwelveHour(), "0:30:00"},
        TextCase{"TwelveHourUnderTwelve", EncodeTime(11, 59, 59, 0), TwelveHour(), "11:59:59"},
        TextCase{"TwelveHourTwelve", EncodeTime(12, 0, 0, 0), TwelveHour(), "12:00:00"},
        TextCase{"TwelveHourNotWrapped", EncodeTime(13, 5, 9, 0), TwelveHour(), "13:05:09"},
        TextCase{"DesignatorFirstStillNone", EncodeTime(13, 5, 9, 0), TwelveHour(true), "13:05:09"},
        TextCase{"TwelveLeadingZero", EncodeTime(13, 5, 9, 0), LeadingZero(true), "13:05:09"}));

TEST(DurationTextExtremes, HugeValuesGiveATimeWithoutCrashing) {
    for (const double value : {1e300, -1e300, std::numeric_limits<double>::max(), 9.2e18 / 86400000.0}) {
        EXPECT_THAT(DurationText(value, TwentyFour()), ::testing::MatchesRegex("[0-9]+:[0-9][0-9]:[0-9][0-9]"))
            << value;
    }
}

// The lengths an always-on connection reaches, on every kind of locale: the 12-hour setting and the
// designators play no part in a duration, the leading zero and the separator do.
INSTANTIATE_TEST_SUITE_P(
    Lengths, DurationTextTest,
    ::testing::Values(TextCase{"ZeroTwelveHour", 0.0, TwelveHour(), "0:00:00"},
                      TextCase{"ZeroLeadingZeroTwelveHour", 0.0, LeadingZero(true), "00:00:00"},
                      TextCase{"UnderAnHour", EncodeTime(0, 59, 59, 0), TwentyFour(), "0:59:59"},
                      TextCase{"UnderAnHourTwelveHour", EncodeTime(0, 59, 59, 0), TwelveHour(), "0:59:59"},
                      TextCase{"UnderAnHourLeadingZero", EncodeTime(0, 59, 59, 0), LeadingZero(), "00:59:59"},
                      TextCase{"UnderAnHourLastMillisecondCut", EncodeTime(0, 59, 59, 999), TwelveHour(), "0:59:59"},
                      TextCase{"OneDay", 1.0, TwentyFour(), "24:00:00"},
                      TextCase{"OneDayTwelveHour", 1.0, TwelveHour(), "24:00:00"},
                      TextCase{"OneDayDesignatorFirst", 1.0, TwelveHour(true), "24:00:00"},
                      TextCase{"OneDayLessAMillisecond", 1.0 - Ms(1), TwelveHour(), "23:59:59"},
                      TextCase{"TwentyFiveHoursTwelveHour", 25.0 / 24.0, TwelveHour(), "25:00:00"},
                      TextCase{"TwentyFiveHoursDotted", 25.0 / 24.0, Dotted(), "25.00.00"},
                      TextCase{"HundredHours", 100.0 / 24.0, TwentyFour(), "100:00:00"},
                      TextCase{"HundredHoursTwelveHour", 100.0 / 24.0, TwelveHour(), "100:00:00"},
                      TextCase{"HundredHoursLeadingZero", 100.0 / 24.0, LeadingZero(true), "100:00:00"},
                      TextCase{"HundredHoursAndABit", 100.0 / 24.0 + EncodeTime(0, 4, 51, 500), TwelveHour(),
                               "100:04:51"},
                      TextCase{"WeekAverage", 6.0 / 7.0, TwentyFour(), "20:34:17"},
                      TextCase{"NegativeDayShowsItsSize", -25.0 / 24.0, TwelveHour(), "25:00:00"}));

class DateTimeTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(DateTimeTextTest, WritesDateAndTime) {
    EXPECT_EQ(DateTimeText(GetParam().value, GetParam().format), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DateTimeTextTest,
    ::testing::Values(
        TextCase{"DateAndTime", EncodeDateTime(2024, 3, 1, 13, 5, 9), TwentyFour(), "01/03/2024 13:05:09"},
        TextCase{"MidnightShowsDateAlone", EncodeDate(2024, 3, 1), TwentyFour(), "01/03/2024"},
        TextCase{"MillisecondsAloneShowDateAlone", EncodeDateTime(2024, 3, 1, 0, 0, 0, 400), TwentyFour(),
                 "01/03/2024"},
        TextCase{"LastSecondOfTheDay", EncodeDateTime(2024, 3, 1, 23, 59, 59, 999), TwentyFour(),
                 "01/03/2024 23:59:59"},
        TextCase{"RoundsUpToTheNextDate", EncodeDateTime(2024, 3, 1, 23, 59, 59, 999) + Ms(0.6), TwentyFour(),
                 "02/03/2024"},
        TextCase{"OneSecondAfterMidnight", EncodeDateTime(2024, 3, 2, 0, 0, 1), TwentyFour(), "02/03/2024 0:00:01"},
        TextCase{"TwelveHourAfter", EncodeDateTime(2024, 12, 31, 13, 5, 9), TwelveHour(), "31/12/2024 1:05:09 PM"},
        TextCase{"TwelveHourBefore", EncodeDateTime(2024, 12, 31, 0, 5, 9), TwelveHour(true), "31/12/2024 AM 12:05:09"},
        TextCase{"Dotted", EncodeDateTime(2024, 3, 1, 9, 5, 9), Dotted(), "01.03.2024 9.05.09"},
        TextCase{"Epoch", 0.0, TwentyFour(), "30/12/1899"}));

struct DateCase {
    const char* pattern;
    const char* expected;
};

class ShortDateTextTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(ShortDateTextTest, RendersThePattern) {
    FormatSettings fs;
    fs.shortDateFormat = GetParam().pattern;
    EXPECT_EQ(ShortDateText(EncodeDateTime(2009, 7, 4, 18, 30, 0), fs), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Patterns, ShortDateTextTest,
                         ::testing::Values(DateCase{"dd/MM/yyyy", "04/07/2009"}, DateCase{"d/M/yy", "4/7/09"},
                                           DateCase{"yyyy-MM-dd", "2009-07-04"}, DateCase{"M/d/yyyy", "7/4/2009"},
                                           DateCase{"d. M. y", "4. 7. 09"},
                                           DateCase{"d 'de' M 'de' yyyy", "4 de 7 de 2009"},
                                           DateCase{"dd''MM", "04'07"}, DateCase{"'it''s' d", "it's 4"},
                                           DateCase{"dd 'rest", "04 rest"}, DateCase{"yyyy年M月d日", "2009年7月4日"}));

} // namespace
} // namespace hourlink
