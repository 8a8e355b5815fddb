#include "platform/tray/BalloonTracker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hourlink {
namespace {

// A sink that writes down what it is asked and lets the test report back as a server would.
class RecordingSink final : public BalloonSink {
public:
    void show(const BalloonRequest& balloon, Listener& listener) override {
        calls.push_back((up ? "replace " : "show ") + balloon.text);
        this->listener = &listener;
        up = true;
    }
    void close(Listener& listener) override {
        calls.push_back("close");
        if (closesAtOnce && up && this->listener == &listener) {
            up = false;
            listener.balloonClosed(BalloonClose::Closed);
        }
    }
    void forget(Listener& listener) override {
        if (this->listener == &listener) {
            calls.push_back("forget");
            this->listener = nullptr;
        }
    }
    // The server reports.
    void closed(BalloonClose reason) {
        up = false;
        if (listener != nullptr) {
            listener->balloonClosed(reason);
        }
    }
    void clicked() {
        if (listener != nullptr) {
            listener->balloonClicked();
        }
    }

    std::vector<std::string> calls;
    Listener* listener = nullptr;
    bool up = false;
    bool closesAtOnce = false;
};

class BalloonTrackerTest : public ::testing::Test {
protected:
    static BalloonRequest balloon(const std::string& text) { return BalloonRequest{"Limit", text, NIIF_INFO, 10000}; }
    // What the component's ShowBalloonHint does, once a second: withdraw, show, and the event ends.
    void request(const std::string& text) {
        tracker.withdraw();
        tracker.show(balloon(text), nowMs);
        tracker.endOfEvent();
    }

    RecordingSink notifications;
    RecordingSink window;
    RecordingSink* chosen = &notifications;
    std::vector<UINT> events;
    std::uint64_t nowMs = 50000;
    BalloonTracker tracker{[this]() -> BalloonSink& { return *chosen; }, [this](UINT code) { events.push_back(code); }};
};

TEST_F(BalloonTrackerTest, WithdrawThenShowInOneEventReplacesAndAWithdrawalOnItsOwnCloses) {
    for (int second = 0; second < 5; ++second) {
        request("01:25:4" + std::to_string(second));
        nowMs += 1000;
    }
    EXPECT_EQ(notifications.calls, (std::vector<std::string>{"show 01:25:40", "replace 01:25:41", "replace 01:25:42",
                                                             "replace 01:25:43", "replace 01:25:44"}));
    // Nothing closed it in between, so nothing was reported.
    EXPECT_TRUE(events.empty());

    tracker.withdraw();
    EXPECT_EQ(notifications.calls.size(), 5U) << "a withdrawal waits for the end of the event";
    tracker.endOfEvent();
    EXPECT_EQ(notifications.calls.back(), "close");
    EXPECT_FALSE(tracker.shown());
    notifications.closed(BalloonClose::Closed);
    EXPECT_EQ(events, (std::vector<UINT>{NIN_BALLOONHIDE}));
    // A second end of event has nothing left to close.
    tracker.endOfEvent();
    EXPECT_EQ(notifications.calls.size(), 6U);
}

TEST_F(BalloonTrackerTest, ADismissedBalloonStaysAwayUntilABreakOfMoreThanTwoSeconds) {
    request("a");
    notifications.closed(BalloonClose::Dismissed);
    EXPECT_EQ(events, (std::vector<UINT>{NIN_BALLOONHIDE}));
    EXPECT_TRUE(tracker.dismissed());
    // Requests go on once a second, and then after exactly two seconds: still the same run.
    for (const std::uint64_t step : {1000U, 1000U, 2000U}) {
        nowMs += step;
        request("b");
    }
    EXPECT_EQ(notifications.calls, (std::vector<std::string>{"show a"}));
    nowMs += 2001;
    request("c");
    EXPECT_EQ(notifications.calls, (std::vector<std::string>{"show a", "show c"}));
    EXPECT_FALSE(tracker.dismissed());
}

TEST_F(BalloonTrackerTest, AnExpiredBalloonComesBackWithTheNextRequest) {
    request("a");
    notifications.closed(BalloonClose::Expired);
    EXPECT_EQ(events, (std::vector<UINT>{NIN_BALLOONTIMEOUT}));
    nowMs += 1000;
    request("b");
    EXPECT_EQ(notifications.calls, (std::vector<std::string>{"show a", "show b"}));
}

TEST_F(BalloonTrackerTest, AClickIsReportedOnceAndKeepsTheBalloonAwayLikeADismissal) {
    notifications.closesAtOnce = true;
    request("a");
    notifications.clicked();
    // The balloon is taken away with the click, and its closing is not a second event.
    EXPECT_EQ(events, (std::vector<UINT>{NIN_BALLOONUSERCLICK}));
    EXPECT_EQ(notifications.calls, (std::vector<std::string>{"show a", "close"}));
    nowMs += 1000;
    request("b");
    EXPECT_EQ(notifications.calls.size(), 2U);
    // A click on a balloon that is no longer up is nobody's.
    notifications.clicked();
    EXPECT_EQ(events.size(), 1U);
}

TEST_F(BalloonTrackerTest, ReportsAfterTheBalloonWentOrOfUnknownReasonsRaiseNothing) {
    notifications.closed(BalloonClose::Expired);
    request("a");
    notifications.closed(BalloonClose::Undefined);
    notifications.closed(BalloonClose::Expired);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(tracker.shown());
}

TEST_F(BalloonTrackerTest, ABalloonStaysWhereItIsShownAndANewOneGoesWhereTheChoiceSaysNow) {
    request("a");
    chosen = &window;
    nowMs += 1000;
    request("b");
    EXPECT_EQ(notifications.calls, (std::vector<std::string>{"show a", "replace b"}));
    EXPECT_TRUE(window.calls.empty());
    notifications.closed(BalloonClose::Expired);
    nowMs += 1000;
    request("c");
    EXPECT_EQ(window.calls, (std::vector<std::string>{"show c"}));
    EXPECT_EQ(notifications.calls.back(), "forget");
}

TEST_F(BalloonTrackerTest, AnIconThatLeavesTakesItsBalloonWithoutAnEvent) {
    notifications.closesAtOnce = true;
    request("a");
    tracker.withdraw();
    tracker.iconRemoved();
    EXPECT_EQ(notifications.calls, (std::vector<std::string>{"show a", "close", "forget"}));
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(tracker.withdrawalHeld());
}

struct FieldsCase {
    DWORD flags;
    UINT timeoutMs;
    NotificationFields fields;
};

class NotificationFieldsTest : public ::testing::TestWithParam<FieldsCase> {};

TEST_P(NotificationFieldsTest, KindBecomesIconAndUrgencyAndTheTimeMilliseconds) {
    const BalloonRequest balloon{"t", "x", GetParam().flags, GetParam().timeoutMs};
    EXPECT_EQ(NotificationFieldsFor(balloon), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotificationFieldsTest,
                         ::testing::Values(FieldsCase{NIIF_NONE, 10000, {"", 1, 10000}},
                                           FieldsCase{NIIF_INFO, 10000, {"dialog-information", 1, 10000}},
                                           FieldsCase{NIIF_WARNING, 255000, {"dialog-warning", 1, 255000}},
                                           FieldsCase{NIIF_ERROR, 1000, {"dialog-error", 2, 1000}},
                                           // Only the kind bits count; no time means the server's own.
                                           FieldsCase{NIIF_INFO | 0x10U, 0, {"dialog-information", 1, -1}},
                                           FieldsCase{NIIF_INFO, 0xFFFFFFFFU, {"dialog-information", 1, 0x7FFFFFFF}}));

} // namespace
} // namespace hourlink
