#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "runtime/Clock.h"
#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"
#include "store/iodata.h"

namespace hourlink {

inline constexpr int kChartDays = 7;

// What the chart shows of the last seven days; index 6 is today, index 0 six days ago.
struct SevenDayFigures {
    std::array<double, kChartDays> hours{};            // bar i: connected hours of day i
    std::array<std::string, kChartDays> hourLabels;    // bar i's time text
    std::array<double, kChartDays> averages{};         // mean hours of days 0 … i
    std::array<std::string, kChartDays> averageLabels; // that mean as a time text
    std::array<std::string, 2> titleLines;
};

// The seven windows the daily sums cover, oldest first: whole days, except the oldest, which starts at the
// current time of day, so that together they span exactly the last six days up to now.
[[nodiscard]] std::vector<TimeWindow> SevenDayWindows(DateTime now);

// The part of a running connection [start, end) that lies inside each window, in days: what the log does
// not hold yet of a connection that is still up. Windows it does not reach get 0.
[[nodiscard]] std::vector<DateTime> RunningShares(const std::vector<TimeWindow>& windows, DateTime start, DateTime end);

// A connection that is still up: its start, and the end its record in the log holds (empty while the
// log holds nothing of it yet).
struct RunningConnection {
    DateTime start = 0.0;
    std::optional<DateTime> loggedUntil;
};

// Where the part of a running connection that the log does not hold yet begins: its last checkpoint's end,
// or its start when it has none.
[[nodiscard]] DateTime UnloggedFrom(const RunningConnection& running);

// The seven daily sums at `now`, oldest first: what the log holds in each window plus the running
// connection's part beyond what the log holds of it, so no part of it counts twice. One use of the log's
// summary, no pass of its own.
[[nodiscard]] std::vector<DateTime> LiveSevenDaySums(ConnectionLog& log, DateTime now,
                                                     const std::optional<RunningConnection>& running);

// Which of the seven windows at `now` the running connection reaches: the bars that change while it runs.
[[nodiscard]] std::array<bool, kChartDays> TouchedDays(DateTime now, const std::optional<RunningConnection>& running);

// The weekday names of the seven bars, oldest first, each but the last followed by 15 blanks and the last
// by 7, for today's weekday 1 = Sunday … 7 = Saturday.
[[nodiscard]] std::string WeekdayLine(int dayOfWeek);

// Turns seven daily sums (durations in days, oldest first) into the bars, running averages and title lines.
[[nodiscard]] SevenDayFigures ComputeSevenDays(const std::vector<DateTime>& sums, DateTime now,
                                               const FormatSettings& format);

} // namespace hourlink
