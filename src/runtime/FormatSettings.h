#pragma once

#include <string>

namespace hourlink {

// The user's regional settings that the program's texts depend on. The platform layer fills them from
// the system locale at start and again whenever the system announces a change; tests use fixed values.
// Texts are UTF-8.
struct FormatSettings {
    // Short date pattern: d, dd (day), M, MM (month), yy, yyyy (year); text in single quotes and every
    // other character stand as they are.
    std::string shortDateFormat = "dd/MM/yyyy";
    std::string timeSeparator = ":";
    std::string decimalSeparator = ".";
    std::string thousandSeparator = ",";
    bool leadingZeroHour = false; // "hh" instead of "h"
    bool twelveHour = false;
    bool designatorFirst = false; // the morning/afternoon designator stands before the time
    std::string amDesignator = "AM";
    std::string pmDesignator = "PM";

    bool operator==(const FormatSettings&) const = default;
};

} // namespace hourlink
