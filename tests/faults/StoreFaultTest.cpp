#include <algorithm>
#include <cmath>
#include <csignal>
#include <limits>
#include <optional>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "appcore/ConnectionList.h"
#include "chart/TChart.h"
#include "faults/FaultSupport.h"
#include "faults/MountSandbox.h"
#include "stats/ChartView.h"
#include "stats/SevenDayChart.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::KeptByPruning;
using testing::kHour;
using testing::MessageOf;
using testing::NoScratchLeft;
using testing::ReadLog;
using testing::Sandbox;
using testing::SpreadLog;
using testing::WriteLog;

const DateTime kNewest = EncodeDateTime(2026, 12, 9, 9, 0, 0);

// Every sum the log gives for the seven chart windows, read afresh by a log that has no summary yet.
std::vector<DateTime> FreshSums(DateTime now) {
    testing::FakeDialogs dialogs;
    ConnectionLog fresh(dialogs);
    return fresh.ConnectedTimes(SevenDayWindows(now));
}

class DiskFaultTest : public testing::InTempDir {
protected:
    void SetUp() override {
        if (!testing::MountsAllowed()) {
            GTEST_SKIP() << "no private mount namespace: " << testing::MountsRefusedBecause();
        }
    }
    Sandbox& Mount(std::uint64_t bytes, std::uint64_t inodes = Sandbox::kUnlimitedInodes) {
        return m_disk.emplace(bytes, inodes);
    }

    testing::FakeDialogs m_dialogs;
    ConnectionLog m_log{m_dialogs};
    std::optional<Sandbox> m_disk;
};

// --- A full disk while a finished connection is appended ---------------------------------------------

struct FullDiskCase {
    const char* name;
    bool logExists; // a log of exactly one page, so the next record needs a block of its own
    bool noInode;   // every inode taken instead of every block
};

class SaveOnFullDisk : public DiskFaultTest, public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(SaveOnFullDisk, SaysDiskFullKeepsEveryRecordAndSavesOnceThereIsRoom) {
    const FullDiskCase& c = GetParam();
    Sandbox& disk = Mount(64 * 1024, c.noInode ? 2 : Sandbox::kUnlimitedInodes);
    const std::vector<ConnectionRecord> before =
        c.logExists ? SpreadLog(256, 5.0, kNewest) : std::vector<ConnectionRecord>{};
    if (c.logExists) {
        WriteLog(before);
        ASSERT_EQ(fs::file_size(ConnectionLog::kFileName), 4096u);
    }
    const std::vector<DateTime> sumsBefore = m_log.ConnectedTimes(SevenDayWindows(kNewest));
    disk.FillUp();
    const std::string bytesBefore = Bytes();

    const ConnectionRecord next{kNewest + kHour, kNewest + 2 * kHour};
    EXPECT_EQ(MessageOf([&] { m_log.SaveConnection(next.start, next.end); }), "Disk full");
    EXPECT_EQ(Bytes(), bytesBefore) << "a failed append must leave the log as it was";
    EXPECT_EQ(fs::exists(ConnectionLog::kFileName), c.logExists);
    // The summary kept between calls must not count the record that did not get in.
    EXPECT_EQ(m_log.ConnectedTimes(SevenDayWindows(kNewest)), sumsBefore);
    EXPECT_EQ(FreshSums(kNewest), sumsBefore);

    disk.FreeFiller();
    if (c.noInode) {
        disk.Resize(64 * 1024, 16);
    }
    m_log.SaveConnection(next.start, next.end);
    std::vector<ConnectionRecord> after = before;
    after.push_back(next);
    EXPECT_EQ(ReadLog(), after);
    EXPECT_EQ(m_log.ConnectedTimes(SevenDayWindows(kNewest)), FreshSums(kNewest));
}

INSTANTIATE_TEST_SUITE_P(Faults, SaveOnFullDisk,
                         ::testing::Values(FullDiskCase{"NoBlockLeftForTheNextRecord", true, false},
                                           FullDiskCase{"NoInodeLeftForANewLog", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- A full disk while the start-up prunes ------------------------------------------------------------

struct PruneDiskCase {
    const char* name;
    std::uint64_t roomAfterLog; // free bytes once the log is written: less than the copy needs
    bool noInode;               // no inode left for the copy
};

class PruneOnFullDisk : public DiskFaultTest, public ::testing::WithParamInterface<PruneDiskCase> {};

TEST_P(PruneOnFullDisk, SaysDiskFullLeavesTheLogAndNoScratchAndPrunesOnceThereIsRoom) {
    const PruneDiskCase& c = GetParam();
    // 20,000 records over 40 days: pruning keeps about half, 160 kB, which does not fit.
    const std::vector<ConnectionRecord> records = SpreadLog(20000, 40.0, kNewest);
    const std::uint64_t logBytes = records.size() * kRecordSize;
    constexpr std::uint64_t kRoomy = 4u << 20;
    Sandbox& disk = Mount(kRoomy);
    WriteLog(records);
    if (c.noInode) {
        disk.Resize(kRoomy, 2); // the root folder and the log
    } else {
        disk.Resize(kRoomy - disk.FreeBytes() + c.roomAfterLog);
    }
    const std::uint64_t freeBefore = disk.FreeBytes();
    const std::string bytesBefore = Bytes();

    EXPECT_EQ(MessageOf([&] { (void)m_log.CompactDatabase(); }), "Disk full");
    EXPECT_EQ(Bytes(), bytesBefore);
    EXPECT_TRUE(NoScratchLeft()) << "a half copy must never stay where the next start would take it";
    EXPECT_EQ(disk.FreeBytes(), freeBefore) << "the half copy's blocks are given back";
    EXPECT_TRUE(m_dialogs.messages.empty());

    disk.Resize(4 * logBytes, 16);
    EXPECT_TRUE(m_log.CompactDatabase());
    EXPECT_EQ(ReadLog(), KeptByPruning(records));
    EXPECT_TRUE(NoScratchLeft());
}

INSTANTIATE_TEST_SUITE_P(Faults, PruneOnFullDisk,
                         ::testing::Values(PruneDiskCase{"CopyRunsOutOfBlocksHalfWay", 64 * 1024, false},
                                           PruneDiskCase{"NoBlockForTheCopyAtAll", 0, false},
                                           PruneDiskCase{"NoInodeForTheCopy", 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Read-only log and folder -------------------------------------------------------------------------

struct ReadOnlyCase {
    const char* name;
    const char* readOnlyPath; // relative to the sandbox; "" is the whole folder
};

class ReadOnlyLog : public DiskFaultTest, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(ReadOnlyLog, EveryUseOfTheLogSaysFileAccessDeniedAndChangesNothing) {
    Sandbox& disk = Mount(1u << 20);
    const std::vector<ConnectionRecord> records = SpreadLog(100, 30.0, kNewest);
    WriteLog(records);
    WriteLog({records.front()}, ConnectionLog::kScratchName); // a leftover scratch file that would replace the log
    disk.MakeReadOnly(GetParam().readOnlyPath);
    const std::string bytesBefore = Bytes();

    EXPECT_EQ(MessageOf([&] { (void)m_log.DayConnectedTime(DateOf(kNewest), 0.0); }), "File access denied");
    EXPECT_EQ(MessageOf([&] { (void)m_log.ConnectedTimes(SevenDayWindows(kNewest)); }), "File access denied");
    EXPECT_EQ(MessageOf([&] { m_log.SaveConnection(kNewest + kHour, kNewest + 2 * kHour); }), "File access denied");
    EXPECT_EQ(MessageOf([&] { (void)m_log.CompactDatabase(); }), "File access denied");
    std::vector<std::string> lines;
    EXPECT_EQ(MessageOf([&] {
                  BuildConnectionList(kNewest, FormatSettings{}, [&](const std::string& l) { lines.push_back(l); });
              }),
              "File access denied");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(Bytes(), bytesBefore);
    EXPECT_TRUE(fs::exists(ConnectionLog::kScratchName));
    EXPECT_TRUE(m_dialogs.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadOnlyLog,
                         ::testing::Values(ReadOnlyCase{"TheLogFile", ConnectionLog::kFileName},
                                           ReadOnlyCase{"TheWholeFolder", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiskFaultTest, ReadOnlyFolderWithAWritableLogRecordsButCannotPrune) {
    Sandbox& disk = Mount(1u << 20);
    const std::vector<ConnectionRecord> records = SpreadLog(100, 30.0, kNewest);
    WriteLog(records);
    disk.KeepWritable(ConnectionLog::kFileName);
    disk.MakeReadOnly("");
    const ConnectionRecord next{kNewest + kHour, kNewest + 2 * kHour};
    m_log.SaveConnection(next.start, next.end);
    EXPECT_NEAR(m_log.DayConnectedTime(DateOf(kNewest), 0.0), FreshSums(kNewest)[6], 1e-12);
    EXPECT_EQ(MessageOf([&] { (void)m_log.CompactDatabase(); }), "File access denied");
    std::vector<ConnectionRecord> after = records;
    after.push_back(next);
    EXPECT_EQ(ReadLog(), after);
    EXPECT_TRUE(NoScratchLeft());
}

TEST_F(DiskFaultTest, ReadOnlyFolderKeepsALeftoverScratchFileAndTheLogWithoutAWord) {
    Sandbox& disk = Mount(1u << 20);
    const std::vector<ConnectionRecord> records = SpreadLog(10, 5.0, kNewest);
    WriteLog(records);
    WriteLog({records.back()}, ConnectionLog::kScratchName);
    disk.KeepWritable(ConnectionLog::kFileName);
    disk.MakeReadOnly("");
    EXPECT_FALSE(m_log.CompactDatabase());
    EXPECT_EQ(ReadLog(), records) << "the replacement fails and is not reported";
    EXPECT_EQ(ReadLog(ConnectionLog::kScratchName), std::vector<ConnectionRecord>{records.back()});
    EXPECT_TRUE(m_dialogs.messages.empty());
}

// --- A truncated trailing record ----------------------------------------------------------------------

class TruncatedLog : public testing::InTempDir, public ::testing::WithParamInterface<std::size_t> {
protected:
    testing::FakeDialogs m_dialogs;
    ConnectionLog m_log{m_dialogs};
};

TEST_P(TruncatedLog, ReadsFailAfterTheWholeRecordsAndTheNextSaveRepairsTheLog) {
    const std::vector<ConnectionRecord> records = SpreadLog(50, 30.0, kNewest - 1.0);
    WriteLog(records);
    testing::AppendBytes(ConnectionLog::kFileName, GetParam());
    const std::string bytesBefore = Bytes();

    EXPECT_EQ(MessageOf([&] { (void)m_log.DayConnectedTime(DateOf(kNewest), 0.0); }), "Read beyond end of file");
    EXPECT_EQ(MessageOf([&] { (void)m_log.CompactDatabase(); }), "Read beyond end of file");
    EXPECT_EQ(Bytes(), bytesBefore);
    EXPECT_TRUE(NoScratchLeft());
    std::size_t lines = 0;
    EXPECT_EQ(MessageOf([&] { BuildConnectionList(kNewest, FormatSettings{}, [&](const std::string&) { ++lines; }); }),
              "Read beyond end of file");
    EXPECT_GT(lines, 0u) << "the whole records before the piece are listed";
    EXPECT_EQ(lines % 4, 0u);

    const ConnectionRecord next{kNewest, kNewest + kHour};
    m_log.SaveConnection(next.start, next.end);
    std::vector<ConnectionRecord> after = records;
    after.push_back(next);
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), after.size() * kRecordSize);
    EXPECT_EQ(ReadLog(), after);
    EXPECT_TRUE(m_log.CompactDatabase());
    EXPECT_EQ(ReadLog(), KeptByPruning(after));
}

INSTANTIATE_TEST_SUITE_P(Faults, TruncatedLog, ::testing::Values(1u, 8u, 15u));

// --- Records that hold no sensible time ---------------------------------------------------------------

struct OddRecord {
    const char* name;
    ConnectionRecord record;
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();

const OddRecord kOddRecords[] = {
    {"NaNStart", {kNaN, kNewest}},
    {"NaNEnd", {kNewest - 0.5, kNaN}},
    {"NaNBoth", {kNaN, kNaN}},
    {"InfiniteStart", {kInf, kInf}},
    {"MinusInfiniteStart", {-kInf, kNewest}},
    {"InfiniteEnd", {kNewest - 0.5, kInf}},
    {"EndBeforeStart", {kNewest - 0.2, kNewest - 3.0}},
    {"HugeStart", {1e308, 1e308}},
    {"LargestDouble", {kMax, kMax}},
    {"HugeSpan", {-kMax, kMax}},
    {"HugeNegative", {-1e308, -1e307}},
    {"Denormal", {5e-324, 1e-310}},
};

enum class Where { First, Middle, Last };

class OddRecords : public testing::InTempDir, public ::testing::WithParamInterface<std::tuple<OddRecord, Where>> {
protected:
    // Good records over 30 days, with the odd one put in its place; with oldRecords, that many records of
    // 70 to 40 days before come first, so whole blocks of the log lie outside the chart's week.
    void WriteLogWithOddRecord(std::size_t oldRecords = 0) {
        m_good = SpreadLog(oldRecords, 30.0, kNewest - 40.0);
        const std::vector<ConnectionRecord> recent = SpreadLog(60, 30.0, kNewest);
        m_good.insert(m_good.end(), recent.begin(), recent.end());
        m_all = m_good;
        const auto [odd, where] = GetParam();
        const std::size_t at = where == Where::First ? 0 : where == Where::Middle ? m_all.size() / 2 : m_all.size();
        m_all.insert(m_all.begin() + static_cast<std::ptrdiff_t>(at), odd.record);
        WriteLog(m_all);
    }

    testing::FakeDialogs m_dialogs;
    ConnectionLog m_log{m_dialogs};
    std::vector<ConnectionRecord> m_good;
    std::vector<ConnectionRecord> m_all;
};

// The connected time of a window written out plainly: each finite record's overlap with [lo, hi).
double ReferenceSum(const std::vector<ConnectionRecord>& records, double lo, double hi) {
    double sum = 0.0;
    for (const ConnectionRecord& r : records) {
        if (std::isfinite(r.start) && std::isfinite(r.end) && r.end > lo && r.start < hi) {
            sum += std::min(r.end, hi) - std::max(r.start, lo);
        }
    }
    return sum;
}

TEST_P(OddRecords, SumsStayFiniteAndNonNegativeAndTheSummaryAgreesWithAFullPass) {
    WriteLogWithOddRecord(2 * LogIndex::kBlockRecords);
    const std::vector<TimeWindow> windows = SevenDayWindows(kNewest);
    const std::vector<DateTime> sums = m_log.ConnectedTimes(windows);
    ASSERT_EQ(sums.size(), windows.size());
    ASSERT_EQ(m_log.Index().BlockCount(), 3u);
    for (std::size_t i = 0; i < sums.size(); ++i) {
        EXPECT_TRUE(std::isfinite(sums[i])) << i;
        EXPECT_GE(sums[i], 0.0) << i;
        EXPECT_NEAR(sums[i], ReferenceSum(m_all, windows[i].lo, windows[i].hi), 1e-9) << i;
    }
    // Windows the summary has not summed yet are answered block by block, passing over the old blocks;
    // a log object without a summary reads every record.
    testing::FakeDialogs freshDialogs;
    ConnectionLog fresh(freshDialogs);
    for (const double offset : {0.0, 0.25, 0.75}) {
        for (int back = 0; back < 7; ++back) {
            const DateTime day = DateOf(kNewest) - back;
            const DateTime summed = m_log.DayConnectedTime(day, offset);
            EXPECT_EQ(summed, fresh.DayConnectedTime(day, offset)) << back << " days back, from " << offset;
            EXPECT_NEAR(summed, ReferenceSum(m_all, day + offset, day + 1.0), 1e-9) << back << " days back";
        }
    }
    m_log.SaveConnection(kNewest + kHour, kNewest + 2 * kHour);
    EXPECT_EQ(m_log.ConnectedTimes(windows), FreshSums(kNewest)) << "the summary after an append";
    const SevenDayFigures figures = ComputeSevenDays(sums, kNewest, FormatSettings{});
    for (std::size_t i = 0; i < kChartDays; ++i) {
        EXPECT_TRUE(std::isfinite(figures.averages[i]));
        EXPECT_THAT(figures.hourLabels[i], ::testing::MatchesRegex("[0-9]+:[0-9][0-9]:[0-9][0-9]"));
    }
}

TEST_P(OddRecords, TheListAndTheChartAreBuiltWithoutAnError) {
    WriteLogWithOddRecord();
    std::vector<std::string> lines;
    BuildConnectionList(kNewest, FormatSettings{}, [&](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(lines.size() % 4, 0u);
    EXPECT_GE(lines.size(), 4u);
    for (const std::string& line : lines) {
        EXPECT_FALSE(line.empty());
    }
    TChart chart;
    const ChartView view = ConfigureChart1(chart);
    ManualClock clock(kNewest);
    RebuildChart(m_log, clock, FormatSettings{}, chart, view.SerieGiorno, view.SerieMedia);
    ASSERT_EQ(view.SerieGiorno.Count(), kChartDays);
    for (int i = 0; i < kChartDays; ++i) {
        EXPECT_TRUE(std::isfinite(view.SerieGiorno.GetYValue(i)));
        EXPECT_GE(view.SerieGiorno.GetYValue(i), 0.0);
        EXPECT_TRUE(std::isfinite(view.SerieMedia.GetYValue(i)));
    }
    EXPECT_FALSE(chart.grab().isNull());
}

TEST_P(OddRecords, PruningNeverLosesAGoodRecordOfTheLastTwentyDays) {
    WriteLogWithOddRecord();
    (void)m_log.CompactDatabase();
    const std::vector<ConnectionRecord> after = ReadLog();
    EXPECT_TRUE(NoScratchLeft());
    // The good records that a log without the odd one would keep must all be there, in their order.
    std::vector<ConnectionRecord> goodAfter;
    for (const ConnectionRecord& r : after) {
        if (std::find(m_good.begin(), m_good.end(), r) != m_good.end()) {
            goodAfter.push_back(r);
        }
    }
    const std::vector<ConnectionRecord> mustStay = KeptByPruning(m_good);
    EXPECT_TRUE(std::includes(goodAfter.begin(), goodAfter.end(), mustStay.begin(), mustStay.end(),
                              [](const ConnectionRecord& a, const ConnectionRecord& b) { return a.start < b.start; }))
        << goodAfter.size() << " good records left of " << m_good.size() << ", " << mustStay.size() << " must stay";
    EXPECT_FALSE(m_log.CompactDatabase()) << "a second start finds nothing more to prune";
}

INSTANTIATE_TEST_SUITE_P(Faults, OddRecords,
                         ::testing::Combine(::testing::ValuesIn(kOddRecords),
                                            ::testing::Values(Where::First, Where::Middle, Where::Last)),
                         [](const auto& info) {
                             const Where where = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param).name) + (where == Where::First    ? "First"
                                                                                 : where == Where::Middle ? "Middle"
                                                                                                          : "Last");
                         });

// --- Killed in the middle of the running connection's checkpoints --------------------------------------

// A process writes the running connection's checkpoints as fast as it can, each a minute later than the
// one before, and is killed with SIGKILL at a moment of its run; after each kill the log must hold every
// earlier record untouched and the connection as one whole record, and the next program's first write
// must find that record instead of adding a second one.
TEST(KilledMidCheckpoint, LeavesTheEarlierRecordsAndOneWholeRecordOfTheConnection) {
    const testing::TempDir folder;
    const std::vector<ConnectionRecord> earlier = SpreadLog(5000, 10.0, kNewest - 1.0);
    const DateTime start = kNewest;
    const DateTime minute = 1.0 / 1440.0;
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> delayUs(0, 4000);
    int killedWithTheRecord = 0;
    for (int round = 0; round < 40; ++round) {
        WriteLog(earlier);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                testing::FakeDialogs dialogs;
                ConnectionLog log(dialogs);
                RunningRecord record;
                for (int n = 1;; ++n) {
                    log.WriteRunning(record, start, start + n * minute);
                }
            } catch (...) {
                ::_exit(3); // seen by the parent as an exit instead of the kill
            }
        }
        ::usleep(static_cast<useconds_t>(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;

        ASSERT_EQ(fs::file_size(ConnectionLog::kFileName) % kRecordSize, 0u) << "no piece of a record, round " << round;
        std::vector<ConnectionRecord> log = ReadLog();
        ASSERT_GE(log.size(), earlier.size());
        ASSERT_LE(log.size(), earlier.size() + 1) << "one record for the connection at most, round " << round;
        ASSERT_TRUE(std::equal(earlier.begin(), earlier.end(), log.begin())) << "round " << round;
        if (log.size() == earlier.size() + 1) {
            ++killedWithTheRecord;
            const ConnectionRecord ours = log.back();
            ASSERT_EQ(ours.start, start);
            const double minutes = (ours.end - start) / minute;
            ASSERT_NEAR(minutes, std::round(minutes), 1e-6) << "an end the process wrote, round " << round;
            ASSERT_GE(minutes, 1.0);
        }
        // The next start's first write of a connection with the same start, as after a flush that failed.
        testing::FakeDialogs dialogs;
        ConnectionLog next(dialogs);
        RunningRecord record;
        next.WriteRunning(record, start, start + 0.5);
        log = ReadLog();
        ASSERT_EQ(log.size(), earlier.size() + 1) << "round " << round;
        EXPECT_EQ(log.back(), (ConnectionRecord{start, start + 0.5}));
        EXPECT_EQ(next.ConnectedTimes(SevenDayWindows(start + 0.5)), FreshSums(start + 0.5));
    }
    // The kills fell both before the first write and during the rewrites.
    EXPECT_GT(killedWithTheRecord, 0);
    RecordProperty("killed with the connection's record in the log", killedWithTheRecord);
}

} // namespace
} // namespace hourlink
