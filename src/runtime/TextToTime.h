#pragma once

#include <string>

#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"

namespace hourlink {

// Reads a time of day: optional designator, hour, then optionally separator + minutes, separator +
// seconds, decimal separator + milliseconds, optional designator, blanks around. Returns the fraction
// of a day. Throws EConvertError "'<text>' is not a valid time" on anything else.
[[nodiscard]] DateTime StrToTime(const std::string& text, const FormatSettings& format);

} // namespace hourlink
