#include "runtime/NumberFormat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace hourlink {
namespace {

// What a pattern asks for. Characters other than the placeholders, ',' and '.' are copied as they
// stand, before the number when they precede its first placeholder, after it otherwise; a ';' ends
// the pattern, as only the one section for every sign is understood.
struct NumberPattern {
    std::string prefix;
    std::string suffix;
    bool grouping = false;
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
};

NumberPattern ParsePattern(const std::string& pattern) {
    NumberPattern p;
    bool seenPlaceholder = false;
    bool afterPoint = false;
    for (const char c : pattern) {
        if (c == ';') {
            break;
        }
        if (c == '0' || c == '#') {
            seenPlaceholder = true;
            if (afterPoint) {
                ++p.maxDecimals;
                if (c == '0') {
                    p.minDecimals = p.maxDecimals;
                }
            } else if (c == '0') {
                ++p.minIntegerDigits;
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            seenPlaceholder = true;
        } else if (c == ',' && !afterPoint) {
            p.grouping = true;
        } else {
            (seenPlaceholder ? p.suffix : p.prefix) += c;
        }
    }
    return p;
}

// Digits of |value| * 10^decimals rounded half away from zero, without leading zeros ("0" for zero).
// The value is taken at 15 significant digits first, the precision a double holds for certain, so
// 1.005 (stored a hair below) still rounds to 1.01 as it reads.
std::string ScaledDigits(double value, int decimals) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    std::string significant;
    const char* p = buffer;
    for (; *p != 'e'; ++p) {
        if (*p != '.') {
            significant += *p;
        }
    }
    const long exponent = std::strtol(p + 1, nullptr, 10);
    // Number of significant digits that fall before the decimal point once scaled.
    const long keep = exponent + 1 + decimals;
    std::string digits;
    if (keep < 0) {
        return "0";
    }
    if (keep >= static_cast<long>(significant.size())) {
        digits = significant + std::string(static_cast<std::size_t>(keep) - significant.size(), '0');
    } else {
        digits = significant.substr(0, static_cast<std::size_t>(keep));
        if (significant[static_cast<std::size_t>(keep)] >= '5') {
            std::size_t i = digits.size();
            while (i > 0 && digits[i - 1] == '9') {
                digits[--i] = '0';
            }
            if (i == 0) {
                digits.insert(digits.begin(), '1');
            } else {
                ++digits[i - 1];
            }
        }
    }
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

} // namespace

std::string FormatFloat(const std::string& pattern, double value, const FormatSettings& format) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "INF" : "-INF";
    }
    const NumberPattern p = ParsePattern(pattern);
    std::string digits = ScaledDigits(value, p.maxDecimals);
    const bool negative = value < 0 && digits != "0";

    const auto decimals = static_cast<std::size_t>(p.maxDecimals);
    if (digits.size() <= decimals) {
        digits.insert(0, decimals + 1 - digits.size(), '0');
    }
    std::string integer = digits.substr(0, digits.size() - decimals);
    std::string fraction = digits.substr(digits.size() - decimals);

    while (fraction.size() > static_cast<std::size_t>(p.minDecimals) && fraction.back() == '0') {
        fraction.pop_back();
    }
    if (integer == "0") {
        integer.clear();
    }
    if (integer.size() < static_cast<std::size_t>(p.minIntegerDigits)) {
        integer.insert(0, static_cast<std::size_t>(p.minIntegerDigits) - integer.size(), '0');
    }
    if (integer.empty() && fraction.empty()) {
        integer = "0";
    }

    std::string out = p.prefix;
    if (negative) {
        out += '-';
    }
    for (std::size_t i = 0; i < integer.size(); ++i) {
        if (p.grouping && i > 0 && (integer.size() - i) % 3 == 0) {
            out += format.thousandSeparator;
        }
        out += integer[i];
    }
    if (!fraction.empty()) {
        out += format.decimalSeparator;
        out += fraction;
    }
    out += p.suffix;
    return out;
}

} // namespace hourlink
