#include "runtime/DateTime.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace hourlink {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's civil-from-days algorithm, inverted).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

CivilDate CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = y + (m <= 2 ? 1 : 0);
    CivilDate out;
    out.year = static_cast<int>(year);
    out.month = static_cast<int>(m);
    out.day = static_cast<int>(d);
    return out;
}

constexpr std::int64_t kDaysFrom1970To1899 = -25569; // 1899-12-30 relative to 1970-01-01
// Dates beyond year ±5,000,000 are not representable as CivilDate years; such values are clamped.
constexpr std::int64_t kDayLimit = 1'800'000'000;

} // namespace

DateTime EncodeDate(int year, int month, int day) {
    return static_cast<DateTime>(DaysFromCivil(year, month, day) - kDaysFrom1970To1899);
}

DateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    const std::int64_t ms = ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<DateTime>(ms) / static_cast<DateTime>(kMSecsPerDay);
}

DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, millisecond);
}

std::int64_t RoundToMilliseconds(DateTime value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    const double ms = value * static_cast<double>(kMSecsPerDay);
    constexpr double kMax = 9.2e18;
    if (ms >= kMax) {
        return static_cast<std::int64_t>(kMax);
    }
    if (ms <= -kMax) {
        return -static_cast<std::int64_t>(kMax);
    }
    // nearbyint follows the current rounding mode, which is to-nearest with halves to even.
    return static_cast<std::int64_t>(std::nearbyint(ms));
}

DecodedDateTime DecodeDateTime(DateTime value) {
    const std::int64_t total = RoundToMilliseconds(value);
    std::int64_t days = total / kMSecsPerDay; // whole days toward zero, as the runtime does
    std::int64_t rest = total % kMSecsPerDay;
    if (rest < 0) {
        rest = -rest;
    }
    if (days > kDayLimit) {
        days = kDayLimit;
    } else if (days < -kDayLimit) {
        days = -kDayLimit;
    }
    DecodedDateTime out;
    out.date = CivilFromDays(days + kDaysFrom1970To1899);
    out.time.millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    out.time.second = static_cast<int>(rest % 60);
    rest /= 60;
    out.time.minute = static_cast<int>(rest % 60);
    out.time.hour = static_cast<int>(rest / 60);
    return out;
}

DateTime DateOf(DateTime value) {
    return std::floor(value);
}

int DayOfWeek(DateTime value) {
    if (!std::isfinite(value)) {
        return 7;
    }
    const double day = std::floor(value);
    // 1899-12-30 was a Saturday (7).
    double r = std::fmod(day + 6.0, 7.0);
    if (r < 0) {
        r += 7.0;
    }
    return static_cast<int>(r) + 1;
}

} // namespace hourlink
