#include "platform/tray/MessageWindows.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace hourlink {
namespace {

using Delivered = std::tuple<HWND, UINT, WPARAM>;

class MessageWindowsTest : public ::testing::Test {
protected:
    std::vector<Delivered> defaulted;
    MessageWindows windows{[this](HWND window, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
        defaulted.emplace_back(window, message, wParam);
        return 7;
    }};
};

TEST_F(MessageWindowsTest, TheFixedWindowsStartWithDefaultProcessingAndCannotBeDestroyed) {
    EXPECT_EQ(windows.send(MessageWindows::kApplicationWindow, WM_SIZE, SIZE_MINIMIZED, 0), 7);
    EXPECT_EQ(windows.send(MessageWindows::kMainFormWindow, WM_SHOWWINDOW, 1, 0), 7);
    EXPECT_EQ(defaulted, (std::vector<Delivered>{{1, WM_SIZE, SIZE_MINIMIZED}, {2, WM_SHOWWINDOW, 1}}));
    EXPECT_FALSE(windows.destroy(MessageWindows::kApplicationWindow));
    EXPECT_FALSE(windows.destroy(MessageWindows::kMainFormWindow));
    EXPECT_EQ(windows.messageWindowCount(), 0U);
    // An unknown window answers 0 and an empty procedure.
    EXPECT_EQ(windows.send(0x999, WM_USER, 0, 0), 0);
    EXPECT_FALSE(windows.proc(0x999));
    EXPECT_FALSE(windows.replaceProc(0x999, [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 1; }));
}

TEST_F(MessageWindowsTest, HandlesAreNotReusedAndCountsFollowCreateAndDestroy) {
    const HWND first = windows.create({});
    const HWND second = windows.create({});
    EXPECT_NE(first, second);
    EXPECT_FALSE(MessageWindows::IsFixed(first));
    EXPECT_TRUE(windows.destroy(first));
    EXPECT_FALSE(windows.destroy(first));
    const HWND third = windows.create({});
    EXPECT_NE(third, first);
    EXPECT_EQ(windows.messageWindowCount(), 2U);
    EXPECT_EQ(windows.messageWindowsCreated(), 3);
}

TEST_F(MessageWindowsTest, AFilterInFrontHandsOnToTheOneItReplacedAndMayTakeItselfOutWhileRunning) {
    std::vector<std::string> seen;
    const HWND window = windows.create([&seen](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        seen.push_back("base");
        return 1;
    });
    WindowProc saved;
    saved = windows.replaceProc(window, [&](HWND target, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        seen.push_back("filter");
        // Taking itself out destroys the function that runs now unless the table holds it elsewhere.
        windows.replaceProc(target, saved);
        return CallWindowProc(saved, target, message, wParam, lParam) + 10;
    });
    EXPECT_EQ(windows.send(window, WM_USER, 0, 0), 11);
    EXPECT_EQ(windows.send(window, WM_USER, 0, 0), 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"filter", "base", "base"}));
}

TEST_F(MessageWindowsTest, AWindowDestroyedByItsOwnProcedureFinishesTheMessage) {
    HWND window = 0;
    int after = 0;
    window = windows.create([&](HWND target, UINT, WPARAM, LPARAM) -> LRESULT {
        windows.destroy(target);
        ++after;
        return 3;
    });
    EXPECT_EQ(windows.send(window, WM_CLOSE, 0, 0), 3);
    EXPECT_EQ(after, 1);
    EXPECT_FALSE(windows.exists(window));
}

TEST_F(MessageWindowsTest, RegisteredNamesKeepTheirNumbers) {
    EXPECT_FALSE(windows.registered("TaskbarCreated").has_value());
    const UINT taskbar = windows.registerMessage("TaskbarCreated");
    const UINT other = windows.registerMessage("Other");
    EXPECT_GE(taskbar, MessageWindows::kFirstRegisteredMessage);
    EXPECT_NE(taskbar, other);
    EXPECT_EQ(windows.registerMessage("TaskbarCreated"), taskbar);
    EXPECT_EQ(windows.registered("TaskbarCreated"), taskbar);
}

TEST_F(MessageWindowsTest, PostedMessagesWaitForDeliveryInOrderAndThosePostedMeanwhileWaitForTheNext) {
    const HWND window = windows.create({});
    const HWND gone = windows.create({});
    bool first = false;
    EXPECT_FALSE(windows.post(0x999, WM_USER, 0, 0, &first));
    ASSERT_TRUE(windows.post(window, WM_USER, 1, 0, &first));
    EXPECT_TRUE(first);
    ASSERT_TRUE(windows.post(gone, WM_USER, 2, 0, &first));
    EXPECT_FALSE(first);
    ASSERT_TRUE(windows.post(window, WM_USER, 3, 0, &first));
    // A window destroyed before delivery gets nothing.
    EXPECT_TRUE(windows.destroy(gone));
    std::vector<WPARAM> order;
    windows.deliverPosted([&](HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
        order.push_back(wParam);
        if (wParam == 1) {
            windows.post(target, message, 4, lParam);
        }
    });
    EXPECT_EQ(order, (std::vector<WPARAM>{1, 3}));
    EXPECT_EQ(windows.postedCount(), 1U);
    windows.deliverPosted([&](HWND, UINT, WPARAM wParam, LPARAM) { order.push_back(wParam); });
    EXPECT_EQ(order, (std::vector<WPARAM>{1, 3, 4}));
}

TEST(MessageWindowsTimer, AZeroOrTinyIntervalRunsAtTheFloor) {
    EXPECT_EQ(MessageWindows::TimerInterval(0), MessageWindows::kMinimumTimerMs);
    EXPECT_EQ(MessageWindows::TimerInterval(9), 10U);
    EXPECT_EQ(MessageWindows::TimerInterval(10), 10U);
    EXPECT_EQ(MessageWindows::TimerInterval(1000), 1000U);
}

} // namespace
} // namespace hourlink
