#include "monitor/ConnectionRecorder.h"

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ConnectionState.h"
#include "runtime/Clock.h"
#include "runtime/Errors.h"
#include "runtime/RecordFile.h"
#include "store/iodata.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kTolerance = 1e-9;

class FakeView final : public RecorderView {
public:
    void SetStatus(const std::string& text) override { events.push_back("status:" + text); }
    void LiveUpdate() override { events.push_back("live"); }
    void ConnectionSaved() override { events.push_back("saved"); }
    std::vector<std::string> events;
};

std::vector<ConnectionRecord> ReadLog() {
    std::vector<ConnectionRecord> out;
    if (!fs::exists(ConnectionLog::kFileName)) {
        return out;
    }
    RecordFile file(ConnectionLog::kFileName, RecordFile::Mode::OpenExisting);
    file.ReadAll([&](const ConnectionRecord& r) { out.push_back(r); });
    return out;
}

class RecorderTest : public testing::InTempDir {
protected:
    FakeConnectionState m_state;
    testing::FakeDialogs m_dialogs;
    ConnectionLog m_log{m_dialogs};
    ManualClock m_clock{EncodeDateTime(2026, 12, 8, 23, 30, 0)};
    FakeView m_view;
    ConnectionRecorder m_recorder{m_state, m_log, m_clock, m_view};

    // Runs `count` ticks a second apart with the connection in the given state.
    void Ticks(bool up, int count) {
        m_state.SetUp(up);
        for (int i = 0; i < count; ++i) {
            m_clock.AdvanceSeconds(1.0);
            m_recorder.Tick();
        }
    }
};

TEST_F(RecorderTest, IdleWithoutConnectionDoesNothingAndCreatesNoLog) {
    Ticks(false, 5);
    EXPECT_FALSE(m_recorder.Recording());
    EXPECT_TRUE(m_view.events.empty());
    EXPECT_FALSE(fs::exists(ConnectionLog::kFileName));
    EXPECT_EQ(m_state.Calls(), 5);
}

TEST_F(RecorderTest, ConnectionStartsAtFirstTickSeeingItAndEndsAtFirstTickMissingIt) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    EXPECT_TRUE(m_recorder.Recording());
    Ticks(true, 2);
    Ticks(false, 1);
    const DateTime end = m_clock.Now();
    Ticks(false, 3);
    EXPECT_FALSE(m_recorder.Recording());
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, end}));
    EXPECT_THAT(m_view.events,
                ElementsAre("status:Recording...", "live", "live", "live", "saved", "status:Remote Connection closed"));
}

TEST_F(RecorderTest, TodayTimeCountsTheWholeRunningConnectionAcrossMidnightThenTheLogSplitsIt) {
    Ticks(true, 1); // 23:30:01
    const DateTime start = m_clock.Now();
    m_clock.AdvanceSeconds(3599.0); // 00:30:00
    m_recorder.Tick();
    EXPECT_NEAR(m_recorder.TodayTotal(), 3599.0 * kSecond, kTolerance);
    Ticks(false, 1);
    const DateTime today = Today(m_clock);
    EXPECT_NEAR(m_log.DayConnectedTime(today, 0.0), m_clock.Now() - today, kTolerance);
    EXPECT_NEAR(m_log.DayConnectedTime(today - 1.0, 0.0), today - start, kTolerance);
}

TEST_F(RecorderTest, FailingSaveKeepsRecordingAndRetriesWithALaterEnd) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    fs::create_directory(ConnectionLog::kFileName); // the log cannot be opened
    m_state.SetUp(false);
    m_clock.AdvanceSeconds(1.0);
    EXPECT_THROW(m_recorder.Tick(), EInOutError);
    EXPECT_TRUE(m_recorder.Recording());
    fs::remove(ConnectionLog::kFileName);
    Ticks(false, 1);
    EXPECT_FALSE(m_recorder.Recording());
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, m_clock.Now()}));
}

TEST_F(RecorderTest, SuspendEndsTheConnectionAtTheLastTickBeforeItAndResumeStartsANewOne) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 2);
    const DateTime lastSeen = m_clock.Now();
    m_clock.Suspend(3 * 3600.0);
    m_clock.AdvanceSeconds(1.0);
    m_recorder.Tick(); // still up after the resume
    const DateTime resumed = m_clock.Now();
    EXPECT_TRUE(m_recorder.Recording());
    EXPECT_NEAR(m_recorder.ConnectionStart(), resumed, kTolerance);
    Ticks(false, 1);
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, lastSeen}, ConnectionRecord{resumed, m_clock.Now()}));
}

TEST_F(RecorderTest, SuspendWithNoConnectionAfterResumeSavesOnlyTheTimeBefore) {
    Ticks(true, 2);
    const DateTime lastSeen = m_clock.Now();
    m_clock.Suspend(600.0);
    Ticks(false, 2);
    ASSERT_EQ(ReadLog().size(), 1u);
    EXPECT_EQ(ReadLog().front().end, lastSeen);
    EXPECT_FALSE(m_recorder.Recording());
}

TEST_F(RecorderTest, ShortWakeUpsBelowTheThresholdAreNotASuspend) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 1);
    m_clock.Suspend(1.5);
    Ticks(true, 1);
    Ticks(false, 1);
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, m_clock.Now()}));
}

struct ClockStep {
    double set;    // how far somebody sets the wall clock between two ticks, in seconds
    double passes; // how much time passes besides, with the machine running
    bool cuts;     // whether the running connection is cut there in two
};

class ClockStepTest : public RecorderTest, public ::testing::WithParamInterface<ClockStep> {};

TEST_P(ClockStepTest, ASetClockCutsTheConnectionAtTheLastTickBeforeItAndALateTickDoesNot) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 9);
    const DateTime lastSeen = m_clock.Now();
    m_clock.StepWallClock(GetParam().set);
    m_clock.AdvanceSeconds(GetParam().passes);
    Ticks(true, 1);
    const DateTime afterStep = m_clock.Now();
    EXPECT_TRUE(m_recorder.Recording());
    EXPECT_GE(m_recorder.TodayTotal(), 0.0);
    Ticks(false, 1);
    if (GetParam().cuts) {
        EXPECT_THAT(ReadLog(),
                    ElementsAre(ConnectionRecord{start, lastSeen}, ConnectionRecord{afterStep, m_clock.Now()}));
    } else {
        EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, m_clock.Now()}));
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, ClockStepTest,
                         ::testing::Values(ClockStep{-2 * 3600.0, 0.0, true}, ClockStep{-5.0, 0.0, true},
                                           ClockStep{-1.0, 0.0, false}, ClockStep{1.5, 0.0, false},
                                           ClockStep{30.0, 0.0, true}, ClockStep{3 * 3600.0, 0.0, true},
                                           ClockStep{0.0, 600.0, false}, ClockStep{-3600.0, 3600.0, true}));

// A session that ends before the first tick after a suspend or a clock step ends the connection where
// the next tick would have.
class SessionEndAfterAGapTest : public RecorderTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SessionEndAfterAGapTest, EndsAtTheLastTickThatSawTheConnection) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 5);
    const DateTime lastSeen = m_clock.Now();
    if (GetParam()) {
        m_clock.Suspend(3 * 3600.0);
    } else {
        m_clock.StepWallClock(-3600.0);
    }
    m_clock.AdvanceSeconds(0.5);
    m_recorder.SaveRunningConnection();
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, lastSeen}));
}

INSTANTIATE_TEST_SUITE_P(SuspendOrClockSetBack, SessionEndAfterAGapTest, ::testing::Bool());

TEST_F(RecorderTest, SessionEndSavesTheRunningConnection) {
    m_recorder.SaveRunningConnection();
    EXPECT_TRUE(ReadLog().empty());
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 3);
    m_clock.AdvanceSeconds(0.5);
    m_recorder.SaveRunningConnection();
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, m_clock.Now()}));
    EXPECT_FALSE(m_recorder.Recording());
}

} // namespace
} // namespace hourlink
