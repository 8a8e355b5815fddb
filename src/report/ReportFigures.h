#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/LiveState.h"
#include "runtime/FormatSettings.h"
#include "stats/SevenDays.h"
#include "store/LogReader.h"

namespace hourlink {

// The days the report's table covers at most: today and the 20 before it, as many as the log keeps.
inline constexpr int kTableDays = 21;

// One row of the report's table: a whole day, its connected time in days and its connections.
struct DayRow {
    DateTime day = 0.0;
    DateTime connected = 0.0;
    std::int64_t connections = 0;
};

// Everything the report prints, computed from one pass over the log and, when the program runs, its live
// answer. The running connection counts once: the log holds it up to its last checkpoint, the live part
// adds what lies beyond.
struct ReportFigures {
    DateTime now = 0.0;
    bool logExists = false;
    std::int64_t records = 0;
    int errorCode = 0;
    std::optional<LiveState> live;
    std::vector<DayRow> days; // oldest first, today last
    std::vector<TimeWindow> sevenWindows;
    std::vector<DateTime> sevenSums; // in days, oldest first
    SevenDayFigures seven;
    std::vector<ConnectionRecord> listed;
};

// The windows one pass over the log must sum for the report at `now`: the table's days, then the seven.
[[nodiscard]] std::vector<TimeWindow> ReportWindows(DateTime now);

// Puts the log's snapshot (read with ReportWindows(now)) and the live state together.
[[nodiscard]] ReportFigures ComputeReportFigures(const LogSnapshot& snapshot, const std::optional<LiveState>& live,
                                                 DateTime now, const FormatSettings& format);

} // namespace hourlink
