#include "runtime/TimeText.h"

#include <cstdlib>

namespace hourlink {
namespace {

std::string Padded(long long number, std::size_t width) {
    std::string digits = std::to_string(std::llabs(number));
    if (digits.size() < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return number < 0 ? "-" + digits : digits;
}

std::string TimeOfDayText(const TimeOfDay& time, const FormatSettings& format) {
    int hour = time.hour;
    if (format.twelveHour) {
        hour %= 12;
        if (hour == 0) {
            hour = 12;
        }
    }
    std::string text = Padded(hour, format.leadingZeroHour ? 2 : 1);
    text += format.timeSeparator;
    text += Padded(time.minute, 2);
    text += format.timeSeparator;
    text += Padded(time.second, 2);
    if (!format.twelveHour) {
        return text;
    }
    const std::string& designator = time.hour < 12 ? format.amDesignator : format.pmDesignator;
    // A locale without designators gets no stray blank either.
    if (designator.empty()) {
        return text;
    }
    return format.designatorFirst ? designator + " " + text : text + " " + designator;
}

// The short date pattern: runs of d, M and y are the fields, quoted text and every other character
// stand as they are. There are no month or day names to hand, so three or more d's or M's still give
// the two-digit number; one or two y's give the year of the century, more give the whole year.
std::string DateText(const CivilDate& date, const std::string& pattern) {
    std::string out;
    std::size_t i = 0;
    const std::size_t size = pattern.size();
    bool quoted = false;
    while (i < size) {
        const char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < size && pattern[i + 1] == '\'') {
                out += '\'';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
            continue;
        }
        if (quoted || (c != 'd' && c != 'M' && c != 'y')) {
            out += c;
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < size && pattern[i + run] == c) {
            ++run;
        }
        i += run;
        switch (c) {
        case 'd':
            out += Padded(date.day, run == 1 ? 1 : 2);
            break;
        case 'M':
            out += Padded(date.month, run == 1 ? 1 : 2);
            break;
        default:
            out += run <= 2 ? Padded(std::abs(date.year % 100), 2) : Padded(date.year, 4);
            break;
        }
    }
    return out;
}

} // namespace

std::string DurationText(DateTime value, const FormatSettings& format) {
    std::int64_t total = RoundToMilliseconds(value);
    if (total < 0) {
        total = -total;
    }
    // A duration counts its hours on past a day and has no morning or afternoon.
    std::string text = Padded(total / 3600000, format.leadingZeroHour ? 2 : 1);
    text += format.timeSeparator;
    text += Padded(total / 60000 % 60, 2);
    text += format.timeSeparator;
    text += Padded(total / 1000 % 60, 2);
    return text;
}

std::string DateTimeText(DateTime value, const FormatSettings& format) {
    const DecodedDateTime decoded = DecodeDateTime(value);
    std::string text = DateText(decoded.date, format.shortDateFormat);
    if (decoded.time.hour != 0 || decoded.time.minute != 0 || decoded.time.second != 0) {
        text += ' ';
        text += TimeOfDayText(decoded.time, format);
    }
    return text;
}

std::string ShortDateText(DateTime value, const FormatSettings& format) {
    return DateText(DecodeDateTime(value).date, format.shortDateFormat);
}

} // namespace hourlink
