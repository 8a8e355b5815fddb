#include "stats/SevenDays.h"

#include <algorithm>

#include "runtime/TimeText.h"

namespace hourlink {

namespace {

// Indexed by weekday, 1 = Sunday.
constexpr std::array<const char*, 8> kWeekdayNames = {"", "dom", "lun", "mar", "mer", "gio", "ven", "sab"};

} // namespace

std::vector<TimeWindow> SevenDayWindows(DateTime now) {
    const DateTime today = DateOf(now);
    std::vector<TimeWindow> windows(kChartDays);
    for (int n = kChartDays - 1; n >= 0; --n) {
        const DateTime day = today - (kChartDays - 1) + n;
        const DateTime offset = n == 0 ? now - today : 0.0;
        windows[static_cast<std::size_t>(n)] = TimeWindow{day + offset, day + 1.0};
    }
    return windows;
}

std::vector<DateTime> RunningShares(const std::vector<TimeWindow>& windows, DateTime start, DateTime end) {
    std::vector<DateTime> shares(windows.size(), 0.0);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const DateTime share = std::min(end, windows[i].hi) - std::max(start, windows[i].lo);
        // Also false for NaN.
        if (share > 0.0) {
            shares[i] = share;
        }
    }
    return shares;
}

DateTime UnloggedFrom(const RunningConnection& running) {
    return running.loggedUntil ? std::max(running.start, *running.loggedUntil) : running.start;
}

std::vector<DateTime> LiveSevenDaySums(ConnectionLog& log, DateTime now,
                                       const std::optional<RunningConnection>& running) {
    const std::vector<TimeWindow> windows = SevenDayWindows(now);
    std::vector<DateTime> sums = log.ConnectedTimes(windows);
    if (running) {
        const std::vector<DateTime> shares = RunningShares(windows, UnloggedFrom(*running), now);
        for (std::size_t i = 0; i < sums.size(); ++i) {
            sums[i] += shares[i];
        }
    }
    return sums;
}

std::array<bool, kChartDays> TouchedDays(DateTime now, const std::optional<RunningConnection>& running) {
    std::array<bool, kChartDays> touched{};
    if (running) {
        const std::vector<DateTime> shares = RunningShares(SevenDayWindows(now), running->start, now);
        for (std::size_t i = 0; i < kChartDays; ++i) {
            touched[i] = shares[i] > 0.0;
        }
    }
    return touched;
}

std::string WeekdayLine(int dayOfWeek) {
    std::string line;
    for (int i = 0; i < kChartDays; ++i) {
        // The oldest bar is the weekday after today's.
        const int weekday = (dayOfWeek + i) % 7 + 1;
        line += kWeekdayNames[static_cast<std::size_t>(weekday)];
        line += std::string(i == kChartDays - 1 ? 7 : 15, ' ');
    }
    return line;
}

SevenDayFigures ComputeSevenDays(const std::vector<DateTime>& sums, DateTime now, const FormatSettings& format) {
    SevenDayFigures figures;
    double sum = 0.0;
    for (std::size_t i = 0; i < kChartDays; ++i) {
        const DateTime v = i < sums.size() ? sums[i] : 0.0;
        figures.hours[i] = v * kHoursPerDay;
        figures.hourLabels[i] = DurationText(v, format);
        sum += v * kHoursPerDay;
        const double count = static_cast<double>(i + 1);
        figures.averages[i] = sum / count;
        figures.averageLabels[i] = DurationText(sum / kHoursPerDay / count, format);
    }
    figures.titleLines[0] = "ieri               oggi       ";
    figures.titleLines[1] = WeekdayLine(DayOfWeek(now));
    return figures;
}

} // namespace hourlink
