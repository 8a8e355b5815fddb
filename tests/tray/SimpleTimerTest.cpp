#include "tray/SimpleTimer.h"

#include "platform/tray/FakeTrayPlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace hourlink {
namespace {

class Target final : public TObject {};

class SimpleTimerTest : public ::testing::Test {
protected:
    std::unique_ptr<TSimpleTimer> makeTimer() {
        return std::make_unique<TSimpleTimer>(platform, &target, [this](TObject* data) { ticks.push_back(data); });
    }

    FakeTrayPlatform platform;
    Target target;
    std::vector<TObject*> ticks;
};

TEST_F(SimpleTimerTest, TicksEveryIntervalWithItsDataUntilStopped) {
    auto timer = makeTimer();
    EXPECT_FALSE(timer->Active());
    EXPECT_TRUE(timer->Start(100));
    EXPECT_TRUE(timer->Active());
    EXPECT_EQ(platform.runningTimerCount(), 1U);
    platform.advanceTime(350);
    EXPECT_EQ(ticks, (std::vector<TObject*>{&target, &target, &target}));

    EXPECT_TRUE(timer->Start(40)); // a running timer starts over with the new interval
    platform.advanceTime(40);
    EXPECT_EQ(ticks.size(), 4U);

    EXPECT_TRUE(timer->Stop());
    EXPECT_FALSE(timer->Active());
    EXPECT_EQ(platform.runningTimerCount(), 0U);
    platform.advanceTime(1000);
    EXPECT_EQ(ticks.size(), 4U);
    EXPECT_FALSE(timer->Stop());
}

TEST_F(SimpleTimerTest, ATimerTheSystemRefusesStaysInactive) {
    auto timer = makeTimer();
    platform.setTimersFail(true);
    EXPECT_FALSE(timer->Start(100));
    EXPECT_FALSE(timer->Active());
    EXPECT_EQ(timer->Interval(), 100U);
}

TEST_F(SimpleTimerTest, ACallbackMayStopItsOwnTimerForAOneShot) {
    std::unique_ptr<TSimpleTimer> timer;
    int fired = 0;
    timer = std::make_unique<TSimpleTimer>(platform, &target, [&](TObject*) {
        ++fired;
        timer->Stop();
    });
    timer->Start(10);
    platform.advanceTime(100);
    EXPECT_EQ(fired, 1);
}

TEST_F(SimpleTimerTest, AllTimersShareOneWindowThatTheLastOneTakesAlong) {
    auto first = makeTimer();
    auto second = makeTimer();
    ASSERT_NE(TimerHandler(platform), nullptr);
    const HWND window = TimerHandler(platform)->WindowHandle();
    EXPECT_EQ(TimerHandler(platform)->UseCount(), 2U);
    EXPECT_EQ(platform.messageWindowCount(), 1U);
    EXPECT_NE(first->TimerId(), second->TimerId());

    first->Start(10);
    second->Start(10);
    first.reset(); // a destroyed timer stops itself
    EXPECT_EQ(platform.runningTimerCount(), 1U);
    second.reset();
    EXPECT_EQ(TimerHandler(platform), nullptr);
    EXPECT_FALSE(platform.windowExists(window));

    auto third = makeTimer();
    EXPECT_TRUE(platform.windowExists(TimerHandler(platform)->WindowHandle()));
    EXPECT_NE(TimerHandler(platform)->WindowHandle(), window);
}

TEST_F(SimpleTimerTest, TheTimerWindowIgnoresUnknownTicksAndDefaultsOtherMessages) {
    auto timer = makeTimer();
    const HWND window = TimerHandler(platform)->WindowHandle();
    platform.sendMessage(window, WM_TIMER, timer->TimerId() + 1, 0);
    EXPECT_TRUE(ticks.empty());
    EXPECT_TRUE(platform.defaultProcessed().empty());
    platform.sendMessage(window, WM_TIMER, timer->TimerId(), 0);
    EXPECT_EQ(ticks.size(), 1U);
    platform.sendMessage(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(platform.defaultProcessed().size(), 1U);
    EXPECT_EQ(platform.defaultProcessed()[0], std::make_pair(window, WM_CLOSE));
}

} // namespace
} // namespace hourlink
