#include "report/ReportOptions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace hourlink {
namespace {

// Reads exactly `count` digits at `pos`.
std::optional<int> Digits(const std::string& text, std::size_t& pos, std::size_t count) {
    if (pos + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    pos += count;
    return value;
}

bool Take(const std::string& text, std::size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The local DateTime of a moment given as seconds since 1970 UTC.
DateTime LocalFromEpoch(std::time_t seconds, int millisecond) {
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec, millisecond);
}

std::optional<DateTime> ParseHours(const std::string& text) {
    double hours = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), hours);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(hours) || hours < 0.0) {
        return std::nullopt;
    }
    return hours / kHoursPerDay;
}

} // namespace

std::optional<DateTime> ParseIsoDateTime(const std::string& text) {
    std::size_t pos = 0;
    const auto year = Digits(text, pos, 4);
    if (!year || !Take(text, pos, '-')) {
        return std::nullopt;
    }
    const auto month = Digits(text, pos, 2);
    if (!month || *month < 1 || *month > 12 || !Take(text, pos, '-')) {
        return std::nullopt;
    }
    const auto day = Digits(text, pos, 2);
    if (!day || *day < 1 || *day > DaysInMonth(*year, *month) || *year < 1) {
        return std::nullopt;
    }
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    if (pos < text.size()) {
        if (!Take(text, pos, 'T') && !Take(text, pos, ' ')) {
            return std::nullopt;
        }
        const auto h = Digits(text, pos, 2);
        if (!h || *h > 23 || !Take(text, pos, ':')) {
            return std::nullopt;
        }
        const auto m = Digits(text, pos, 2);
        if (!m || *m > 59) {
            return std::nullopt;
        }
        hour = *h;
        minute = *m;
        if (Take(text, pos, ':')) {
            const auto s = Digits(text, pos, 2);
            if (!s || *s > 59) {
                return std::nullopt;
            }
            second = *s;
            if (Take(text, pos, '.') || Take(text, pos, ',')) {
                // Milliseconds from up to three digits; further digits are read and dropped.
                int scale = 100;
                const std::size_t first = pos;
                while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
                    millisecond += (text[pos] - '0') * scale;
                    scale /= 10;
                    ++pos;
                }
                if (pos == first) {
                    return std::nullopt;
                }
            }
        }
    }
    if (pos == text.size()) {
        return EncodeDateTime(*year, *month, *day, hour, minute, second, millisecond);
    }
    // A moment with its offset from UTC.
    int offsetMinutes = 0;
    if (!Take(text, pos, 'Z')) {
        const bool minus = text[pos] == '-';
        if (!Take(text, pos, '+') && !Take(text, pos, '-')) {
            return std::nullopt;
        }
        const auto oh = Digits(text, pos, 2);
        if (!oh || *oh > 23) {
            return std::nullopt;
        }
        Take(text, pos, ':');
        const auto om = Digits(text, pos, 2);
        if (!om || *om > 59) {
            return std::nullopt;
        }
        offsetMinutes = (minus ? -1 : 1) * (*oh * 60 + *om);
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    std::tm utc{};
    utc.tm_year = *year - 1900;
    utc.tm_mon = *month - 1;
    utc.tm_mday = *day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const std::time_t seconds = ::timegm(&utc) - static_cast<std::time_t>(offsetMinutes) * 60;
    return LocalFromEpoch(seconds, millisecond);
}

std::string IsoDateText(DateTime value) {
    const DecodedDateTime d = DecodeDateTime(value);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.date.year, d.date.month, d.date.day);
    return buffer;
}

std::string IsoLocalText(DateTime value) {
    return IsoTimeWriter().Text(value);
}

std::string IsoTimeWriter::Text(DateTime value) {
    const DecodedDateTime d = DecodeDateTime(value);
    // Offsets change only at whole minutes.
    const long long minute = ((static_cast<long long>(d.date.year) * 13 + d.date.month) * 32 + d.date.day) * 1440 +
                             d.time.hour * 60 + d.time.minute;
    if (minute != m_minute) {
        std::tm local{};
        local.tm_year = d.date.year - 1900;
        local.tm_mon = d.date.month - 1;
        local.tm_mday = d.date.day;
        local.tm_hour = d.time.hour;
        local.tm_min = d.time.minute;
        local.tm_sec = d.time.second;
        local.tm_isdst = -1;
        // The offset in force at that local time; mktime settles the daylight-saving question.
        m_offset = ::mktime(&local) != static_cast<std::time_t>(-1) ? local.tm_gmtoff : 0;
        m_minute = minute;
    }
    const char sign = m_offset < 0 ? '-' : '+';
    const long magnitude = m_offset < 0 ? -m_offset : m_offset;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", d.date.year, d.date.month,
                  d.date.day, d.time.hour, d.time.minute, d.time.second, d.time.millisecond, sign, magnitude / 3600,
                  magnitude / 60 % 60);
    return buffer;
}

ParsedOptions ParseReportOptions(const std::vector<std::string>& args) {
    ReportOptions options;
    bool viewGiven = false;
    bool formatGiven = false;
    const auto fail = [](std::string reason) { return ParsedOptions{std::nullopt, std::move(reason)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // "--opt=value" and "--opt value" alike.
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        const bool takesValue = name == "--since" || name == "--dir" || name == "--ini" || name == "--limit";
        if (inlineValue && !takesValue) {
            return fail(name + " takes no value");
        }
        if (name == "--today" || name == "--list") {
            if (viewGiven) {
                return fail("--today and --list exclude each other");
            }
            viewGiven = true;
            options.view = name == "--today" ? ReportView::Today : ReportView::List;
        } else if (name == "--json" || name == "--csv") {
            if (formatGiven) {
                return fail("--json and --csv exclude each other");
            }
            formatGiven = true;
            options.format = name == "--json" ? ReportFormat::Json : ReportFormat::Csv;
        } else if (name == "--alert") {
            options.alert = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (takesValue) {
            const auto v = value();
            if (!v || v->empty()) {
                return fail(name + " needs a value");
            }
            if (name == "--since") {
                options.since = ParseIsoDateTime(*v);
                if (!options.since) {
                    return fail("--since: '" + *v + "' is not an ISO 8601 date or date-time");
                }
            } else if (name == "--dir") {
                options.dir = *v;
            } else if (name == "--ini") {
                options.ini = *v;
            } else {
                options.limit = ParseHours(*v);
                if (!options.limit) {
                    return fail("--limit: '" + *v + "' is not a number of hours");
                }
            }
        } else {
            return fail("unknown option '" + arg + "'");
        }
    }
    if (options.since && options.view != ReportView::List) {
        return fail("--since belongs to --list");
    }
    return ParsedOptions{options, {}};
}

} // namespace hourlink
