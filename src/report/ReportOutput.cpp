#include "report/ReportOutput.h"

#include <cmath>
#include <cstdio>

#include "appcore/ConnectionList.h"
#include "runtime/TimeText.h"

namespace hourlink {
namespace {

const char* SourceName(ReportLimit::Source source) {
    switch (source) {
    case ReportLimit::Source::Live:
        return "program";
    case ReportLimit::Source::Settings:
        return "settings";
    case ReportLimit::Source::Option:
        return "option";
    case ReportLimit::Source::None:
        break;
    }
    return "none";
}

std::string Padded(const std::string& text, std::size_t width, bool right) {
    // Widths count characters, not the bytes of UTF-8.
    std::size_t length = 0;
    for (const char c : text) {
        length += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    const std::string fill(length < width ? width - length : 0, ' ');
    return right ? fill + text : text + fill;
}

const std::string& WeekdayName(const ReportStyle& style, DateTime day) {
    return style.weekdayNames[static_cast<std::size_t>(DayOfWeek(day) - 1)];
}

std::string Bool(bool value) {
    return value ? "true" : "false";
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

std::string LimitSummary(const ReportFigures& figures, const ReportLimit& limit, const ReportStyle& style) {
    if (!limit.value) {
        return "Limit: none could be read";
    }
    std::string line = "Limit: " + DurationText(*limit.value, style.format);
    if (!limit.text.empty()) {
        line += " (" + limit.text + ")";
    }
    switch (limit.source) {
    case ReportLimit::Source::Live:
        line += ", the running program's";
        break;
    case ReportLimit::Source::Settings:
        line += ", stored in " + limit.iniFile;
        break;
    case ReportLimit::Source::Option:
        line += ", from --limit";
        break;
    case ReportLimit::Source::None:
        break;
    }
    return line + (AboveLimit(figures, limit) ? "; the average is above it" : "; the average is not above it");
}

std::string LiveSummary(const ReportFigures& figures, const ReportStyle& style) {
    if (!figures.live) {
        return "The program is not running for this log: figures from the log alone.";
    }
    std::string line = "The program is running: ";
    if (figures.live->recording && figures.live->connectionStart) {
        line += "recording since " + DateTimeText(*figures.live->connectionStart, style.format);
    } else {
        line += "not recording";
    }
    return line + (figures.live->alertOn ? ", alert on." : ", alert off.");
}

void WriteTextTable(std::ostream& out, const ReportFigures& figures, const ReportLimit& limit,
                    const ReportStyle& style) {
    out << Padded("Date", 12, false) << Padded("Day", 5, false) << Padded("Connected", 12, true)
        << Padded("Connections", 13, true) << '\n';
    for (const DayRow& row : figures.days) {
        out << Padded(ShortDateText(row.day, style.format), 12, false) << Padded(WeekdayName(style, row.day), 5, false)
            << Padded(DurationText(row.connected, style.format), 12, true)
            << Padded(std::to_string(row.connections), 13, true) << '\n';
    }
    out << '\n'
        << "Seven days to " << DateTimeText(figures.now, style.format) << ", the oldest from "
        << DurationText(figures.now - DateOf(figures.now), style.format) << ":\n";
    out << Padded("Day", 5, false) << Padded("Connected", 12, true) << Padded("Average", 12, true) << '\n';
    for (std::size_t i = 0; i < figures.sevenWindows.size(); ++i) {
        out << Padded(WeekdayName(style, DateOf(figures.sevenWindows[i].lo)), 5, false)
            << Padded(figures.seven.hourLabels[i], 12, true) << Padded(figures.seven.averageLabels[i], 12, true)
            << '\n';
    }
    out << "Seven-day average: " << figures.seven.averageLabels[kChartDays - 1] << '\n';
    out << LimitSummary(figures, limit, style) << '\n';
    out << LiveSummary(figures, style) << '\n';
}

void WriteJsonLimit(std::ostream& out, const ReportFigures& figures, const ReportLimit& limit) {
    out << "\"limit\":{\"source\":" << JsonString(SourceName(limit.source));
    out << ",\"seconds\":" << (limit.value ? SecondsText(*limit.value) : "null");
    out << ",\"text\":" << (limit.text.empty() ? "null" : JsonString(limit.text));
    out << ",\"above\":" << Bool(AboveLimit(figures, limit)) << "}";
}

void WriteJsonLive(std::ostream& out, const ReportFigures& figures) {
    out << "\"live\":" << Bool(figures.live.has_value());
    if (figures.live) {
        const LiveState& live = *figures.live;
        out << ",\"recording\":" << Bool(live.recording);
        out << ",\"connection_start\":"
            << (live.connectionStart ? JsonString(IsoLocalText(*live.connectionStart)) : "null");
        out << ",\"checkpoint_end\":" << (live.checkpointEnd ? JsonString(IsoLocalText(*live.checkpointEnd)) : "null");
        out << ",\"alert_box\":" << Bool(live.alertOn);
    }
}

void WriteJsonTable(std::ostream& out, const ReportFigures& figures, const ReportLimit& limit,
                    const ReportStyle& style) {
    out << "{\"now\":" << JsonString(IsoLocalText(figures.now)) << ",";
    WriteJsonLive(out, figures);
    out << ",\"records\":" << figures.records << ",\"days\":[";
    for (std::size_t i = 0; i < figures.days.size(); ++i) {
        const DayRow& row = figures.days[i];
        out << (i == 0 ? "" : ",") << "{\"date\":" << JsonString(IsoDateText(row.day))
            << ",\"weekday\":" << JsonString(WeekdayName(style, row.day))
            << ",\"connected_seconds\":" << SecondsText(row.connected) << ",\"connections\":" << row.connections << "}";
    }
    out << "],\"seven_days\":[";
    for (std::size_t i = 0; i < figures.sevenWindows.size(); ++i) {
        out << (i == 0 ? "" : ",") << "{\"from\":" << JsonString(IsoLocalText(figures.sevenWindows[i].lo))
            << ",\"to\":" << JsonString(IsoLocalText(figures.sevenWindows[i].hi))
            << ",\"connected_seconds\":" << SecondsText(figures.seven.hours[i] / kHoursPerDay)
            << ",\"average_seconds\":" << SecondsText(figures.seven.averages[i] / kHoursPerDay) << "}";
    }
    out << "],\"average_seconds\":" << SecondsText(figures.seven.averages[kChartDays - 1] / kHoursPerDay) << ",";
    WriteJsonLimit(out, figures, limit);
    out << "}\n";
}

void WriteCsvTable(std::ostream& out, const ReportFigures& figures, const ReportLimit& limit,
                   const ReportStyle& style) {
    out << "date,weekday,connected_seconds,connections\n";
    for (const DayRow& row : figures.days) {
        out << IsoDateText(row.day) << ',' << CsvField(WeekdayName(style, row.day)) << ',' << SecondsText(row.connected)
            << ',' << row.connections << '\n';
    }
    out << "\nfrom,to,connected_seconds,average_seconds\n";
    for (std::size_t i = 0; i < figures.sevenWindows.size(); ++i) {
        out << IsoLocalText(figures.sevenWindows[i].lo) << ',' << IsoLocalText(figures.sevenWindows[i].hi) << ','
            << SecondsText(figures.seven.hours[i] / kHoursPerDay) << ','
            << SecondsText(figures.seven.averages[i] / kHoursPerDay) << '\n';
    }
    out << "\nnow,live,average_seconds,limit_seconds,limit_source,above_limit\n";
    out << IsoLocalText(figures.now) << ',' << Bool(figures.live.has_value()) << ','
        << SecondsText(figures.seven.averages[kChartDays - 1] / kHoursPerDay) << ','
        << (limit.value ? SecondsText(*limit.value) : "") << ',' << SourceName(limit.source) << ','
        << Bool(AboveLimit(figures, limit)) << '\n';
}

DateTime TodayConnected(const ReportFigures& figures) {
    return figures.sevenSums.empty() ? 0.0 : figures.sevenSums.back();
}

void WriteToday(std::ostream& out, ReportFormat format, const ReportFigures& figures, const ReportStyle& style) {
    const DateTime today = TodayConnected(figures);
    switch (format) {
    case ReportFormat::Text:
        out << DurationText(today, style.format) << '\n';
        break;
    case ReportFormat::Json:
        out << "{\"date\":" << JsonString(IsoDateText(figures.now))
            << ",\"now\":" << JsonString(IsoLocalText(figures.now)) << ",\"connected_seconds\":" << SecondsText(today)
            << ",";
        WriteJsonLive(out, figures);
        out << "}\n";
        break;
    case ReportFormat::Csv:
        out << "date,now,connected_seconds,live\n"
            << IsoDateText(figures.now) << ',' << IsoLocalText(figures.now) << ',' << SecondsText(today) << ','
            << Bool(figures.live.has_value()) << '\n';
        break;
    }
}

void WriteList(std::ostream& out, ReportFormat format, const ReportFigures& figures, const ReportStyle& style) {
    IsoTimeWriter iso;
    switch (format) {
    case ReportFormat::Text:
        for (const ConnectionRecord& record : figures.listed) {
            AppendConnectionLines(record, style.format, [&out](const std::string& line) { out << line << '\n'; });
        }
        break;
    case ReportFormat::Json:
        out << "[";
        for (std::size_t i = 0; i < figures.listed.size(); ++i) {
            const ConnectionRecord& r = figures.listed[i];
            out << (i == 0 ? "" : ",") << "\n{\"start\":" << JsonString(iso.Text(r.start))
                << ",\"end\":" << JsonString(iso.Text(r.end))
                << ",\"duration_seconds\":" << SecondsText(r.end - r.start) << "}";
        }
        out << "\n]\n";
        break;
    case ReportFormat::Csv:
        out << "start,end,duration_seconds\n";
        for (const ConnectionRecord& r : figures.listed) {
            out << iso.Text(r.start) << ',' << iso.Text(r.end) << ',' << SecondsText(r.end - r.start) << '\n';
        }
        break;
    }
}

} // namespace

bool AboveLimit(const ReportFigures& figures, const ReportLimit& limit) {
    return limit.value.has_value() && figures.seven.averages[kChartDays - 1] > *limit.value * kHoursPerDay;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string SecondsText(DateTime days) {
    const double seconds = days * 86400.0;
    if (!std::isfinite(seconds)) {
        return "null";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", std::round(seconds * 1000.0) / 1000.0);
    return buffer;
}

void WriteReport(std::ostream& out, const ReportOptions& options, const ReportFigures& figures,
                 const ReportLimit& limit, const ReportStyle& style) {
    switch (options.view) {
    case ReportView::Table:
        if (options.format == ReportFormat::Json) {
            WriteJsonTable(out, figures, limit, style);
        } else if (options.format == ReportFormat::Csv) {
            WriteCsvTable(out, figures, limit, style);
        } else {
            WriteTextTable(out, figures, limit, style);
        }
        break;
    case ReportView::Today:
        WriteToday(out, options.format, figures, style);
        break;
    case ReportView::List:
        WriteList(out, options.format, figures, style);
        break;
    }
}

} // namespace hourlink
