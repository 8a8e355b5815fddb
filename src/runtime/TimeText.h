#pragma once

#include <string>

#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"

namespace hourlink {

// A duration in days as hours, minutes and seconds: rounded to whole milliseconds, the seconds then cut;
// the hours count on past 24 ("h", or "hh" with leading zeros) and no designator follows, whatever the
// 12-hour setting; the parts joined by the time separator. With ':' and no leading zero, 2 h 5 min 9 s
// is "2:05:09" and 25 hours "25:00:00".
[[nodiscard]] std::string DurationText(DateTime value, const FormatSettings& format);

// The short date of a DateTime, then one blank and the time of day (h or hh, minutes, seconds; on a
// 12-hour locale 12, 1 … 11 with the designator after the time, or before it); the blank and
// the time are left out when hours, minutes and seconds are all zero.
[[nodiscard]] std::string DateTimeText(DateTime value, const FormatSettings& format);

// The date part alone in the short date format.
[[nodiscard]] std::string ShortDateText(DateTime value, const FormatSettings& format);

} // namespace hourlink
