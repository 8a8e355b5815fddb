#include "runtime/Windows1252.h"

#include <gtest/gtest.h>

namespace hourlink {
namespace {

struct PairCase {
    const char* name;
    std::string utf8;
    std::string bytes;
};

void PrintTo(const PairCase& c, std::ostream* os) {
    *os << c.name;
}

class Windows1252Pairs : public ::testing::TestWithParam<PairCase> {};

TEST_P(Windows1252Pairs, EncodesAndDecodes) {
    EXPECT_EQ(Utf8ToWindows1252(GetParam().utf8), GetParam().bytes);
    EXPECT_EQ(Windows1252ToUtf8(GetParam().bytes), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Windows1252Pairs,
    ::testing::Values(PairCase{"Ascii", "Pellandra Hourlink 2.0", "Pellandra Hourlink 2.0"},
                      PairCase{"EGrave", "è", "\xE8"}, PairCase{"Italian", "Città più", "Citt\xE0 pi\xF9"},
                      PairCase{"Euro", "€", "\x80"}, PairCase{"Quotes", "‘’“”", "\x91\x92\x93\x94"},
                      PairCase{"Dashes", "–—…", "\x96\x97\x85"}, PairCase{"YDiaeresis", "Ÿÿ", "\x9F\xFF"},
                      PairCase{"TradeMark", "™", "\x99"}, PairCase{"NoBreakSpace", "\u00A0", "\xA0"},
                      PairCase{"UndefinedByteKept", "\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},
                      PairCase{"NulAndControls", std::string("a\0\x1A\r\n", 5), std::string("a\0\x1A\r\n", 5)}));

TEST(Windows1252, EveryByteSurvivesARoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(byte)), byte) << b;
    }
}

struct ReplacedCase {
    const char* name;
    std::string utf8;
    std::string bytes;
};

void PrintTo(const ReplacedCase& c, std::ostream* os) {
    *os << c.name;
}

class Windows1252Replaced : public ::testing::TestWithParam<ReplacedCase> {};

TEST_P(Windows1252Replaced, BecomesQuestionMarks) {
    EXPECT_EQ(Utf8ToWindows1252(GetParam().utf8), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, Windows1252Replaced,
                         ::testing::Values(ReplacedCase{"CheckMark", "a✓b", "a?b"}, ReplacedCase{"Han", "中文", "??"},
                                           ReplacedCase{"Emoji", "x😀y", "x?y"},
                                           ReplacedCase{"C1Control", "\u0080", "?"},
                                           ReplacedCase{"LoneContinuation",
                                                        "a\x80"
                                                        "b",
                                                        "a?b"},
                                           ReplacedCase{"TruncatedAtEnd", "a\xC3", "a?"},
                                           ReplacedCase{"TruncatedBeforeAscii", "\xC3(", "?("},
                                           ReplacedCase{"TruncatedFourByte", "\xF0\x9F\x98z", "?z"},
                                           ReplacedCase{"Overlong", "\xC0\xAF", "??"},
                                           ReplacedCase{"OverlongThreeByte", "\xE0\x80\xAF", "???"},
                                           ReplacedCase{"Surrogate", "\xED\xA0\x80", "???"},
                                           ReplacedCase{"BeyondUnicode", "\xF4\x90\x80\x80", "????"},
                                           ReplacedCase{"InvalidLeadBytes", "\xFE\xFF", "??"}));

} // namespace
} // namespace hourlink
