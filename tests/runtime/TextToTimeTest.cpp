#include "runtime/TextToTime.h"

#include <gtest/gtest.h>

#include "runtime/Errors.h"

namespace hourlink {
namespace {

FormatSettings Colon() {
    return FormatSettings{};
}

FormatSettings Dot() {
    FormatSettings fs;
    fs.timeSeparator = ".";
    fs.decimalSeparator = ",";
    return fs;
}

FormatSettings Italian() {
    FormatSettings fs;
    fs.amDesignator = "m.";
    fs.pmDesignator = "p.";
    return fs;
}

struct ValidCase {
    const char* text;
    FormatSettings format;
    int hours;
    int minutes;
    int seconds;
    int milliseconds;
};

void PrintTo(const ValidCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class StrToTimeValid : public ::testing::TestWithParam<ValidCase> {};

TEST_P(StrToTimeValid, GivesTheFractionOfADay) {
    const ValidCase& c = GetParam();
    EXPECT_DOUBLE_EQ(StrToTime(c.text, c.format), EncodeTime(c.hours, c.minutes, c.seconds, c.milliseconds));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StrToTimeValid,
    ::testing::Values(ValidCase{" 1", Colon(), 1, 0, 0, 0}, ValidCase{" 12", Colon(), 12, 0, 0, 0},
                      ValidCase{" 18", Colon(), 18, 0, 0, 0}, ValidCase{"0", Colon(), 0, 0, 0, 0},
                      ValidCase{"23", Colon(), 23, 0, 0, 0}, ValidCase{" 1:30", Colon(), 1, 30, 0, 0},
                      ValidCase{" 1.30", Dot(), 1, 30, 0, 0}, ValidCase{"1:02:03", Colon(), 1, 2, 3, 0},
                      ValidCase{"1:02:03.045", Colon(), 1, 2, 3, 45}, ValidCase{"1.02.03,5", Dot(), 1, 2, 3, 5},
                      ValidCase{"23:59:59.999", Colon(), 23, 59, 59, 999},
                      ValidCase{"  1 : 30 :  15  ", Colon(), 1, 30, 15, 0},
                      ValidCase{"000000000000000000007", Colon(), 7, 0, 0, 0}, ValidCase{"AM 1", Colon(), 1, 0, 0, 0},
                      ValidCase{"pm 3", Colon(), 15, 0, 0, 0}, ValidCase{"3 Pm", Colon(), 15, 0, 0, 0},
                      ValidCase{"12 AM", Colon(), 0, 0, 0, 0}, ValidCase{"12:30 pm", Colon(), 12, 30, 0, 0},
                      ValidCase{"11:59:59 PM", Colon(), 23, 59, 59, 0}, ValidCase{"p. 2", Italian(), 14, 0, 0, 0},
                      ValidCase{"2 M.", Italian(), 2, 0, 0, 0}, ValidCase{"2 PM", Italian(), 14, 0, 0, 0}));

struct InvalidCase {
    const char* text;
    FormatSettings format;
};

void PrintTo(const InvalidCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class StrToTimeInvalid : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(StrToTimeInvalid, FailsNamingTheTextAsPassed) {
    const InvalidCase& c = GetParam();
    try {
        (void)StrToTime(c.text, c.format);
        FAIL() << "converted";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.what(), "'" + std::string(c.text) + "' is not a valid time");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StrToTimeInvalid,
    ::testing::Values(InvalidCase{"", Colon()}, InvalidCase{"   ", Colon()}, InvalidCase{" 25", Colon()},
                      InvalidCase{"24", Colon()}, InvalidCase{" 1:30", Dot()}, InvalidCase{"1:60", Colon()},
                      InvalidCase{"1:00:60", Colon()}, InvalidCase{"1:00:00.1000", Colon()},
                      InvalidCase{" 1x", Colon()}, InvalidCase{"1 2", Colon()}, InvalidCase{"x1", Colon()},
                      InvalidCase{":30", Colon()}, InvalidCase{"1:", Colon()}, InvalidCase{"1:30:", Colon()},
                      InvalidCase{"1:30:00.", Colon()}, InvalidCase{"-1", Colon()}, InvalidCase{"0 AM", Colon()},
                      InvalidCase{"13 PM", Colon()}, InvalidCase{"AM 1 PM", Colon()}, InvalidCase{"AM", Colon()},
                      InvalidCase{"1 m.", Colon()},
                      // 2^32 + 1 and 2^64 + 1 must not wrap round to one o'clock.
                      InvalidCase{"4294967297", Colon()}, InvalidCase{"18446744073709551617", Colon()},
                      InvalidCase{"1:4294967297", Colon()}));

TEST(StrToTimeLongInput, AVeryLongDigitRunFails) {
    EXPECT_THROW((void)StrToTime(std::string(1'000'000, '9'), Colon()), EConvertError);
}

} // namespace
} // namespace hourlink
