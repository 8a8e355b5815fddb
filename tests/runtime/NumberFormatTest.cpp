#include "runtime/NumberFormat.h"

#include <limits>

#include <gtest/gtest.h>

namespace hourlink {
namespace {

FormatSettings Plain() {
    return FormatSettings{};
}

FormatSettings European() {
    FormatSettings fs;
    fs.thousandSeparator = ".";
    fs.decimalSeparator = ",";
    return fs;
}

FormatSettings NarrowSpace() {
    FormatSettings fs;
    fs.thousandSeparator = "\u202F";
    fs.decimalSeparator = ",";
    return fs;
}

struct FloatCase {
    const char* pattern;
    double value;
    FormatSettings format;
    const char* expected;
};

void PrintTo(const FloatCase& c, std::ostream* os) {
    *os << c.pattern << " " << c.value;
}

class FormatFloatTest : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FormatFloatTest, Formats) {
    const FloatCase& c = GetParam();
    EXPECT_EQ(FormatFloat(c.pattern, c.value, c.format), c.expected);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    AxisLabels, FormatFloatTest,
    ::testing::Values(
        FloatCase{"#,##0.###", 1234.5678, Plain(), "1,234.568"}, FloatCase{"#,##0.###", 2.0, Plain(), "2"},
        FloatCase{"#,##0.###", 0.5, Plain(), "0.5"}, FloatCase{"#,##0.###", 0.0, Plain(), "0"},
        FloatCase{"#,##0.###", -0.0, Plain(), "0"}, FloatCase{"#,##0.###", -0.0001, Plain(), "0"},
        FloatCase{"#,##0.###", -0.0005, Plain(), "-0.001"}, FloatCase{"#,##0.###", 0.0005, Plain(), "0.001"},
        FloatCase{"#,##0.###", 999.9996, Plain(), "1,000"}, FloatCase{"#,##0.###", 999999.9999, Plain(), "1,000,000"},
        FloatCase{"#,##0.###", 100.0, Plain(), "100"}, FloatCase{"#,##0.###", 1000.0, Plain(), "1,000"},
        FloatCase{"#,##0.###", -1234567.891, Plain(), "-1,234,567.891"},
        FloatCase{"#,##0.###", 0.1 + 0.2, Plain(), "0.3"}, FloatCase{"#,##0.###", 1.0005, Plain(), "1.001"},
        FloatCase{"#,##0.###", 1e20, Plain(), "100,000,000,000,000,000,000"},
        FloatCase{"#,##0.###", 1e-300, Plain(), "0"}, FloatCase{"#,##0.###", 1234.5678, European(), "1.234,568"},
        FloatCase{"#,##0.###", 1234.5, NarrowSpace(), "1\u202F234,5"}, FloatCase{"#,##0.###", kNaN, Plain(), "NAN"},
        FloatCase{"#,##0.###", kInf, Plain(), "INF"}, FloatCase{"#,##0.###", -kInf, Plain(), "-INF"}));

INSTANTIATE_TEST_SUITE_P(
    MarkTexts, FormatFloatTest,
    ::testing::Values(FloatCase{"#,##0.##", 2.675, Plain(), "2.68"}, FloatCase{"#,##0.##", -2.675, Plain(), "-2.68"},
                      FloatCase{"#,##0.##", 1.005, Plain(), "1.01"}, FloatCase{"#,##0.##", 12.5, Plain(), "12.5"},
                      FloatCase{"#,##0.##", 3.999, Plain(), "4"}, FloatCase{"#,##0.##", 7.25, Plain(), "7.25"}));

INSTANTIATE_TEST_SUITE_P(
    OtherPatterns, FormatFloatTest,
    ::testing::Values(FloatCase{"0.00", 1.5, Plain(), "1.50"}, FloatCase{"0.0#", 1.0, Plain(), "1.0"},
                      FloatCase{"0.0#", 1.256, Plain(), "1.26"}, FloatCase{"000", 7.0, Plain(), "007"},
                      FloatCase{"0", 2.5, Plain(), "3"}, FloatCase{"0", -2.5, Plain(), "-3"},
                      FloatCase{"0", 0.4, Plain(), "0"}, FloatCase{"#.##", 0.5, Plain(), ".5"},
                      FloatCase{"#", 0.0, Plain(), "0"}, FloatCase{"#,##0", 1e15, Plain(), "1,000,000,000,000,000"},
                      FloatCase{"0.0 h", 1.25, Plain(), "1.3 h"}, FloatCase{"~0", 5.0, Plain(), "~5"},
                      FloatCase{"0.#;(0.#)", -1.5, Plain(), "-1.5"}));

} // namespace
} // namespace hourlink
