#include "runtime/DateTime.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace hourlink {
namespace {

TEST(DateTime, DaysCountFromTheLastDaysOf1899) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
    EXPECT_EQ(EncodeDate(2000, 3, 1), 36586.0); // after a leap day of a year divisible by 400
    EXPECT_EQ(EncodeDateTime(2026, 12, 8, 18, 0, 0), EncodeDate(2026, 12, 8) + 0.75);
}

TEST(DateTime, DecodingRoundsToWholeMillisecondsHalvesToEven) {
    const DateTime day = EncodeDate(2026, 12, 8);
    const DecodedDateTime d = DecodeDateTime(day + EncodeTime(13, 4, 5, 6));
    EXPECT_EQ(d.date.year, 2026);
    EXPECT_EQ(d.date.month, 12);
    EXPECT_EQ(d.date.day, 8);
    EXPECT_EQ(d.time.hour, 13);
    EXPECT_EQ(d.time.minute, 4);
    EXPECT_EQ(d.time.second, 5);
    EXPECT_EQ(d.time.millisecond, 6);
    EXPECT_EQ(RoundToMilliseconds(2.5 / 86400000.0), 2);
    EXPECT_EQ(RoundToMilliseconds(3.5 / 86400000.0), 4);
}

TEST(DateTime, AValueJustBeforeMidnightRoundsIntoTheNextDay) {
    const DecodedDateTime d = DecodeDateTime(EncodeDate(2026, 12, 31) + (86399999.6 / 86400000.0));
    EXPECT_EQ(d.date.year, 2027);
    EXPECT_EQ(d.date.month, 1);
    EXPECT_EQ(d.date.day, 1);
    EXPECT_EQ(d.time.hour, 0);
    EXPECT_EQ(d.time.millisecond, 0);
}

TEST(DateTime, WeekdaysRunFromSundayOneToSaturdaySeven) {
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 6)), 1);                 // a Sunday
    EXPECT_EQ(DayOfWeek(EncodeDateTime(2026, 12, 9, 23, 59, 59)), 4); // a Wednesday, late
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 29)), 6);                // before day 0
}

TEST(DateTime, ValuesThatAreNotFiniteOrHugeDecodeWithoutHarm) {
    for (double v :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -1e308, 1e308}) {
        const DecodedDateTime d = DecodeDateTime(v);
        EXPECT_GE(d.time.hour, 0);
        EXPECT_LT(d.time.hour, 24);
        EXPECT_GE(DayOfWeek(v), 1);
        EXPECT_LE(DayOfWeek(v), 7);
    }
}

} // namespace
} // namespace hourlink
