#pragma once

#include <string>

#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"

namespace hourlink {

// The time of day of a DateTime, or of a duration in days: rounded to whole milliseconds, whole days
// dropped; "h" (or "hh" with leading zeros), minutes and seconds of two digits, joined by the time
// separator; on a 12-hour locale 12, 1 … 11 with the designator after the time (or before it).
// With ':' and no leading zero, 2 h 5 min 9 s is "2:05:09".
[[nodiscard]] std::string DurationText(DateTime value, const FormatSettings& format);

// The short date of a DateTime, then one blank and the time as DurationText writes it; the blank and
// the time are left out when hours, minutes and seconds are all zero.
[[nodiscard]] std::string DateTimeText(DateTime value, const FormatSettings& format);

// The date part alone in the short date format.
[[nodiscard]] std::string ShortDateText(DateTime value, const FormatSettings& format);

} // namespace hourlink
