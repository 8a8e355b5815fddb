#include "store/iodata.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "runtime/RecordFile.h"
#include "support/ErrorMessage.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

constexpr double kHour = 1.0 / 24.0;
constexpr double kMillisecond = 1.0 / 86400000.0;

std::vector<ConnectionRecord> ReadLog(const std::string& name = ConnectionLog::kFileName) {
    std::vector<ConnectionRecord> out;
    RecordFile file(name, RecordFile::Mode::OpenExisting);
    file.ReadAll([&](const ConnectionRecord& r) { out.push_back(r); });
    return out;
}

void WriteLog(const std::vector<ConnectionRecord>& records, const std::string& name = ConnectionLog::kFileName) {
    RecordFile file(name, RecordFile::Mode::CreateOrTruncate);
    file.Write(records);
    file.Close();
}

void AppendBytes(const std::string& name, std::size_t count) {
    std::ofstream out(name, std::ios::binary | std::ios::app);
    for (std::size_t i = 0; i < count; ++i) {
        out.put('\x7f');
    }
}

using hourlink::testing::MessageOf;

class ConnectionLogTest : public testing::InTempDir {
protected:
    testing::FakeDialogs m_dialogs;
    ConnectionLog m_log{m_dialogs};
    const DateTime m_day = EncodeDate(2026, 12, 8);
};

TEST_F(ConnectionLogTest, MissingLogSumsToZeroAndFirstSaveCreatesOneRecord) {
    EXPECT_EQ(m_log.DayConnectedTime(m_day, 0.0), 0.0);
    EXPECT_FALSE(fs::exists(ConnectionLog::kFileName)) << "summing must not create the log";
    m_log.SaveConnection(m_day + kHour, m_day + 2 * kHour);
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), 16u);
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{m_day + kHour, m_day + 2 * kHour}));
}

TEST_F(ConnectionLogTest, RecordsAreLittleEndianDoublesStartThenEnd) {
    m_log.SaveConnection(1.5, -2.0);
    std::ifstream in(ConnectionLog::kFileName, std::ios::binary);
    unsigned char bytes[16] = {};
    in.read(reinterpret_cast<char*>(bytes), 16);
    // 1.5 = 0x3FF8000000000000, -2.0 = 0xC000000000000000
    EXPECT_EQ(bytes[6], 0xF8);
    EXPECT_EQ(bytes[7], 0x3F);
    EXPECT_EQ(bytes[15], 0xC0);
    EXPECT_EQ(bytes[0], 0x00);
}

TEST_F(ConnectionLogTest, ConnectionAcrossMidnightCountsOnEachDay) {
    m_log.SaveConnection(m_day - kHour, m_day + kHour);
    EXPECT_NEAR(m_log.DayConnectedTime(m_day - 1.0, 0.0), kHour, kMillisecond);
    EXPECT_NEAR(m_log.DayConnectedTime(m_day, 0.0), kHour, kMillisecond);
}

// Descriptors of this process open on the log.
int OpenLogDescriptors() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const fs::path target = fs::read_symlink(entry.path(), error);
        count += !error && target.filename() == ConnectionLog::kFileName ? 1 : 0;
    }
    return count;
}

// Inside a read scope the sums share one open of the log, and still see what was written between them.
TEST_F(ConnectionLogTest, SumsInAReadScopeShareOneOpenAndSeeEachWrite) {
    {
        const ConnectionLog::ReadScope reads(m_log);
        EXPECT_EQ(m_log.DayConnectedTime(m_day, 0.0), 0.0) << "no log yet";
        m_log.SaveConnection(m_day + kHour, m_day + 2 * kHour);
        EXPECT_NEAR(m_log.DayConnectedTime(m_day, 0.0), kHour, kMillisecond) << "a log that came since";
        EXPECT_EQ(OpenLogDescriptors(), 1);
        m_log.SaveConnection(m_day + 3 * kHour, m_day + 4 * kHour);
        EXPECT_NEAR(m_log.ConnectedTimes({{m_day, m_day + 1.0}}).front(), 2 * kHour, kMillisecond);
        EXPECT_EQ(OpenLogDescriptors(), 1);
    }
    EXPECT_EQ(OpenLogDescriptors(), 0);
    EXPECT_NEAR(m_log.DayConnectedTime(m_day, 0.0), 2 * kHour, kMillisecond);
    EXPECT_EQ(OpenLogDescriptors(), 0) << "outside a scope every sum closes what it opened";
}

TEST_F(ConnectionLogTest, WindowBoundsClipAndTouchingRecordsAddNothing) {
    const double offset = 10 * kHour;
    WriteLog({
        {m_day - 2.0, m_day + 3.0},              // covers the whole window
        {m_day + 2 * kHour, m_day + offset},     // ends where the window starts
        {m_day + 1.0, m_day + 1.0 + kHour},      // starts where the window ends
        {m_day + 9 * kHour, m_day + 11 * kHour}, // crosses the start
    });
    EXPECT_NEAR(m_log.DayConnectedTime(m_day, offset), (1.0 - offset) + kHour, kMillisecond);
}

TEST_F(ConnectionLogTest, RecordsThatAreNotFiniteAddNothing) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    WriteLog({{nan, m_day + kHour}, {m_day, inf}, {-inf, inf}, {m_day, nan}, {m_day + kHour, m_day + 2 * kHour}});
    EXPECT_NEAR(m_log.DayConnectedTime(m_day, 0.0), kHour, kMillisecond);
}

TEST_F(ConnectionLogTest, EndBeforeStartAndHugeValuesNeverGoNegativeOrOverflow) {
    WriteLog({{m_day + 5 * kHour, m_day + kHour}, {-1e308, 1e308}, {1e308, -1e308}});
    EXPECT_DOUBLE_EQ(m_log.DayConnectedTime(m_day, 0.0), 1.0);
}

TEST_F(ConnectionLogTest, TruncatedTrailingRecordFailsReadsAndIsOverwrittenBySave) {
    WriteLog({{m_day, m_day + kHour}});
    AppendBytes(ConnectionLog::kFileName, 7);
    EXPECT_EQ(MessageOf([&] { (void)m_log.DayConnectedTime(m_day, 0.0); }), "Read beyond end of file");
    m_log.SaveConnection(m_day + 2 * kHour, m_day + 3 * kHour);
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), 32u);
    EXPECT_NEAR(m_log.DayConnectedTime(m_day, 0.0), 2 * kHour, kMillisecond);
}

TEST_F(ConnectionLogTest, UnopenableLogFailsEveryOperationWithAccessDenied) {
    fs::create_directory(ConnectionLog::kFileName); // opening a folder read-write is refused
    EXPECT_EQ(MessageOf([&] { (void)m_log.DayConnectedTime(m_day, 0.0); }), "File access denied");
    EXPECT_EQ(MessageOf([&] { m_log.SaveConnection(m_day, m_day + kHour); }), "File access denied");
    EXPECT_EQ(MessageOf([&] { (void)m_log.CompactDatabase(); }), "File access denied");
}

TEST_F(ConnectionLogTest, VanishedWorkingDirectoryIsAnInvalidFilename) {
    const fs::path gone = fs::current_path() / "gone";
    fs::create_directory(gone);
    fs::current_path(gone);
    fs::remove(gone);
    EXPECT_EQ(MessageOf([&] { m_log.SaveConnection(m_day, m_day + kHour); }), "Invalid filename");
    EXPECT_EQ(m_log.DayConnectedTime(m_day, 0.0), 0.0);
}

// Starts of the records, in days before the newest record's start.
class CompactTest : public ConnectionLogTest {
protected:
    std::vector<ConnectionRecord> LogWithStartsBefore(std::initializer_list<double> daysBefore) {
        std::vector<ConnectionRecord> records;
        const double newest = m_day + 0.5;
        for (double d : daysBefore) {
            records.push_back({newest - d, newest - d + kHour});
        }
        return records;
    }
};

TEST_F(CompactTest, KeepsRecordsYoungerThanTwentyDaysDroppingTheOneAtExactlyTwenty) {
    const auto records = LogWithStartsBefore({30, 25, 21, 20, 19, 0});
    WriteLog(records);
    EXPECT_TRUE(m_log.CompactDatabase());
    EXPECT_THAT(ReadLog(), ElementsAre(records[4], records[5]));
    EXPECT_FALSE(fs::exists(ConnectionLog::kScratchName));
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(CompactTest, SumsAfterPruningSeeThePrunedLog) {
    const auto records = LogWithStartsBefore({30, 0});
    WriteLog(records);
    const double oldDay = DateOf(records[0].start);
    EXPECT_GT(m_log.DayConnectedTime(oldDay, 0.0), 0.0);
    EXPECT_TRUE(m_log.CompactDatabase());
    EXPECT_EQ(m_log.DayConnectedTime(oldDay, 0.0), 0.0);
}

TEST_F(CompactTest, LeavesAYoungLogAlone) {
    const auto records = LogWithStartsBefore({20, 3, 0});
    WriteLog(records);
    EXPECT_FALSE(m_log.CompactDatabase());
    EXPECT_EQ(ReadLog(), records);
}

class NewestRecordWithoutADate : public CompactTest, public ::testing::WithParamInterface<double> {};

TEST_P(NewestRecordWithoutADate, PrunesNothingRatherThanEverythingBeforeIt) {
    auto records = LogWithStartsBefore({30, 25, 0});
    records.push_back({GetParam(), GetParam()});
    WriteLog(records);
    EXPECT_FALSE(m_log.CompactDatabase());
    const auto after = ReadLog();
    ASSERT_EQ(after.size(), records.size());
    EXPECT_TRUE(std::equal(records.begin(), records.end() - 1, after.begin()));
}

INSTANTIATE_TEST_SUITE_P(NotADate, NewestRecordWithoutADate,
                         ::testing::Values(std::numeric_limits<double>::infinity(),
                                           std::numeric_limits<double>::quiet_NaN(), 1e308,
                                           EncodeDate(9999, 12, 31) + 1.0));

TEST_F(CompactTest, NewestRecordOnTheCalendarsLastDayStillPrunes) {
    const DateTime last = EncodeDate(9999, 12, 31) + 0.5;
    WriteLog({{last - 30.0, last - 29.0}, {last, last}});
    EXPECT_TRUE(m_log.CompactDatabase());
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{last, last}));
}

TEST_F(CompactTest, LeftoverScratchFileReplacesTheLogEvenWithoutPruning) {
    WriteLog(LogWithStartsBefore({1, 0}));
    const auto scratch = LogWithStartsBefore({5});
    WriteLog(scratch, ConnectionLog::kScratchName);
    EXPECT_FALSE(m_log.CompactDatabase());
    EXPECT_EQ(ReadLog(), scratch);
    EXPECT_FALSE(fs::exists(ConnectionLog::kScratchName));
}

TEST_F(CompactTest, EmptyLogStaysEmpty) {
    WriteLog({});
    EXPECT_FALSE(m_log.CompactDatabase());
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), 0u);
}

TEST_F(CompactTest, MissingLogSaysSoAndIgnoresTheScratchFile) {
    WriteLog(LogWithStartsBefore({1}), ConnectionLog::kScratchName);
    EXPECT_FALSE(m_log.CompactDatabase());
    EXPECT_THAT(m_dialogs.messages, ElementsAre("File not found: datatime.dat"));
    EXPECT_FALSE(fs::exists(ConnectionLog::kFileName));
    EXPECT_TRUE(fs::exists(ConnectionLog::kScratchName));
}

TEST_F(CompactTest, FailedCopyLeavesTheLogAndNoScratchFile) {
    const auto records = LogWithStartsBefore({30, 0});
    WriteLog(records);
    AppendBytes(ConnectionLog::kFileName, 5);
    EXPECT_EQ(MessageOf([&] { (void)m_log.CompactDatabase(); }), "Read beyond end of file");
    EXPECT_FALSE(fs::exists(ConnectionLog::kScratchName));
    EXPECT_FALSE(fs::exists("temp.tmp.part"));
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), 37u);
}

// Where the running connection's record goes: over its own record while that still holds its start,
// else after whatever the log holds now, never past its end.
struct RunningCase {
    const char* name;
    std::vector<ConnectionRecord> before; // the log as it stands at the write
    std::optional<std::int64_t> index;    // where the recorder believes its record stands
    std::vector<ConnectionRecord> after;
    std::int64_t writtenAt;
};

void PrintTo(const RunningCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr ConnectionRecord kOld{100.0, 100.5};
constexpr ConnectionRecord kOurs{101.0, 101.25};
constexpr ConnectionRecord kOursLater{101.0, 101.5};
constexpr ConnectionRecord kOther{102.0, 102.5};

class WriteRunningTest : public ConnectionLogTest, public ::testing::WithParamInterface<RunningCase> {};

TEST_P(WriteRunningTest, RewritesItsOwnRecordOrAppends) {
    const RunningCase& c = GetParam();
    if (!c.before.empty()) {
        WriteLog(c.before);
    }
    RunningRecord record{c.index, c.index ? std::optional<DateTime>(kOurs.end) : std::nullopt};
    m_log.WriteRunning(record, kOursLater.start, kOursLater.end);
    EXPECT_THAT(ReadLog(), ::testing::ElementsAreArray(c.after));
    EXPECT_EQ(record.index, c.writtenAt);
    EXPECT_EQ(record.end, kOursLater.end);
}

INSTANTIATE_TEST_SUITE_P(
    Places, WriteRunningTest,
    ::testing::Values(
        RunningCase{"FirstWriteCreatesTheLog", {}, std::nullopt, {kOursLater}, 0},
        RunningCase{"FirstWriteComesAfterTheOldRecords", {kOld}, std::nullopt, {kOld, kOursLater}, 1},
        RunningCase{"RewritesInPlace", {kOld, kOurs}, 1, {kOld, kOursLater}, 1},
        RunningCase{"RewritesInPlaceWithARecordAfterIt", {kOld, kOurs, kOther}, 1, {kOld, kOursLater, kOther}, 1},
        RunningCase{"AWriteWhoseFlushFailedIsFoundAsTheNewest", {kOld, kOurs}, std::nullopt, {kOld, kOursLater}, 1},
        RunningCase{"ReplacedLogGetsItAppended", {kOld, kOther}, 1, {kOld, kOther, kOursLater}, 2},
        RunningCase{"LogCutBeforeItsPlaceGetsItAppendedAtTheEnd", {kOld}, 5, {kOld, kOursLater}, 1},
        RunningCase{"ANegativePlaceIsNoPlace", {kOld}, -1, {kOld, kOursLater}, 1}));

TEST_F(ConnectionLogTest, EmptiedLogFileGetsTheRunningRecordAtItsStart) {
    WriteLog({kOld, kOurs});
    WriteLog({});
    RunningRecord record{1, kOurs.end};
    m_log.WriteRunning(record, kOursLater.start, kOursLater.end);
    EXPECT_THAT(ReadLog(), ElementsAre(kOursLater));
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), 16u);
}

TEST_F(ConnectionLogTest, ATrailingPieceIsOverwrittenByTheFirstWriteAndNeverWrittenPast) {
    WriteLog({kOld});
    AppendBytes(ConnectionLog::kFileName, 5);
    RunningRecord record;
    m_log.WriteRunning(record, kOurs.start, kOurs.end);
    EXPECT_THAT(ReadLog(), ElementsAre(kOld, kOurs));
    m_log.WriteRunning(record, kOursLater.start, kOursLater.end);
    EXPECT_THAT(ReadLog(), ElementsAre(kOld, kOursLater));
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), 32u);
}

TEST_F(ConnectionLogTest, RemovingTakesOffOnlyTheNewestRecordWhenItIsStillOurs) {
    WriteLog({kOld, kOurs});
    EXPECT_FALSE(m_log.RemoveRunning(RunningRecord{0, kOurs.end}, kOurs.start)) << "not the newest";
    EXPECT_FALSE(m_log.RemoveRunning(RunningRecord{1, kOurs.end}, kOther.start)) << "another start";
    EXPECT_FALSE(m_log.RemoveRunning(RunningRecord{2, kOurs.end}, kOurs.start)) << "past the end";
    EXPECT_FALSE(m_log.RemoveRunning(RunningRecord{}, kOurs.start)) << "never written";
    EXPECT_THAT(ReadLog(), ElementsAre(kOld, kOurs));
    const DateTime sumBefore = m_log.DayConnectedTime(101.0, 0.0);
    EXPECT_EQ(sumBefore, 0.25);
    EXPECT_TRUE(m_log.RemoveRunning(RunningRecord{1, kOurs.end}, kOurs.start));
    EXPECT_THAT(ReadLog(), ElementsAre(kOld));
    EXPECT_EQ(m_log.DayConnectedTime(101.0, 0.0), 0.0) << "the remembered sum went with the record";
}

TEST_F(ConnectionLogTest, RemovingLeavesARecordAppendedAfterOurs) {
    WriteLog({kOld, kOurs, kOther});
    EXPECT_FALSE(m_log.RemoveRunning(RunningRecord{1, kOurs.end}, kOurs.start));
    EXPECT_THAT(ReadLog(), ElementsAre(kOld, kOurs, kOther));
}

TEST_F(ConnectionLogTest, WritingTheRunningRecordToAnUnopenableLogFailsAndKeepsThePlace) {
    WriteLog({kOld, kOurs});
    RunningRecord record{1, kOurs.end};
    fs::remove(ConnectionLog::kFileName);
    fs::create_directory(ConnectionLog::kFileName);
    EXPECT_EQ(MessageOf([&] { m_log.WriteRunning(record, kOursLater.start, kOursLater.end); }), "File access denied");
    EXPECT_EQ(record.index, 1);
    EXPECT_EQ(record.end, kOurs.end) << "nothing was written";
}

} // namespace
} // namespace hourlink
