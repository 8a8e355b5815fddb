#include "runtime/RandomIndex.h"

#include <climits>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace hourlink {
namespace {

TEST(RandomIndex, FirstTwentyDrawsOfFourFromTheStart) {
    RandomGenerator generator;
    std::vector<int> drawn;
    for (int i = 0; i < 20; ++i) {
        drawn.push_back(generator.RandomIndex(4));
    }
    EXPECT_THAT(drawn, ::testing::ElementsAre(0, 0, 3, 0, 1, 2, 1, 0, 1, 1, 0, 1, 0, 3, 0, 1, 3, 1, 3, 1));
}

TEST(RandomIndex, StateStepsByTheLinearCongruence) {
    RandomGenerator generator;
    (void)generator.RandomIndex(4);
    EXPECT_EQ(generator.State(), 1U);
    (void)generator.RandomIndex(4);
    EXPECT_EQ(generator.State(), 134775814U);
    (void)generator.RandomIndex(4);
    EXPECT_EQ(generator.State(), static_cast<std::uint32_t>(134775814ULL * 134775813ULL + 1ULL));
}

TEST(RandomIndex, ResultIsTheTopOfTheProductAndStaysInRange) {
    RandomGenerator generator;
    RandomGenerator mirror;
    for (const int n : {1, 2, 3, 7, 1000, INT_MAX}) {
        for (int i = 0; i < 50; ++i) {
            (void)mirror.RandomIndex(1);
            const int value = generator.RandomIndex(n);
            EXPECT_EQ(value,
                      static_cast<int>((static_cast<std::uint64_t>(mirror.State()) * static_cast<unsigned>(n)) >> 32));
            EXPECT_GE(value, 0);
            EXPECT_LT(value, n);
        }
    }
}

} // namespace
} // namespace hourlink
