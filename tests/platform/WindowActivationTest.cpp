#include "platform/WindowActivation.h"

#include <gtest/gtest.h>

namespace hourlink {
namespace {

struct IdCase {
    const char* id;
    unsigned long time;
};

class StartupIdTimeTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(StartupIdTimeTest, ReadsTheTimeAfterTheLastTimeMark) {
    EXPECT_EQ(WindowActivation::StartupIdTime(GetParam().id), GetParam().time);
}

INSTANTIATE_TEST_SUITE_P(Ids, StartupIdTimeTest,
                         ::testing::Values(IdCase{"host-1234-0-launcher_TIME5678", 5678}, IdCase{"a_TIME1_TIME22", 22},
                                           IdCase{"host-1234-0-launcher", 0}, IdCase{"launcher_TIME", 0},
                                           IdCase{"launcher_TIMEx12", 0},
                                           IdCase{"launcher_TIME4294967295", 4294967295UL},
                                           IdCase{"launcher_TIME4294967296", 0}, IdCase{"", 0}));

} // namespace
} // namespace hourlink
