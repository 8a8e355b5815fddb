#include "monitor/ConnectionRecorder.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/ConnectionState.h"
#include "runtime/Clock.h"
#include "runtime/Errors.h"
#include "runtime/RecordFile.h"
#include "runtime/TimeText.h"
#include "store/iodata.h"
#include "support/ErrorMessage.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kTolerance = 1e-9;
constexpr double kMillisecond = kSecond / 1000.0;

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

TEST_F(RecorderTest, TodayTimeCountsOnlyThePartSinceMidnightThenTheLogSplitsIt) {
    Ticks(true, 1); // 23:30:01
    const DateTime start = m_clock.Now();
    m_clock.AdvanceSeconds(3599.0); // 00:30:00
    m_recorder.Tick();
    EXPECT_NEAR(m_recorder.TodayTotal(), 1800.0 * kSecond, kTolerance);
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

// Keeps the files this process writes below a size for as long as it lives: a write that would pass it
// fails (EFBIG) after writing what fits, as on a disk that runs full in the middle of a write.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

using hourlink::testing::MessageOf;

// The running connection in the log: written once it has run an interval, then over in place.
class CheckpointTest : public RecorderTest {
protected:
    [[nodiscard]] std::uintmax_t LogSize() const {
        return fs::exists(ConnectionLog::kFileName) ? fs::file_size(ConnectionLog::kFileName) : 0;
    }
};

TEST_F(CheckpointTest, WrittenAfterOneIntervalRewrittenInPlaceEachIntervalAndEndedInTheSameRecord) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 59);
    EXPECT_EQ(LogSize(), 0u) << "59 s: nothing yet";
    EXPECT_EQ(m_recorder.LastCheckpoint(), std::nullopt);
    Ticks(true, 1);
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, m_clock.Now()})) << "60 s: the first checkpoint";
    EXPECT_EQ(m_recorder.LastCheckpoint(), m_clock.Now());
    const DateTime first = m_clock.Now();
    Ticks(true, 59);
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, first}));
    Ticks(true, 1);
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, m_clock.Now()})) << "120 s: the same record again";
    Ticks(false, 1);
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, m_clock.Now()})) << "the end, in the same record";
    EXPECT_EQ(LogSize(), 16u);
    EXPECT_EQ(m_recorder.LastCheckpoint(), std::nullopt);
    EXPECT_THAT(m_view.events, ::testing::Contains("saved"));
}

TEST_F(CheckpointTest, TheIntervalIsTheRecordersParameter) {
    ConnectionRecorder recorder{m_state, m_log, m_clock, m_view, std::chrono::seconds(5)};
    m_state.SetUp(true);
    std::vector<std::uintmax_t> sizes;
    for (int i = 0; i < 12; ++i) {
        m_clock.AdvanceSeconds(1.0);
        recorder.Tick();
        sizes.push_back(LogSize());
    }
    EXPECT_THAT(sizes, ElementsAre(0, 0, 0, 0, 0, 16, 16, 16, 16, 16, 16, 16));
    EXPECT_NEAR(*recorder.LastCheckpoint() - recorder.ConnectionStart(), 10 * kSecond, kTolerance);
}

TEST_F(CheckpointTest, EarlierRecordsStayAndTheNextConnectionGetsARecordOfItsOwn) {
    Ticks(true, 1);
    const DateTime first = m_clock.Now();
    Ticks(true, 70);
    Ticks(false, 1);
    const DateTime firstEnd = m_clock.Now();
    Ticks(true, 1);
    const DateTime second = m_clock.Now();
    Ticks(true, 65);
    EXPECT_THAT(ReadLog(),
                ElementsAre(ConnectionRecord{first, firstEnd}, ConnectionRecord{second, *m_recorder.LastCheckpoint()}));
    Ticks(false, 1);
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{first, firstEnd}, ConnectionRecord{second, m_clock.Now()}));
}

TEST_F(CheckpointTest, TodayCountsTheLoggedPartAndTheRunningPartBeyondItOnce) {
    Ticks(true, 1);
    for (const int seconds : {30, 60, 61, 119, 120, 150}) {
        while (m_clock.Now() - m_recorder.ConnectionStart() < (seconds - 0.5) * kSecond) {
            Ticks(true, 1);
        }
        EXPECT_NEAR(m_recorder.TodayTotal(), seconds * kSecond, kTolerance) << seconds << " s";
    }
    EXPECT_NEAR(m_log.DayConnectedTime(Today(m_clock), 0.0), 120 * kSecond, kTolerance) << "logged up to 120 s";
}

TEST_F(CheckpointTest, ALogReplacedBehindItsBackGetsTheWholeConnectionAppended) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 60);
    const ConnectionRecord other{start - 2.0, start - 1.5};
    {
        RecordFile file(ConnectionLog::kFileName, RecordFile::Mode::CreateOrTruncate);
        file.Write(std::vector<ConnectionRecord>{other, other});
    }
    Ticks(true, 30);
    // Until the next checkpoint finds its record gone, the part the log lost is missing, never counted twice.
    EXPECT_NEAR(m_recorder.TodayTotal(), 30 * kSecond, kTolerance);
    Ticks(true, 30);
    EXPECT_THAT(ReadLog(), ElementsAre(other, other, ConnectionRecord{start, m_clock.Now()}));
    Ticks(true, 1);
    EXPECT_NEAR(m_recorder.TodayTotal(), 121 * kSecond, kTolerance) << "whole again from the tick after";
}

TEST_F(CheckpointTest, AFailingCheckpointComesLastKeepsTheConnectionAndTriesAgainAnIntervalLater) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 59);
    m_clock.AdvanceSeconds(1.0);
    m_view.events.clear();
    {
        // The log cannot grow: reading it works, the checkpoint's write fails.
        const FileSizeLimit limit(0);
        EXPECT_EQ(MessageOf([&] { m_recorder.Tick(); }), "Disk full");
    }
    EXPECT_THAT(m_view.events, ElementsAre("live")) << "the live update ran before the checkpoint failed";
    EXPECT_TRUE(m_recorder.Recording());
    EXPECT_EQ(m_recorder.LastCheckpoint(), std::nullopt);
    EXPECT_EQ(LogSize(), 0u) << "no piece of a record is left";
    Ticks(true, 59);
    EXPECT_EQ(LogSize(), 0u) << "not retried on every tick";
    Ticks(true, 1);
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, m_clock.Now()}));
}

TEST_F(CheckpointTest, AShortWriteOfTheFirstCheckpointLeavesTheEarlierRecordsWhole) {
    const ConnectionRecord earlier{m_clock.Now() - 1.0, m_clock.Now() - 0.5};
    m_log.SaveConnection(earlier.start, earlier.end);
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 59);
    m_clock.AdvanceSeconds(1.0);
    {
        const FileSizeLimit limit(16 + 8); // room for half the record
        EXPECT_EQ(MessageOf([&] { m_recorder.Tick(); }), "Disk full");
    }
    EXPECT_EQ(LogSize(), 16u) << "the half record written is taken back";
    EXPECT_THAT(ReadLog(), ElementsAre(earlier));
    EXPECT_EQ(m_recorder.LastCheckpoint(), std::nullopt);
    Ticks(true, 60);
    EXPECT_THAT(ReadLog(), ElementsAre(earlier, ConnectionRecord{start, m_clock.Now()}));
    // Written over in place, the record needs no room: a log that cannot grow takes the next checkpoints.
    {
        const FileSizeLimit limit(32);
        Ticks(true, 60);
        Ticks(false, 1);
    }
    EXPECT_THAT(ReadLog(), ElementsAre(earlier, ConnectionRecord{start, m_clock.Now()}));
}

TEST_F(CheckpointTest, TheSessionEndRewritesTheRecord) {
    Ticks(true, 1);
    const DateTime start = m_clock.Now();
    Ticks(true, 90);
    m_clock.AdvanceSeconds(0.5);
    m_recorder.SaveRunningConnection();
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, m_clock.Now()}));
}

TEST_F(CheckpointTest, DiscardingTakesTheRecordOffAndLeavesTheEarlierOnes) {
    const ConnectionRecord earlier{m_clock.Now() - 1.0, m_clock.Now() - 0.5};
    m_log.SaveConnection(earlier.start, earlier.end);
    Ticks(true, 1);
    Ticks(true, 130);
    ASSERT_EQ(ReadLog().size(), 2u);
    m_recorder.DiscardRunningConnection();
    EXPECT_FALSE(m_recorder.Recording());
    EXPECT_THAT(ReadLog(), ElementsAre(earlier));
    m_recorder.DiscardRunningConnection(); // nothing running: nothing more goes
    Ticks(true, 1);
    Ticks(true, 5);
    m_recorder.DiscardRunningConnection(); // before its first checkpoint: nothing was written
    EXPECT_THAT(ReadLog(), ElementsAre(earlier));
}

// A connection kept up across three midnights: today's time restarts at each midnight while the log, up to the
// last checkpoint, and the running part beyond it give every day its own share.
TEST_F(CheckpointTest, TodayRestartsAtEachOfThreeMidnightsAndTheLogSharesTheDays) {
    m_clock.Set(EncodeDateTime(2026, 12, 7, 21, 0, 0));
    Ticks(true, 1);
    const DateTime start = m_clock.Now(); // Monday 21:00:01
    struct Moment {
        DateTime at;
        double todaySeconds;
    };
    const std::vector<Moment> moments = {
        {EncodeDateTime(2026, 12, 7, 23, 59, 59), 3 * 3600.0 - 2.0},
        {EncodeDateTime(2026, 12, 8, 0, 0, 0), 0.0},
        {EncodeDateTime(2026, 12, 8, 0, 0, 1), 1.0},
        {EncodeDateTime(2026, 12, 8, 23, 59, 59), 86399.0},
        {EncodeDateTime(2026, 12, 9, 0, 0, 1), 1.0},
        {EncodeDateTime(2026, 12, 10, 0, 0, 0), 0.0},
        {EncodeDateTime(2026, 12, 10, 0, 0, 59), 59.0},
        {EncodeDateTime(2026, 12, 10, 6, 30, 0), 6.5 * 3600.0},
    };
    for (const Moment& m : moments) {
        // Whole minutes in one step each, the last few seconds tick by tick.
        while (m_clock.Now() < m.at - 61 * kSecond) {
            m_clock.AdvanceSeconds(60.0);
            m_recorder.Tick();
        }
        while (m_clock.Now() < m.at - 0.5 * kSecond) {
            Ticks(true, 1);
        }
        // A clock moved a second at a time for days drifts by a fraction of a millisecond.
        EXPECT_NEAR(m_recorder.TodayTotal(), m.todaySeconds * kSecond, kMillisecond) << DateTimeText(m.at, {});
        ASSERT_TRUE(m_recorder.LastCheckpoint().has_value());
        EXPECT_LE(m_clock.Now() - *m_recorder.LastCheckpoint(), 60 * kSecond + kTolerance);
    }
    Ticks(false, 1);
    const DateTime end = m_clock.Now();
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, end}));
    const DateTime monday = EncodeDate(2026, 12, 7);
    EXPECT_NEAR(m_log.DayConnectedTime(monday, 0.0), 3 * 3600.0 / 86400.0 - kSecond, kTolerance);
    EXPECT_NEAR(m_log.DayConnectedTime(monday + 1, 0.0), 1.0, kTolerance);
    EXPECT_NEAR(m_log.DayConnectedTime(monday + 2, 0.0), 1.0, kTolerance);
    EXPECT_NEAR(m_log.DayConnectedTime(monday + 3, 0.0), end - (monday + 3), kTolerance);
    EXPECT_NEAR(m_recorder.TodayTime(), end - (monday + 3), kTolerance) << "after the end, the log alone";
}

} // namespace
} // namespace hourlink
