#include <cmath>
#include <optional>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/Main.h"
#include "chart/TChart.h"
#include "faults/FaultSupport.h"
#include "faults/MountSandbox.h"
#include "platform/ConnectionState.h"
#include "platform/Shell.h"
#include "platform/tray/FakeTrayPlatform.h"
#include "runtime/Clock.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::KeptByPruning;
using testing::kHour;
using testing::NoScratchLeft;
using testing::ReadLog;
using testing::Sandbox;
using testing::SpreadLog;
using testing::WriteLog;

class NoShell final : public Shell {
public:
    void OpenDocument(const std::string&) override {}
};

// The main window with fake dialogs, tray, connection and clock, in a working folder that is, when the
// test asks for one, a small file system of its own; the settings file goes into the same folder.
class WindowFault : public testing::InTempDir {
protected:
    Sandbox& Mount(std::uint64_t bytes) { return m_disk.emplace(bytes); }

    std::unique_ptr<TMainForm> MakeForm(Dialogs& dialogs) {
        const std::string iniFileName = (fs::current_path() / "hour_link.ini").string();
        return std::make_unique<TMainForm>(
            MainFormServices{dialogs, m_connection, m_clock, m_shell, FormatSettings{}, iniFileName,
                             [](QWidget&) { return std::make_unique<FakeTrayPlatform>(); }});
    }
    std::unique_ptr<TMainForm> MakeForm() { return MakeForm(m_dialogs); }
    // One second later, one tick of the main timer as the timer delivers it.
    void Tick(TMainForm& form) {
        m_clock.AdvanceSeconds(1.0);
        emit form.MainTimer->timeout({});
    }
    void Ticks(TMainForm& form, bool up, int count) {
        m_connection.SetUp(up);
        for (int i = 0; i < count; ++i) {
            Tick(form);
        }
    }
    static std::string Status(const TMainForm& form) { return form.LabelState->text().toStdString(); }

    std::optional<Sandbox> m_disk; // declared after the temporary folder, so unmounted before it goes
    testing::FakeDialogs m_dialogs;
    FakeConnectionState m_connection;
    ManualClock m_clock{EncodeDateTime(2026, 12, 9, 10, 0, 0)};
    NoShell m_shell;
};

// The tests that mount a file system of their own; skipped without root.
class WindowFaultOnDisk : public WindowFault {
protected:
    void SetUp() override {
        if (!testing::MountsAllowed()) {
            GTEST_SKIP() << "no private mount namespace: " << testing::MountsRefusedBecause();
        }
    }
};

// --- Read-only log, folder and settings file ----------------------------------------------------------

class ReadOnlyStart : public WindowFaultOnDisk, public ::testing::WithParamInterface<const char*> {};

TEST_P(ReadOnlyStart, SaysFileAccessDeniedOpensAllTheSameAndKeepsTheRunningConnection) {
    Sandbox& disk = Mount(1u << 20);
    const std::vector<ConnectionRecord> records = SpreadLog(40, 30.0, m_clock.Now() - 1.0);
    WriteLog(records);
    disk.MakeReadOnly(GetParam());
    const std::string bytesBefore = Bytes();

    const auto form = MakeForm();
    EXPECT_THAT(m_dialogs.errors, ElementsAre("File access denied."));
    EXPECT_THAT(m_dialogs.messages, IsEmpty());
    EXPECT_EQ(Status(*form), "System ok.");
    EXPECT_TRUE(form->Created());
    EXPECT_EQ(form->TimeLimit(), 0.0) << "the steps after the failing one are skipped";

    // Every tick of the connection reads the log for today's time, and fails as the start-up did; the
    // tick that sees the end cannot save it either.
    Ticks(*form, true, 30);
    Ticks(*form, false, 1);
    EXPECT_EQ(m_dialogs.errors.size(), 32u);
    EXPECT_THAT(m_dialogs.errors, ::testing::Each(std::string("File access denied.")));
    EXPECT_TRUE(form->Recording()) << "a connection that could not be saved stays in memory";
    EXPECT_EQ(Status(*form), "Recording...");
    EXPECT_EQ(Bytes(), bytesBefore);
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadOnlyStart, ::testing::Values(ConnectionLog::kFileName, ""),
                         [](const auto& info) { return std::string(*info.param ? "TheLog" : "TheFolder"); });

TEST_F(WindowFaultOnDisk, ReadOnlyFolderSaysUnableToWriteWhenALimitIsChosen) {
    Sandbox& disk = Mount(1u << 20);
    disk.MakeReadOnly("");
    const auto form = MakeForm();
    EXPECT_THAT(m_dialogs.messages, ElementsAre("File not found: datatime.dat"));
    form->CBox->setCurrentIndex(6);
    emit form->CBox->activated(6);
    EXPECT_THAT(m_dialogs.errors, ElementsAre("Unable to write to " + (disk.Path() / "hour_link.ini").string() + "."));
    EXPECT_EQ(form->CBox->currentText(), "AUP 12");
    EXPECT_DOUBLE_EQ(form->TimeLimit(), 1.0 / 24.0) << "the old limit stays";
    EXPECT_TRUE(fs::is_empty(disk.Path()));
}

TEST_F(WindowFaultOnDisk, ReadOnlySettingsFileKeepsItsLimitAndSaysUnableToWrite) {
    Sandbox& disk = Mount(1u << 20);
    std::ofstream("hour_link.ini") << "[SETTINGS]\r\nTime limit=AUP 6\r\n";
    const std::string settingsBefore = Bytes("hour_link.ini");
    disk.MakeReadOnly("hour_link.ini");
    const auto form = MakeForm();
    EXPECT_THAT(m_dialogs.errors, IsEmpty()) << "reading a read-only settings file is fine";
    EXPECT_DOUBLE_EQ(form->TimeLimit(), 0.25);
    form->CBox->setCurrentIndex(6);
    emit form->CBox->activated(6);
    EXPECT_THAT(m_dialogs.errors, ElementsAre("Unable to write to " + form->IniFileName() + "."));
    EXPECT_DOUBLE_EQ(form->TimeLimit(), 0.25);
    EXPECT_EQ(Bytes("hour_link.ini"), settingsBefore);
    EXPECT_EQ(std::distance(fs::directory_iterator(disk.Path()), fs::directory_iterator()), 1)
        << "no temporary file is left beside it";
}

// --- A full disk --------------------------------------------------------------------------------------

TEST_F(WindowFaultOnDisk, PruningOnAFullDiskSaysDiskFullAndTheNextStartPrunes) {
    Sandbox& disk = Mount(4u << 20);
    const std::vector<ConnectionRecord> records = SpreadLog(20000, 40.0, m_clock.Now() - 0.5);
    WriteLog(records);
    disk.FillUp();
    const std::string bytesBefore = Bytes();
    {
        const auto form = MakeForm();
        EXPECT_THAT(m_dialogs.errors, ElementsAre("Disk full."));
        EXPECT_EQ(Status(*form), "System ok.");
        EXPECT_EQ(form->SerieGiorno->Count(), 0) << "the chart's first build comes after the pruning";
        EXPECT_EQ(Bytes(), bytesBefore);
        EXPECT_TRUE(NoScratchLeft());
    }
    disk.FreeFiller();
    m_dialogs.errors.clear();
    const auto form = MakeForm();
    EXPECT_THAT(m_dialogs.errors, IsEmpty());
    EXPECT_EQ(Status(*form), "Database ok");
    EXPECT_EQ(ReadLog(), KeptByPruning(records));
    EXPECT_EQ(form->SerieGiorno->Count(), 7);
}

TEST_F(WindowFaultOnDisk, AConnectionEndingOnAFullDiskIsSavedOnceThereIsRoom) {
    Sandbox& disk = Mount(64 * 1024);
    const std::vector<ConnectionRecord> records = SpreadLog(256, 5.0, m_clock.Now() - 0.5); // exactly one page
    WriteLog(records);
    const auto form = MakeForm();
    Ticks(*form, true, 1);
    const DateTime start = m_clock.Now();
    Ticks(*form, true, 50); // before its first checkpoint: the end is the connection's first record
    disk.FillUp();
    Ticks(*form, false, 3);
    EXPECT_THAT(m_dialogs.errors, ElementsAre("Disk full.", "Disk full.", "Disk full."));
    EXPECT_TRUE(form->Recording());
    EXPECT_EQ(Status(*form), "Recording...");
    EXPECT_EQ(ReadLog(), records);
    disk.FreeFiller();
    Ticks(*form, false, 1);
    EXPECT_FALSE(form->Recording());
    EXPECT_EQ(Status(*form), "Remote Connection closed");
    std::vector<ConnectionRecord> expected = records;
    expected.push_back({start, m_clock.Now()});
    EXPECT_EQ(ReadLog(), expected) << "saved once, with the end of the tick that managed it";
    EXPECT_EQ(m_dialogs.errors.size(), 3u);
}

// --- The running connection's checkpoints on a full disk ---------------------------------------------

TEST_F(WindowFaultOnDisk, AFirstCheckpointOnAFullDiskSaysSoOnceAMinuteAndTheConnectionIsWrittenLater) {
    Sandbox& disk = Mount(64 * 1024);
    const std::vector<ConnectionRecord> records = SpreadLog(256, 5.0, m_clock.Now() - 0.5); // exactly one page
    WriteLog(records);
    const auto form = MakeForm();
    Ticks(*form, true, 1);
    const DateTime start = m_clock.Now();
    disk.FillUp();
    Ticks(*form, true, 150);
    EXPECT_THAT(m_dialogs.errors, ElementsAre("Disk full.", "Disk full.")) << "at 60 s and 120 s, nothing between";
    EXPECT_EQ(ReadLog(), records) << "nothing earlier lost, no piece of a record left";
    EXPECT_EQ(Bytes().size(), 4096u);
    EXPECT_TRUE(form->Recording());
    EXPECT_NEAR(form->TodayTotal(), m_clock.Now() - start, 1e-6) << "today's time still holds the whole connection";
    EXPECT_NEAR(form->SerieGiorno->GetYValue(6) / 24.0, form->TodayTotal(), 1e-12);
    disk.FreeFiller();
    Ticks(*form, true, 30);
    std::vector<ConnectionRecord> expected = records;
    expected.push_back({start, m_clock.Now()});
    EXPECT_EQ(ReadLog(), expected) << "the checkpoint at 180 s got in";
    // Written over in place, a later checkpoint and the end need no room.
    disk.FillUp();
    Ticks(*form, true, 60);
    Ticks(*form, false, 1);
    expected.back().end = m_clock.Now();
    EXPECT_EQ(ReadLog(), expected);
    EXPECT_FALSE(form->Recording());
    EXPECT_EQ(m_dialogs.errors.size(), 2u);
}

TEST_F(WindowFaultOnDisk, ACheckpointOfAReadOnlyLogSaysFileAccessDeniedOnEveryTickThatUsesTheLog) {
    Sandbox& disk = Mount(1u << 20);
    const std::vector<ConnectionRecord> records = SpreadLog(40, 5.0, m_clock.Now() - 1.0);
    WriteLog(records);
    const auto form = MakeForm();
    Ticks(*form, true, 1);
    const DateTime start = m_clock.Now();
    Ticks(*form, true, 70);
    ASSERT_EQ(ReadLog().size(), records.size() + 1);
    disk.MakeReadOnly(ConnectionLog::kFileName);
    const std::string bytesBefore = Bytes();
    m_dialogs.errors.clear();
    // Each tick reads the log for today's time and fails there, as every use of a read-only log does.
    Ticks(*form, true, 5);
    EXPECT_EQ(m_dialogs.errors.size(), 5u);
    EXPECT_THAT(m_dialogs.errors, ::testing::Each(std::string("File access denied.")));
    EXPECT_EQ(Bytes(), bytesBefore);
    EXPECT_TRUE(form->Recording());
    ASSERT_TRUE(form->Running().has_value());
    EXPECT_EQ(form->Running()->start, start);
    EXPECT_EQ(form->Running()->loggedUntil, ReadLog().back().end) << "the record the log still holds";
}

// --- The end of the session -------------------------------------------------------------------------

TEST_F(WindowFaultOnDisk, LogOffOnAFullDiskLosesOnlyTheRunningConnectionAndShowsNothing) {
    Sandbox& disk = Mount(64 * 1024);
    const std::vector<ConnectionRecord> records = SpreadLog(256, 5.0, m_clock.Now() - 0.5);
    WriteLog(records);
    const auto form = MakeForm();
    Ticks(*form, true, 30);
    disk.FillUp();
    form->EndSession();
    EXPECT_THAT(m_dialogs.errors, IsEmpty()) << "nobody is left to answer a box";
    EXPECT_EQ(ReadLog(), records);
}

TEST_F(WindowFault, LogOffRightAfterAResumeSavesTheConnectionUpToTheSuspend) {
    const auto form = MakeForm();
    Ticks(*form, true, 1);
    const DateTime start = m_clock.Now();
    Ticks(*form, true, 600);
    const DateTime lastSeen = m_clock.Now();
    m_clock.Suspend(9 * 3600.0);
    m_clock.AdvanceSeconds(0.3);
    form->EndSession();
    EXPECT_THAT(ReadLog(), ElementsAre(ConnectionRecord{start, lastSeen}));
}

// --- One error box at a time --------------------------------------------------------------------------

// An error box that stays open while the timers go on ticking, as a modal box's own event loop lets them.
class ModalErrorDialogs final : public Dialogs {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowError(const std::string& text) override {
        errors.push_back(text);
        ++open;
        maxOpen = std::max(maxOpen, open);
        whileOpen();
        --open;
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }

    std::function<void()> whileOpen = [] {};
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    int open = 0;
    int maxOpen = 0;
};

TEST_F(WindowFault, TheSameFailureAgainOpensNoSecondBoxWhileOneIsOpen) {
    ModalErrorDialogs dialogs;
    const auto form = MakeForm(dialogs);
    Ticks(*form, true, 5);
    fs::create_directory(ConnectionLog::kFileName); // the log cannot be opened: every save fails
    dialogs.whileOpen = [&] {
        for (int i = 0; i < 20; ++i) {
            Tick(*form);
            emit form->RefreshTimer->timeout({});
        }
    };
    Ticks(*form, false, 1);
    EXPECT_EQ(dialogs.maxOpen, 1);
    EXPECT_THAT(dialogs.errors, ElementsAre("File access denied."));
    EXPECT_TRUE(form->Recording());
    Ticks(*form, false, 1);
    EXPECT_EQ(dialogs.errors.size(), 2u) << "once closed, the next failure is shown again";
    EXPECT_EQ(dialogs.maxOpen, 1);
    fs::remove(ConnectionLog::kFileName);
    dialogs.whileOpen = [] {};
    Ticks(*form, false, 1);
    EXPECT_FALSE(form->Recording());
    EXPECT_EQ(ReadLog().size(), 1u);
}

// --- A truncated log and records without sensible times -----------------------------------------------

TEST_F(WindowFault, ATruncatedLogIsReportedAtStartUpAndMadeWholeByTheNextConnection) {
    const std::vector<ConnectionRecord> records = SpreadLog(40, 30.0, m_clock.Now() - 1.0);
    WriteLog(records);
    testing::AppendBytes(ConnectionLog::kFileName, 9);
    {
        const auto form = MakeForm();
        EXPECT_THAT(m_dialogs.errors, ElementsAre("Read beyond end of file."));
        EXPECT_EQ(Status(*form), "System ok.");
        Ticks(*form, true, 1);
        const DateTime start = m_clock.Now();
        Ticks(*form, true, 10);
        Ticks(*form, false, 1);
        EXPECT_EQ(Status(*form), "Remote Connection closed");
        std::vector<ConnectionRecord> expected = records;
        expected.push_back({start, m_clock.Now()});
        EXPECT_EQ(Bytes().size(), expected.size() * kRecordSize);
        EXPECT_EQ(ReadLog(), expected);
    }
    m_dialogs.errors.clear();
    const auto form = MakeForm();
    EXPECT_THAT(m_dialogs.errors, IsEmpty());
    EXPECT_EQ(Status(*form), "Database ok");
}

TEST_F(WindowFault, RecordsWithoutSensibleTimesStillGiveAChartAListAndNoError) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<ConnectionRecord> records = SpreadLog(40, 30.0, m_clock.Now() - 0.1);
    const std::vector<ConnectionRecord> good = records;
    records.insert(records.begin() + 10, {nan, nan});
    records.insert(records.begin() + 20, {-inf, inf});
    records.insert(records.begin() + 30, {m_clock.Now() - 0.2, m_clock.Now() - 2.0});
    records.push_back({1e308, 1e308});
    WriteLog(records);
    const auto form = MakeForm();
    form->show();
    EXPECT_THAT(m_dialogs.errors, IsEmpty());
    EXPECT_THAT(m_dialogs.messages, IsEmpty());
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(std::isfinite(form->SerieGiorno->GetYValue(i)));
        EXPECT_GE(form->SerieGiorno->GetYValue(i), 0.0);
        EXPECT_TRUE(std::isfinite(form->SerieMedia->GetYValue(i)));
    }
    EXPECT_FALSE(form->grab().isNull());
    QTest::mouseClick(form->sbElenco, Qt::LeftButton);
    EXPECT_THAT(form->Memo1->toPlainText().toStdString(), ::testing::HasSubstr("Durata: "));
    EXPECT_THAT(m_dialogs.errors, IsEmpty());
    // Every good record is still in the log: the newest record holds no date, so nothing was pruned.
    const std::vector<ConnectionRecord> log = ReadLog();
    ASSERT_EQ(good.size(), 40u);
    for (const ConnectionRecord& r : good) {
        EXPECT_THAT(log, ::testing::Contains(r)) << r.start;
    }
}

// --- The wall clock set back during a connection ------------------------------------------------------

TEST_F(WindowFault, AClockSetBackWhileRecordingKeepsTodaysBarAndTheConnectionsTime) {
    WriteLog({{m_clock.Now() - 1.0, m_clock.Now() - 1.0 + kHour}});
    const auto form = MakeForm();
    Ticks(*form, true, 1);
    Ticks(*form, true, 1800);
    m_clock.StepWallClock(-2 * 3600.0);
    for (int i = 0; i < 600; ++i) {
        Ticks(*form, true, 1);
        ASSERT_GE(form->TodayTotal(), 0.0);
        ASSERT_GE(form->SerieGiorno->GetYValue(6), 0.0);
    }
    Ticks(*form, false, 1);
    EXPECT_THAT(m_dialogs.errors, IsEmpty());
    // Both pieces of the connection count: 1,800 seconds before the step and 600 after it.
    EXPECT_NEAR(form->SerieGiorno->GetYValue(6), (1800.0 + 600.0) / 3600.0, 1e-6);
}

} // namespace
} // namespace hourlink
