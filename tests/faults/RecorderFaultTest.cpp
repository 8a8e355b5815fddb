#include <cmath>
#include <optional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "faults/FaultSupport.h"
#include "faults/MountSandbox.h"
#include "monitor/ConnectionRecorder.h"
#include "platform/ConnectionState.h"
#include "runtime/Clock.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

using testing::kHour;
using testing::kSecond;
using testing::MessageOf;
using testing::ReadLog;

class CountingView final : public RecorderView {
public:
    void SetStatus(const std::string& text) override { status = text; }
    void LiveUpdate() override { ++liveUpdates; }
    void ConnectionSaved() override { ++saved; }
    std::string status;
    int liveUpdates = 0;
    int saved = 0;
};

// One piece of a scripted stretch of time. Ticks come once a second of real time.
struct Step {
    enum Kind {
        Up,    // `value` ticks with the connection up
        Down,  // `value` ticks with it down
        Jump,  // somebody sets the wall clock forward (or back, when negative) by `value` seconds
        Sleep, // the machine sleeps `value` seconds
        Pause, // `value` seconds pass without a tick, as when the program is stopped for a while
    } kind;
    double value;
};

struct ClockCase {
    const char* name;
    int startHour; // the wall clock's time of day when the script starts
    std::vector<Step> script;
    int splits; // pieces a running connection is cut into beyond one per connection
};

void PrintTo(const ClockCase& c, std::ostream* out) {
    *out << c.name;
}

void PrintTo(const Step& step, std::ostream* out) {
    *out << "step " << step.kind << " by " << step.value;
}

// The connected time the log holds, summed day by day the way every figure of the program sums it.
DateTime LoggedTime(ConnectionLog& log, DateTime from, DateTime to) {
    DateTime total = 0.0;
    for (DateTime day = DateOf(from) - 1.0; day <= DateOf(to) + 1.0; day += 1.0) {
        total += log.DayConnectedTime(day, 0.0);
    }
    return total;
}

class ClockFaults : public testing::InTempDir, public ::testing::WithParamInterface<ClockCase> {
protected:
    FakeConnectionState m_state;
    testing::FakeDialogs m_dialogs;
    ConnectionLog m_log{m_dialogs};
    ManualClock m_clock{EncodeDateTime(2026, 12, 8, GetParam().startHour, 0, 0)};
    CountingView m_view;
    ConnectionRecorder m_recorder{m_state, m_log, m_clock, m_view};
};

TEST_P(ClockFaults, TheLogHoldsTheTimeTheConnectionWasSeenUpAndNothingNegative) {
    const ClockCase& c = GetParam();
    DateTime earliest = m_clock.Now();
    DateTime latest = m_clock.Now();
    double secondsUp = 0.0;
    for (const Step& step : c.script) {
        switch (step.kind) {
        case Step::Up:
        case Step::Down:
            m_state.SetUp(step.kind == Step::Up);
            for (int i = 0; i < static_cast<int>(step.value); ++i) {
                m_clock.AdvanceSeconds(1.0);
                m_recorder.Tick();
                ASSERT_TRUE(std::isfinite(m_recorder.TodayTotal()));
                ASSERT_GE(m_recorder.TodayTotal(), -1e-12) << "today's time went negative";
                if (step.kind == Step::Up) {
                    ASSERT_TRUE(m_recorder.Recording());
                    secondsUp += 1.0;
                }
            }
            break;
        case Step::Jump:
            m_clock.StepWallClock(step.value);
            break;
        case Step::Sleep:
            m_clock.Suspend(step.value);
            break;
        case Step::Pause:
            m_clock.AdvanceSeconds(step.value);
            if (m_recorder.Recording()) {
                secondsUp += step.value; // the connection ends only at a tick that no longer sees it
            }
            break;
        }
        earliest = std::min(earliest, m_clock.Now());
        latest = std::max(latest, m_clock.Now());
    }
    ASSERT_FALSE(m_recorder.Recording()) << "every script ends with the connection down";
    for (const ConnectionRecord& r : ReadLog()) {
        EXPECT_GE(r.end, r.start) << "a record whose end is before its start counts nothing";
    }
    // Each connection is logged from its first tick up to the first tick down, so it holds exactly the
    // ticks that saw it up; a connection cut in two at a clock step loses the one tick between the pieces.
    EXPECT_NEAR(LoggedTime(m_log, earliest, latest) / kSecond, secondsUp - c.splits, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ClockFaults,
    ::testing::Values(
        ClockCase{"SteppedBackTwoHours",
                  10,
                  {{Step::Up, 1800}, {Step::Jump, -2 * 3600.0}, {Step::Up, 600}, {Step::Down, 3}},
                  1},
        ClockCase{"SteppedForwardThreeHours",
                  10,
                  {{Step::Up, 1800}, {Step::Jump, 3 * 3600.0}, {Step::Up, 600}, {Step::Down, 3}},
                  1},
        ClockCase{"SteppedBackOverMidnight",
                  23,
                  {{Step::Up, 3000}, {Step::Jump, -3600.0}, {Step::Up, 600}, {Step::Down, 3}},
                  1},
        ClockCase{"SteppedForwardOverMidnight",
                  22,
                  {{Step::Up, 600}, {Step::Jump, 2.5 * 3600}, {Step::Up, 600}, {Step::Down, 3}},
                  1},
        ClockCase{
            "SteppedBackAtTheTickThatSeesTheEnd", 10, {{Step::Up, 900}, {Step::Jump, -5 * 3600.0}, {Step::Down, 3}}, 1},
        ClockCase{"SteppedBackThenForwardAgain",
                  10,
                  {{Step::Up, 300},
                   {Step::Jump, -4 * 3600.0},
                   {Step::Up, 300},
                   {Step::Jump, 4 * 3600.0},
                   {Step::Up, 300},
                   {Step::Down, 2}},
                  2},
        ClockCase{"SteppedBackWhileIdle",
                  10,
                  {{Step::Up, 60}, {Step::Down, 5}, {Step::Jump, -6 * 3600.0}, {Step::Up, 60}, {Step::Down, 2}},
                  0},
        ClockCase{"SteppedBackBeforeTheConnectionsStart",
                  10,
                  {{Step::Jump, -6 * 3600.0}, {Step::Up, 60}, {Step::Down, 2}},
                  0},
        ClockCase{
            "SteppedBackFiveSeconds", 10, {{Step::Up, 60}, {Step::Jump, -5.0}, {Step::Up, 60}, {Step::Down, 2}}, 1},
        ClockCase{"TicksStoppedForTenMinutes",
                  10,
                  {{Step::Up, 60}, {Step::Pause, 600.0}, {Step::Up, 60}, {Step::Down, 2}},
                  0},
        ClockCase{"SleptEightHoursOverMidnight",
                  20,
                  {{Step::Up, 3600}, {Step::Sleep, 8 * 3600.0}, {Step::Up, 600}, {Step::Down, 2}},
                  1},
        ClockCase{
            "SleptThreeHoursThenNoConnection", 10, {{Step::Up, 600}, {Step::Sleep, 3 * 3600.0}, {Step::Down, 2}}, 1},
        ClockCase{
            "SleptAndTheClockWasSetBackOnWaking",
            10,
            {{Step::Up, 600}, {Step::Sleep, 5 * 3600.0}, {Step::Jump, -7 * 3600.0}, {Step::Up, 600}, {Step::Down, 2}},
            1},
        ClockCase{"SleptTwiceInOneConnection",
                  9,
                  {{Step::Up, 60},
                   {Step::Sleep, 3600.0},
                   {Step::Up, 60},
                   {Step::Sleep, 7200.0},
                   {Step::Up, 60},
                   {Step::Down, 2}},
                  2}),
    [](const auto& info) { return std::string(info.param.name); });

// --- A suspend or a clock step while the log cannot be written ---------------------------------------

class GapOnAFullDisk : public testing::InTempDir, public ::testing::WithParamInterface<Step> {
protected:
    void SetUp() override {
        if (!testing::MountsAllowed()) {
            GTEST_SKIP() << "no private mount namespace: " << testing::MountsRefusedBecause();
        }
        m_disk.emplace(64 * 1024);
    }
    void Ticks(bool up, int count) {
        m_state.SetUp(up);
        for (int i = 0; i < count; ++i) {
            m_clock.AdvanceSeconds(1.0);
            m_recorder.Tick();
        }
    }

    std::optional<testing::Sandbox> m_disk;
    FakeConnectionState m_state;
    testing::FakeDialogs m_dialogs;
    ConnectionLog m_log{m_dialogs};
    ManualClock m_clock{EncodeDateTime(2026, 12, 8, 21, 0, 0)};
    CountingView m_view;
    ConnectionRecorder m_recorder{m_state, m_log, m_clock, m_view};
};

TEST_P(GapOnAFullDisk, ThePieceBeforeTheGapIsSavedOnceThereIsRoomWithItsOwnEnd) {
    testing::WriteLog(testing::SpreadLog(256, 5.0, m_clock.Now() - 1.0)); // one page: the next record needs another
    const std::vector<ConnectionRecord> before = ReadLog();
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 50); // before its first checkpoint, so the piece before the gap needs room of its own
    const DateTime lastSeen = m_clock.Now();
    m_disk->FillUp();
    if (GetParam().kind == Step::Sleep) {
        m_clock.Suspend(GetParam().value);
    } else {
        m_clock.StepWallClock(GetParam().value);
    }
    m_state.SetUp(true);
    for (int i = 0; i < 5; ++i) {
        m_clock.AdvanceSeconds(1.0);
        EXPECT_EQ(MessageOf([&] { m_recorder.Tick(); }), "Disk full");
        EXPECT_TRUE(m_recorder.Recording()) << "the connection stays in memory until it is saved";
    }
    EXPECT_EQ(ReadLog(), before);
    m_disk->FreeFiller();
    Ticks(true, 1);
    const DateTime restarted = m_clock.Now();
    Ticks(true, 30);
    Ticks(false, 1);
    std::vector<ConnectionRecord> expected = before;
    expected.push_back({start, lastSeen});
    expected.push_back({restarted, m_clock.Now()});
    EXPECT_EQ(ReadLog(), expected);
}

INSTANTIATE_TEST_SUITE_P(Faults, GapOnAFullDisk,
                         ::testing::Values(Step{Step::Sleep, 6 * 3600.0}, Step{Step::Jump, -3 * 3600.0},
                                           Step{Step::Jump, 3 * 3600.0}),
                         [](const auto& info) {
                             return std::string(info.param.kind == Step::Sleep ? "Suspend"
                                                : info.param.value < 0         ? "ClockBack"
                                                                               : "ClockForward");
                         });

// The end of the session saves the running connection; a clock step just before it must not make
// that record count nothing.
using SessionEnd = testing::InTempDir;

TEST_F(SessionEnd, RightAfterAClockStepKeepsTheConnectionsTime) {
    FakeConnectionState state;
    testing::FakeDialogs dialogs;
    ConnectionLog log(dialogs);
    ManualClock clock(EncodeDateTime(2026, 12, 8, 10, 0, 0));
    CountingView view;
    ConnectionRecorder recorder(state, log, clock, view);
    state.SetUp(true);
    for (int i = 0; i < 600; ++i) {
        clock.AdvanceSeconds(1.0);
        recorder.Tick();
    }
    clock.StepWallClock(-3 * 3600.0);
    clock.AdvanceSeconds(0.5);
    recorder.SaveRunningConnection();
    ASSERT_EQ(ReadLog().size(), 1u);
    EXPECT_NEAR((ReadLog()[0].end - ReadLog()[0].start) / kSecond, 599.0, 1e-3);
}

} // namespace
} // namespace hourlink
