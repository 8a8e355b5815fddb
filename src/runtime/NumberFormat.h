#pragma once

#include <string>

#include "runtime/FormatSettings.h"

namespace hourlink {

// Formats a number by a pattern such as "#,##0.###" or "#,##0.##": ',' asks for grouping by
// thousands, the zeros before the point are the least digits, the '#'s and zeros after it the most
// and least decimals; rounding half away from zero; the user's separators. Non-finite values give
// "NAN", "INF" or "-INF".
[[nodiscard]] std::string FormatFloat(const std::string& pattern, double value, const FormatSettings& format);

} // namespace hourlink
