#include "report/Report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "report/ReportFigures.h"
#include "report/ReportOptions.h"
#include "runtime/Errors.h"
#include "runtime/RecordFile.h"
#include "stats/SevenDays.h"
#include "store/LogReader.h"
#include "store/iodata.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;

// Wednesday 13 March 2024.
const DateTime kWednesday = EncodeDate(2024, 3, 13);

DateTime At(int daysBack, int hour, int minute = 0, int second = 0) {
    return kWednesday - daysBack + EncodeTime(hour, minute, second, 0);
}

void WriteLog(const std::vector<ConnectionRecord>& records) {
    RecordFile file(ConnectionLog::kFileName, RecordFile::Mode::CreateOrTruncate);
    file.Write(records);
    file.Close();
}

// A running connection as the program reports it: its start and, once checkpointed, the end the log holds.
struct Running {
    DateTime start = 0.0;
    std::optional<DateTime> checkpointEnd;
};

// One table for both: the window's figures (the log summed the window's way, the running connection as
// if it had been saved just now) and the report's (one read-only pass plus the live part beyond the log).
struct FiguresCase {
    const char* name;
    std::vector<ConnectionRecord> log;
    DateTime now;
    std::optional<Running> running;
    std::array<double, 7> hours; // what the chart shows, by hand
};

const double kNaN = std::nan("");
const double kInf = INFINITY;

const std::vector<FiguresCase> kFiguresCases = {
    {"EmptyLog", {}, At(0, 10), std::nullopt, {0, 0, 0, 0, 0, 0, 0}},
    {"OldestBarFromTheTimeOfDay",
     {{At(6, 8), At(6, 12)}, {At(5, 23), At(4, 1)}, {At(0, 9), At(0, 9, 30)}},
     At(0, 10),
     std::nullopt,
     {2, 1, 1, 0, 0, 0, 0.5}},
    {"TwoHoursYesterday", {{At(1, 14), At(1, 16)}}, At(0, 10), std::nullopt, {0, 0, 0, 0, 0, 2, 0}},
    {"CoversAWholeWindow", {{At(9, 0), At(0, 1)}}, At(0, 10), std::nullopt, {14, 24, 24, 24, 24, 24, 1}},
    {"NotANumberAndInfinitiesAddNothing",
     {{kNaN, At(0, 2)}, {At(0, 1), kInf}, {-kInf, kInf}, {At(0, 3), At(0, 4)}},
     At(0, 10),
     std::nullopt,
     {0, 0, 0, 0, 0, 0, 1}},
    {"OlderThanSixDaysIsOutside",
     {{At(12, 1), At(12, 5)}, {At(6, 1), At(6, 9)}},
     At(0, 10),
     std::nullopt,
     {0, 0, 0, 0, 0, 0, 0}},
    {"RunningSinceThisMorning",
     {{At(1, 20), At(1, 21)}},
     At(0, 10),
     Running{At(0, 8), std::nullopt},
     {0, 0, 0, 0, 0, 1, 2}},
    {"RunningWithACheckpoint",
     {{At(2, 1), At(2, 2)}, {At(0, 7), At(0, 9, 59)}},
     At(0, 10, 0, 30),
     Running{At(0, 7), At(0, 9, 59)},
     {0, 0, 0, 0, 1, 0, 3.0 + 30.0 / 3600.0}},
    {"RunningAcrossMidnightCheckpointedBeforeIt",
     {{At(1, 22), At(1, 23, 59)}},
     At(0, 1),
     Running{At(1, 22), At(1, 23, 59)},
     {0, 0, 0, 0, 0, 2, 1}},
};

class FiguresTable : public ::testing::TestWithParam<FiguresCase> {
protected:
    testing::TempDir dir;
    FormatSettings format;
};

TEST_P(FiguresTable, TheReportShowsTheWindowsFigures) {
    const FiguresCase& c = GetParam();
    WriteLog(c.log);

    // The report: one read-only pass and the live part beyond the log.
    std::optional<LiveState> live;
    if (c.running) {
        live = LiveState{};
        live->recording = true;
        live->connectionStart = c.running->start;
        live->checkpointEnd = c.running->checkpointEnd;
    }
    const LogSnapshot snapshot = ReadLogSnapshot(ConnectionLog::kFileName, ReportWindows(c.now), c.now - 6.0);
    const ReportFigures report = ComputeReportFigures(snapshot, live, c.now, format);

    // The window: the log as the chart sums it, with the running connection saved at this moment.
    std::vector<ConnectionRecord> saved = c.log;
    if (c.running) {
        if (c.running->checkpointEnd) {
            saved.back().end = c.now;
        } else {
            saved.push_back({c.running->start, c.now});
        }
    }
    WriteLog(saved);
    testing::FakeDialogs dialogs;
    ConnectionLog log(dialogs);
    const SevenDayFigures window = ComputeSevenDays(log.ConnectedTimes(SevenDayWindows(c.now)), c.now, format);

    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_NEAR(report.seven.hours[i], c.hours[i], 1e-6) << "bar " << i;
        if (c.running) {
            // The running part is added after the logged part; the sum may differ in the last bit.
            EXPECT_NEAR(report.seven.hours[i], window.hours[i], 1e-9) << "bar " << i;
            EXPECT_NEAR(report.seven.averages[i], window.averages[i], 1e-9) << "average " << i;
        } else {
            EXPECT_EQ(report.seven.hours[i], window.hours[i]) << "bar " << i;
            EXPECT_EQ(report.seven.averages[i], window.averages[i]) << "average " << i;
        }
        EXPECT_EQ(report.seven.hourLabels[i], window.hourLabels[i]) << "bar " << i;
        EXPECT_EQ(report.seven.averageLabels[i], window.averageLabels[i]) << "average " << i;
    }
    // Today's row of the table is bar 6: both are whole today.
    ASSERT_FALSE(report.days.empty());
    EXPECT_EQ(report.days.back().day, DateOf(c.now));
    EXPECT_NEAR(report.days.back().connected * 24.0, c.hours[6], 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Report, FiguresTable, ::testing::ValuesIn(kFiguresCases),
                         [](const ::testing::TestParamInfo<FiguresCase>& info) { return info.param.name; });

TEST(ReportFigures, TheTableRunsFromTheOldestDayOrTwentyDaysBackAndCountsConnectionsPerDay) {
    testing::TempDir dir;
    const DateTime now = At(0, 10);
    WriteLog({{At(3, 23), At(2, 1)}, {At(2, 5), At(2, 6)}, {At(0, 8), At(0, 9)}});
    ReportFigures f = ComputeReportFigures(ReadLogSnapshot(ConnectionLog::kFileName, ReportWindows(now), now - 6),
                                           std::nullopt, now, FormatSettings{});
    ASSERT_EQ(f.days.size(), 4u);
    EXPECT_EQ(f.days.front().day, kWednesday - 3);
    EXPECT_EQ(f.days[0].connections, 1);
    EXPECT_EQ(f.days[1].connections, 2) << "the one across midnight counts on both days";
    EXPECT_EQ(f.days[2].connections, 0);
    EXPECT_NEAR(f.days[1].connected * 24, 2.0, 1e-9);

    WriteLog({{At(40, 1), At(40, 2)}, {At(0, 8), At(0, 9)}});
    f = ComputeReportFigures(ReadLogSnapshot(ConnectionLog::kFileName, ReportWindows(now), now - 6), std::nullopt, now,
                             FormatSettings{});
    ASSERT_EQ(f.days.size(), static_cast<std::size_t>(kTableDays));
    EXPECT_EQ(f.days.front().day, kWednesday - 20);

    // A running connection that started yesterday adds one connection to both days, once.
    LiveState live;
    live.recording = true;
    live.connectionStart = At(1, 23);
    live.checkpointEnd = At(1, 23, 30);
    WriteLog({{At(1, 23), At(1, 23, 30)}});
    f = ComputeReportFigures(ReadLogSnapshot(ConnectionLog::kFileName, ReportWindows(now), now - 6), live, now,
                             FormatSettings{});
    ASSERT_EQ(f.days.size(), 2u);
    EXPECT_EQ(f.days[0].connections, 1);
    EXPECT_EQ(f.days[1].connections, 1);
    EXPECT_NEAR(f.days[0].connected * 24, 1.0, 1e-9);
    EXPECT_NEAR(f.days[1].connected * 24, 10.0, 1e-9);
}

// ---- Running the program: exit statuses and what goes where ----

struct RunResult {
    int status = 0;
    std::string out;
    std::string err;
};

class ReportRun : public testing::InTempDir {
protected:
    RunResult Run(std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        ReportEnvironment env{clock, ReportStyle{}, ".", "hour_link.ini", [this](const std::string&) { return live; }};
        RunResult r;
        r.status = RunReport(args, env, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    ManualClock clock{At(0, 10)};
    std::optional<LiveState> live;
};

struct StatusCase {
    const char* name;
    std::vector<ConnectionRecord> log;
    std::string ini;                 // the settings file's text, none when empty
    std::optional<double> liveLimit; // the running program's limit, in days
    std::vector<std::string> args;
    int status;
    std::string errHas;
};

// Three hours today: the seven-day average is 3/7 h, about 25.7 minutes.
const std::vector<ConnectionRecord> kThreeHoursToday = {{At(0, 6), At(0, 9)}};

const std::vector<StatusCase> kStatusCases = {
    {"MissingLogIsZeroFigures", {}, "", {}, {}, ReportStatus::Done, "File not found: datatime.dat"},
    {"HelpIsNoError", kThreeHoursToday, "", {}, {"--help"}, ReportStatus::Done, ""},
    {"UnknownOption", kThreeHoursToday, "", {}, {"--weekly"}, ReportStatus::Usage, "unknown option '--weekly'"},
    {"TwoViews", kThreeHoursToday, "", {}, {"--today", "--list"}, ReportStatus::Usage, "exclude"},
    {"TwoFormats", kThreeHoursToday, "", {}, {"--json", "--csv"}, ReportStatus::Usage, "exclude"},
    {"SinceWithoutList", kThreeHoursToday, "", {}, {"--since", "2024-03-10"}, ReportStatus::Usage, "--list"},
    {"SinceNotADate", kThreeHoursToday, "", {}, {"--list", "--since", "2024-02-30"}, ReportStatus::Usage, "ISO 8601"},
    {"LimitNotANumber", kThreeHoursToday, "", {}, {"--limit", "3h"}, ReportStatus::Usage, "hours"},
    {"LimitWithoutValue", kThreeHoursToday, "", {}, {"--alert", "--limit"}, ReportStatus::Usage, "needs a value"},
    {"StoredLimitNotATime",
     kThreeHoursToday,
     "[SETTINGS]\nTime limit=AUP 25\n",
     {},
     {},
     ReportStatus::Unreadable,
     "' 25' is not a valid time"},
    {"TodayNeedsNoLimit", kThreeHoursToday, "[SETTINGS]\nTime limit=AUP 25\n", {}, {"--today"}, ReportStatus::Done, ""},
    {"AlertAboveTheDefaultHour", {{At(2, 1), At(2, 9)}}, "", {}, {"--alert"}, ReportStatus::AboveLimit, "above"},
    {"AlertNotAboveStoredLimit",
     {{At(2, 1), At(2, 9)}},
     "[SETTINGS]\nTime limit=AUP 2\n",
     {},
     {"--alert"},
     ReportStatus::Done,
     "not above"},
    {"AlertWithLimitOption", kThreeHoursToday, "", {}, {"--alert", "--limit", "0.25"}, ReportStatus::AboveLimit, ""},
    {"AlertAtExactlyTheLimitIsNotAbove",
     {{At(0, 2), At(0, 9)}},
     "",
     {},
     {"--alert", "--limit=1"},
     ReportStatus::Done,
     "not above"},
    {"AlertTakesTheRunningProgramsLimit",
     {{At(2, 1), At(2, 9)}},
     "[SETTINGS]\nTime limit=AUP 25\n",
     2.0 / 24,
     {"--alert"},
     ReportStatus::Done,
     "not above"},
    {"AlertWithRunningProgramAbove",
     {{At(2, 1), At(2, 9)}},
     "",
     1.0 / 24,
     {"--alert", "--json"},
     ReportStatus::AboveLimit,
     "above"},
};

class StatusTable : public ReportRun, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusTable, ExitsWithItsStatusAndSaysWhy) {
    const StatusCase& c = GetParam();
    if (!c.log.empty()) {
        WriteLog(c.log);
    }
    if (!c.ini.empty()) {
        std::ofstream("hour_link.ini") << c.ini;
    }
    if (c.liveLimit) {
        live = LiveState{};
        live->timeLimit = *c.liveLimit;
    }
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
    if (c.status == ReportStatus::Usage) {
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("Usage: hourlink-report"), std::string::npos);
    } else {
        EXPECT_FALSE(r.out.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Report, StatusTable, ::testing::ValuesIn(kStatusCases),
                         [](const ::testing::TestParamInfo<StatusCase>& info) { return info.param.name; });

TEST_F(ReportRun, ATruncatedLogCountsEveryWholeRecordThenFails) {
    WriteLog({{At(0, 6), At(0, 8)}, {At(0, 8, 30), At(0, 9)}});
    std::ofstream(ConnectionLog::kFileName, std::ios::app | std::ios::binary) << "12345";
    for (const char* view : {"--today", "--list"}) {
        const RunResult r = Run({view});
        EXPECT_EQ(r.status, ReportStatus::Unreadable) << view;
        const std::string last = "Read beyond end of file\n";
        EXPECT_TRUE(r.err.ends_with(last)) << view << ": " << r.err;
        if (std::string(view) == "--today") {
            EXPECT_EQ(r.out, "2:30:00\n");
        } else {
            EXPECT_NE(r.out.find("Durata: 0:30:00"), std::string::npos) << r.out;
        }
    }
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), 37u) << "the reader never writes";
}

TEST_F(ReportRun, TodayFollowsTheRunningConnectionAndSaysWhenTheLogIsAlone) {
    WriteLog(kThreeHoursToday);
    RunResult r = Run({"--today"});
    EXPECT_EQ(r.out, "3:00:00\n");
    EXPECT_NE(r.err.find("not running"), std::string::npos);

    live = LiveState{};
    live->recording = true;
    live->connectionStart = At(0, 9, 30);
    r = Run({"--today"});
    EXPECT_EQ(r.out, "3:30:00\n");
    EXPECT_TRUE(r.err.empty()) << r.err;
    clock.Set(At(0, 10, 0, 1));
    EXPECT_EQ(Run({"--today"}).out, "3:30:01\n") << "one second later";
}

// ---- Machine formats, parsed back ----

QJsonDocument ParseJson(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return doc;
}

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) {
            fields.push_back(cell);
        }
        rows.push_back(fields);
    }
    return rows;
}

DateTime ParsedTime(const QJsonValue& value) {
    const auto t = ParseIsoDateTime(value.toString().toStdString());
    EXPECT_TRUE(t.has_value()) << value.toString().toStdString();
    return t.value_or(0.0);
}

class MachineFormats : public ReportRun {
protected:
    void SetUp() override {
        WriteLog({{At(3, 23), At(2, 1, 0, 1)}, {At(1, 10), At(1, 10, 20, 5)}, {At(0, 6), At(0, 9)}});
        live = LiveState{};
        live->recording = true;
        live->connectionStart = At(0, 9, 40);
        live->timeLimit = 0.5;
        live->limitText = "AUP 12";
    }
};

TEST_F(MachineFormats, JsonTableReadsBackToTheFigures) {
    const RunResult r = Run({"--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject root = ParseJson(r.out).object();
    EXPECT_TRUE(root["live"].toBool());
    EXPECT_TRUE(root["recording"].toBool());
    EXPECT_NEAR(ParsedTime(root["now"]), clock.Now(), 1e-8);
    EXPECT_NEAR(ParsedTime(root["connection_start"]), At(0, 9, 40), 1e-8);
    const QJsonArray days = root["days"].toArray();
    ASSERT_EQ(days.size(), 4);
    EXPECT_EQ(days[0].toObject()["date"].toString(), "2024-03-10");
    EXPECT_EQ(days[1].toObject()["connected_seconds"].toDouble(), 3601.0);
    EXPECT_EQ(days[2].toObject()["connected_seconds"].toDouble(), 1205.0);
    EXPECT_EQ(days[3].toObject()["connected_seconds"].toDouble(), 3 * 3600.0 + 20 * 60) << "with the live part";
    EXPECT_EQ(days[3].toObject()["connections"].toInt(), 2);
    const QJsonArray seven = root["seven_days"].toArray();
    ASSERT_EQ(seven.size(), 7);
    EXPECT_NEAR(ParsedTime(seven[0].toObject()["from"]), clock.Now() - 6, 1e-8);
    EXPECT_NEAR(ParsedTime(seven[6].toObject()["to"]), kWednesday + 1, 1e-8);
    EXPECT_EQ(seven[6].toObject()["connected_seconds"].toDouble(), 12000.0);
    const double total = 7201.0 + 1205.0 + 12000.0; // all three lie within the last six days
    EXPECT_NEAR(root["average_seconds"].toDouble(), total / 7, 0.0005);
    const QJsonObject limit = root["limit"].toObject();
    EXPECT_EQ(limit["source"].toString(), "program");
    EXPECT_EQ(limit["seconds"].toDouble(), 43200.0);
    EXPECT_EQ(limit["text"].toString(), "AUP 12");
    EXPECT_FALSE(limit["above"].toBool());
}

TEST_F(MachineFormats, JsonAndCsvListsAgreeWithTheLog) {
    const RunResult json = Run({"--list", "--json", "--since", "2024-03-11T01:00:01"});
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonArray list = ParseJson(json.out).array();
    ASSERT_EQ(list.size(), 2) << "the first ended at that moment, not after it";
    EXPECT_NEAR(ParsedTime(list[0].toObject()["start"]), At(1, 10), 1e-8);
    EXPECT_NEAR(ParsedTime(list[0].toObject()["end"]), At(1, 10, 20, 5), 1e-8);
    EXPECT_EQ(list[0].toObject()["duration_seconds"].toDouble(), 1205.0);

    const RunResult csv = Run({"--list", "--csv"});
    const auto rows = CsvRows(csv.out);
    ASSERT_EQ(rows.size(), 4u) << "a header and the three of the last 144 hours";
    EXPECT_EQ(rows[0], (std::vector<std::string>{"start", "end", "duration_seconds"}));
    EXPECT_NEAR(*ParseIsoDateTime(rows[1][0]), At(3, 23), 1e-8);
    EXPECT_EQ(rows[1][2], "7201.000");
    EXPECT_EQ(rows[3][2], "10800.000");
}

TEST_F(MachineFormats, CsvTableAndTodayReadBack) {
    const auto rows = CsvRows(Run({"--csv"}).out);
    // Days: header and four rows; an empty line; seven bars with their header; an empty line; the summary.
    ASSERT_EQ(rows.size(), 5u + 1 + 8 + 1 + 2);
    EXPECT_EQ(rows[4][0], "2024-03-13");
    EXPECT_EQ(rows[4][2], "12000.000");
    EXPECT_TRUE(rows[5].empty());
    EXPECT_EQ(rows[13][2], "12000.000");
    EXPECT_EQ(rows[16][1], "true");
    EXPECT_EQ(rows[16][4], "program");

    const auto today = CsvRows(Run({"--today", "--csv"}).out);
    ASSERT_EQ(today.size(), 2u);
    EXPECT_EQ(today[1][0], "2024-03-13");
    EXPECT_EQ(today[1][2], "12000.000");
    const QJsonObject json = ParseJson(Run({"--today", "--json"}).out).object();
    EXPECT_EQ(json["connected_seconds"].toDouble(), 12000.0);
}

// ---- ISO 8601 times in local time with their offset ----

class IsoTimes : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_previous = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
        ::setenv("TZ", "Europe/Rome", 1);
        ::tzset();
    }
    void TearDown() override {
        if (m_previous) {
            ::setenv("TZ", m_previous->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> m_previous;
};

TEST_F(IsoTimes, CarryTheOffsetOfTheirMomentAndReadBack) {
    EXPECT_EQ(IsoLocalText(EncodeDateTime(2024, 3, 13, 10, 0, 0)), "2024-03-13T10:00:00.000+01:00");
    EXPECT_EQ(IsoLocalText(EncodeDateTime(2024, 7, 1, 23, 59, 59, 999)), "2024-07-01T23:59:59.999+02:00");
    for (const DateTime t : {EncodeDateTime(2024, 3, 13, 10, 0, 0), EncodeDateTime(2024, 10, 27, 1, 30, 0, 250),
                             EncodeDateTime(2024, 12, 31, 23, 59, 59, 1)}) {
        const auto back = ParseIsoDateTime(IsoLocalText(t));
        ASSERT_TRUE(back.has_value()) << IsoLocalText(t);
        EXPECT_NEAR(*back, t, 0.5 / 86400000.0) << IsoLocalText(t);
    }
    EXPECT_EQ(ParseIsoDateTime("2024-03-13"), EncodeDate(2024, 3, 13));
    EXPECT_EQ(ParseIsoDateTime("2024-03-13 10:15"), EncodeDateTime(2024, 3, 13, 10, 15, 0));
    EXPECT_EQ(ParseIsoDateTime("2024-03-13T09:00:00Z"), EncodeDateTime(2024, 3, 13, 10, 0, 0));
    EXPECT_EQ(ParseIsoDateTime("2024-07-01T12:00:00-04:00"), EncodeDateTime(2024, 7, 1, 18, 0, 0));
    EXPECT_EQ(ParseIsoDateTime("2024-02-29T00:00:00.5"), EncodeDateTime(2024, 2, 29, 0, 0, 0, 500));
    for (const char* bad : {"", "2024-3-13", "2023-02-29", "2024-03-13T24:00", "2024-03-13T10", "2024-03-13T10:00+1",
                            "2024-03-13x", "13/03/2024", "2024-03-13T10:00:00."}) {
        EXPECT_FALSE(ParseIsoDateTime(bad).has_value()) << bad;
    }
}

} // namespace
} // namespace hourlink
