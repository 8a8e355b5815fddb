#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>

#include "report/ReportFigures.h"
#include "report/ReportOptions.h"

namespace hourlink {

// The limit the seven-day average is compared with, and where it came from.
struct ReportLimit {
    enum class Source { None, Live, Settings, Option };
    Source source = Source::None;
    std::optional<DateTime> value; // a fraction of a day; absent when none could be had
    std::string text;              // the list text it was parsed from ("AUP 12"), if any
    std::string iniFile;           // the settings file, for Source::Settings
};

// Whether the seven-day average is above the limit (strictly, in hours, as the alert compares).
[[nodiscard]] bool AboveLimit(const ReportFigures& figures, const ReportLimit& limit);

// How the report writes, in the user's locale: weekday names indexed 1 = Sunday … 7 = Saturday at 0 … 6.
struct ReportStyle {
    FormatSettings format;
    std::array<std::string, 7> weekdayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
};

// Writes the chosen view in the chosen format. Machine formats give durations in seconds (to the
// millisecond) and times in ISO 8601 local time with their UTC offset.
void WriteReport(std::ostream& out, const ReportOptions& options, const ReportFigures& figures,
                 const ReportLimit& limit, const ReportStyle& style);

// A text as a JSON string, quotes included.
[[nodiscard]] std::string JsonString(const std::string& text);

// A duration in days as seconds to the millisecond, such as "7509.125".
[[nodiscard]] std::string SecondsText(DateTime days);

} // namespace hourlink
