#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/DateTime.h"

namespace hourlink {

// What hourlink-report was asked for on its command line.
enum class ReportView { Table, Today, List };
enum class ReportFormat { Text, Json, Csv };

struct ReportOptions {
    ReportView view = ReportView::Table;
    ReportFormat format = ReportFormat::Text;
    // --list --since WHEN, as a local DateTime.
    std::optional<DateTime> since;
    std::optional<std::string> dir;
    std::optional<std::string> ini;
    bool alert = false;
    // --limit HOURS, as a fraction of a day.
    std::optional<DateTime> limit;
    bool help = false;
};

// The options, or the reason they make no sense (an unknown option, a missing or bad value, two views).
struct ParsedOptions {
    std::optional<ReportOptions> options;
    std::string error;
};
[[nodiscard]] ParsedOptions ParseReportOptions(const std::vector<std::string>& args);

inline constexpr const char* kReportUsage =
    "Usage: hourlink-report [--today | --list [--since WHEN]] [--json | --csv]\n"
    "                       [--dir DIR] [--ini PATH] [--alert] [--limit HOURS]\n"
    "  (no view)      every day of the log up to today, then the seven-day figures and the limit\n"
    "  --today        today's connected time on one line\n"
    "  --list         the connections of the last 144 hours, or since WHEN (ISO 8601 date or date-time)\n"
    "  --json, --csv  machine-readable output: durations in seconds, times in ISO 8601 local time\n"
    "  --dir DIR      the folder of datatime.dat (default: the launcher's folder)\n"
    "  --ini PATH     the settings file to take the stored limit from\n"
    "  --alert        exit with status 1 when the seven-day average is above the limit\n"
    "  --limit HOURS  the limit to compare with, instead of the program's own\n"
    "Exit status: 0 done, 1 above the limit (with --alert), 2 usage error, 3 log or settings unreadable.\n";

// An ISO 8601 date ("2024-03-13") or date-time ("2024-03-13T10:00", seconds and fractions optional, a blank
// allowed for the T), in local time, or with "Z" or an offset such as "+01:00", then turned into local time.
[[nodiscard]] std::optional<DateTime> ParseIsoDateTime(const std::string& text);

// A local DateTime in ISO 8601 to the millisecond with the UTC offset in force at that moment, such as
// "2024-03-13T10:00:00.000+01:00".
[[nodiscard]] std::string IsoLocalText(DateTime value);

// The same for many times in a row: asking the system for the offset costs a look at the time zone file,
// so the offset of the last minute asked about is kept.
class IsoTimeWriter {
public:
    [[nodiscard]] std::string Text(DateTime value);

private:
    long long m_minute = -1;
    long m_offset = 0;
};

// The date alone, "2024-03-13".
[[nodiscard]] std::string IsoDateText(DateTime value);

} // namespace hourlink
