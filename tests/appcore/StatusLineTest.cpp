#include "appcore/StatusLine.h"

#include <stdexcept>

#include <gtest/gtest.h>

namespace hourlink {
namespace {

const DateTime kNow = EncodeDateTime(2024, 5, 10, 14, 5, 9);

struct StatusCase {
    int k;
    DateTime now;
    const char* expected;
};

class StatusTextTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusTextTest, ShowsTheMakerTheTitleOrTheTime) {
    EXPECT_EQ(StatusText(GetParam().k, GetParam().now, FormatSettings{}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StatusTextTest,
    ::testing::Values(StatusCase{0, kNow, "Pellandra-Ossilo www.pellandra-ossilo.example"},
                      StatusCase{1, kNow,
                                 "Pellandra-Ossilo hourlink@pellandra-ossilo.example - info@pellandra-ossilo.example"},
                      StatusCase{2, kNow, "Pellandra Hourlink 2.0"},
                      StatusCase{3, kNow, "Data e ora: 10/05/2024 14:05:09"},
                      StatusCase{3, EncodeDate(2024, 5, 11), "Data e ora: 11/05/2024"}));

TEST(StatusText, RefusesAnIndexOutsideTheFour) {
    EXPECT_THROW((void)StatusText(-1, kNow, FormatSettings{}), std::out_of_range);
    EXPECT_THROW((void)StatusText(kStatusTextCount, kNow, FormatSettings{}), std::out_of_range);
}

TEST(StatusRotation, SameSequenceAtEveryStart) {
    const FormatSettings format;
    for (int run = 0; run < 2; ++run) {
        StatusRotation rotation;
        for (const int k : {0, 0, 3, 0, 1, 2, 1, 0, 1, 1}) {
            const DateTime now = kNow + run;
            EXPECT_EQ(rotation.NextText(now, format), StatusText(k, now, format)) << "run " << run << ", text " << k;
        }
    }
}

} // namespace
} // namespace hourlink
