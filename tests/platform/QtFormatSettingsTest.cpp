#include "platform/QtFormatSettings.h"

#include <gtest/gtest.h>

#include "runtime/DateTime.h"
#include "runtime/TimeText.h"

namespace hourlink {
namespace {

TEST(QtFormatSettings, ItalianAndAmericanLocalesGiveTheirOwnDatesAndClocks) {
    const FormatSettings it = FormatSettingsFromLocale(QLocale(QLocale::Italian, QLocale::Italy));
    EXPECT_EQ(it.shortDateFormat, "dd/MM/yy");
    EXPECT_EQ(it.timeSeparator, ":");
    EXPECT_EQ(it.decimalSeparator, ",");
    EXPECT_FALSE(it.twelveHour);
    EXPECT_EQ(DateTimeText(EncodeDateTime(2026, 12, 7, 8, 5, 9), it), "07/12/26 08:05:09");

    const FormatSettings us = FormatSettingsFromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(us.twelveHour);
    EXPECT_FALSE(us.designatorFirst);
    EXPECT_EQ(DateTimeText(EncodeDateTime(2026, 12, 7, 14, 5, 9), us), "12/7/26 2:05:09 PM");

    // A duration keeps the locale's separator and leading zero, but counts its hours on and has no designator.
    EXPECT_EQ(DurationText(0.5 / 24, it), "00:30:00");
    EXPECT_EQ(DurationText(25.0 / 24, it), "25:00:00");
    EXPECT_EQ(DurationText(0.5 / 24, us), "0:30:00");
    EXPECT_EQ(DurationText(EncodeTime(2, 4, 51, 0), us), "2:04:51");
    EXPECT_EQ(DurationText(1.0, us), "24:00:00");
    EXPECT_EQ(DurationText(25.0 / 24, us), "25:00:00");
}

TEST(QtFormatSettings, ALocaleThatNamesTheMonthGetsANumericDate) {
    // The C locale's short date names the month; a date must never lose it.
    const FormatSettings c = FormatSettingsFromLocale(QLocale::c());
    EXPECT_EQ(DateTimeText(EncodeDate(2026, 12, 7), c), "07/12/2026");
}

} // namespace
} // namespace hourlink
