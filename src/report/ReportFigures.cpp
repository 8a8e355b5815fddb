#include "report/ReportFigures.h"

#include <algorithm>

namespace hourlink {
namespace {

// The part of the running connection that the log does not hold yet: from its last checkpoint (or its
// start) up to now.
std::optional<TimeWindow> UnloggedPart(const std::optional<LiveState>& live, DateTime now) {
    if (!live || !live->recording || !live->connectionStart) {
        return std::nullopt;
    }
    return TimeWindow{UnloggedFrom(RunningConnection{*live->connectionStart, live->checkpointEnd}), now};
}

} // namespace

std::vector<TimeWindow> ReportWindows(DateTime now) {
    const DateTime today = DateOf(now);
    std::vector<TimeWindow> windows;
    for (int n = kTableDays - 1; n >= 0; --n) {
        windows.push_back(TimeWindow{today - n, today - n + 1.0});
    }
    const std::vector<TimeWindow> seven = SevenDayWindows(now);
    windows.insert(windows.end(), seven.begin(), seven.end());
    return windows;
}

ReportFigures ComputeReportFigures(const LogSnapshot& snapshot, const std::optional<LiveState>& live, DateTime now,
                                   const FormatSettings& format) {
    ReportFigures figures;
    figures.now = now;
    figures.logExists = snapshot.exists;
    figures.records = snapshot.records;
    figures.errorCode = snapshot.errorCode;
    figures.live = live;
    figures.listed = snapshot.listed;

    const std::vector<TimeWindow> windows = ReportWindows(now);
    std::vector<DateTime> sums = snapshot.sums;
    std::vector<std::int64_t> counts = snapshot.counts;
    sums.resize(windows.size(), 0.0);
    counts.resize(windows.size(), 0);
    if (const auto unlogged = UnloggedPart(live, now)) {
        const std::vector<DateTime> shares = RunningShares(windows, unlogged->lo, unlogged->hi);
        // A day the checkpointed part already reaches has the connection counted by the log.
        const std::vector<DateTime> logged = RunningShares(windows, *live->connectionStart, unlogged->lo);
        for (std::size_t w = 0; w < windows.size(); ++w) {
            sums[w] += shares[w];
            counts[w] += shares[w] > 0.0 && !(logged[w] > 0.0) ? 1 : 0;
        }
    }

    // The table starts at the oldest record's day, or 20 days ago when the log reaches further back.
    const DateTime today = DateOf(now);
    std::optional<DateTime> oldest = snapshot.oldestStart;
    if (live && live->recording && live->connectionStart) {
        oldest = std::min(oldest.value_or(*live->connectionStart), *live->connectionStart);
    }
    const DateTime firstDay = oldest ? std::clamp(DateOf(*oldest), today - (kTableDays - 1), today) : today;
    for (int i = 0; i < kTableDays; ++i) {
        const auto w = static_cast<std::size_t>(i);
        if (windows[w].lo >= firstDay) {
            figures.days.push_back(DayRow{windows[w].lo, sums[w], counts[w]});
        }
    }
    figures.sevenWindows.assign(windows.begin() + kTableDays, windows.end());
    figures.sevenSums.assign(sums.begin() + kTableDays, sums.end());
    figures.seven = ComputeSevenDays(figures.sevenSums, now, format);
    return figures;
}

} // namespace hourlink
