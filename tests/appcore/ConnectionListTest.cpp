#include "appcore/ConnectionList.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "runtime/RecordFile.h"
#include "store/iodata.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr double kSecond = 1.0 / 86400.0;
const DateTime kNow = EncodeDateTime(2024, 5, 10, 12, 0, 0);

class ConnectionListTest : public hourlink::testing::InTempDir {
protected:
    static void WriteLog(const std::vector<ConnectionRecord>& records) {
        RecordFile log(ConnectionLog::kFileName, RecordFile::Mode::CreateOrTruncate);
        log.Write(records);
        log.Close();
    }

    void Build(DateTime now = kNow) {
        BuildConnectionList(now, m_format, [this](const std::string& line) { m_lines.push_back(line); });
    }

    FormatSettings m_format;
    std::vector<std::string> m_lines;
};

TEST_F(ConnectionListTest, MissingLogGivesTheOneLine) {
    Build();
    EXPECT_THAT(m_lines, ElementsAre("File datatime.dat non trovato. Nessun dato disponibile"));
    EXPECT_FALSE(std::filesystem::exists(ConnectionLog::kFileName));
}

TEST_F(ConnectionListTest, OnlyOldConnectionsGiveAnEmptyListWithoutMessage) {
    WriteLog({{kNow - 9.0, kNow - 8.5}, {kNow - 7.0, kNow - 6.5}});
    Build();
    EXPECT_THAT(m_lines, IsEmpty());
}

TEST_F(ConnectionListTest, WindowIsSixTimes24HoursAndExcludesItsStart) {
    const DateTime endedAtLimit = kNow - 6.0;
    const DateTime endedASecondLater = kNow - 6.0 + kSecond;
    WriteLog({{endedAtLimit - 0.1, endedAtLimit}, {endedASecondLater - 0.1, endedASecondLater}});
    Build();
    EXPECT_THAT(m_lines, ElementsAre("Inizio: 04/05/2024 9:36:01", "Fine  : 04/05/2024 12:00:01", "Durata: 2:24:00",
                                     "-----------------------------------"));
}

TEST_F(ConnectionListTest, ListsInTheOrderOfTheLogWithFourLinesEach) {
    WriteLog({{EncodeDateTime(2024, 5, 8, 23, 0, 0), EncodeDateTime(2024, 5, 9, 1, 0, 0)},
              {EncodeDateTime(2024, 5, 1, 8, 0, 0), EncodeDateTime(2024, 5, 1, 9, 0, 0)},
              {EncodeDateTime(2024, 5, 9, 0, 0, 0), EncodeDateTime(2024, 5, 10, 1, 0, 0)},
              {EncodeDateTime(2024, 5, 10, 10, 0, 5), EncodeDateTime(2024, 5, 11, 0, 0, 0)}});
    Build();
    EXPECT_THAT(m_lines, ElementsAre(
                             // Across midnight: listed once, two hours.
                             "Inizio: 08/05/2024 23:00:00", "Fine  : 09/05/2024 1:00:00", "Durata: 2:00:00",
                             "-----------------------------------",
                             // 25 hours count on past a day; a midnight start shows the date alone.
                             "Inizio: 09/05/2024", "Fine  : 10/05/2024 1:00:00", "Durata: 25:00:00",
                             "-----------------------------------",
                             // A midnight end shows the date alone too.
                             "Inizio: 10/05/2024 10:00:05", "Fine  : 11/05/2024", "Durata: 13:59:55",
                             "-----------------------------------"));
}

TEST_F(ConnectionListTest, TruncatedLogListsWholeRecordsThenFails) {
    WriteLog({{kNow - 1.0, kNow - 0.5}, {kNow - 0.25, kNow - 0.125}});
    std::ofstream(ConnectionLog::kFileName, std::ios::binary | std::ios::app) << "12345";
    try {
        Build();
        FAIL() << "the piece of a record was read";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), IoCode::ReadBeyondEnd);
        EXPECT_STREQ(e.what(), "Read beyond end of file");
    }
    ASSERT_EQ(m_lines.size(), 8U);
    EXPECT_EQ(m_lines[4], "Inizio: 10/05/2024 6:00:00");
    EXPECT_EQ(m_lines[7], "-----------------------------------");
}

TEST_F(ConnectionListTest, LogThatCannotBeOpenedForWritingFailsBeforeAnyLine) {
    std::filesystem::create_directory(ConnectionLog::kFileName);
    try {
        Build();
        FAIL() << "the open went through";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), IoCode::AccessDenied);
    }
    EXPECT_THAT(m_lines, IsEmpty());
}

} // namespace
} // namespace hourlink
