#pragma once

#include <cstdint>

namespace hourlink {

// A point in local time: days since 1899-12-30 00:00, the fraction being the time of day.
// A duration is the difference of two such values, in days.
using DateTime = double;

inline constexpr std::int64_t kMSecsPerDay = 86400000;
inline constexpr double kHoursPerDay = 24.0;

struct CivilDate {
    int year = 1899;
    int month = 12;
    int day = 30;
};

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The parts of a DateTime after rounding to whole milliseconds, as the runtime has always
// decoded them: the date is the whole days of the rounded value, the time its remainder.
struct DecodedDateTime {
    CivilDate date;
    TimeOfDay time;
};

[[nodiscard]] DateTime EncodeDate(int year, int month, int day);
[[nodiscard]] DateTime EncodeTime(int hour, int minute, int second, int millisecond);
[[nodiscard]] DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                                      int millisecond = 0);

// Rounds to whole milliseconds (halves to even). Values that are not finite decode as 1899-12-30 00:00.
[[nodiscard]] DecodedDateTime DecodeDateTime(DateTime value);

// Whole milliseconds of the value, rounded halves to even; 0 for values that are not finite and
// saturated at the int64 range.
[[nodiscard]] std::int64_t RoundToMilliseconds(DateTime value);

// The date part, that is the value at 00:00 of its day (rounded down).
[[nodiscard]] DateTime DateOf(DateTime value);

// 1 = Sunday … 7 = Saturday.
[[nodiscard]] int DayOfWeek(DateTime value);

} // namespace hourlink
