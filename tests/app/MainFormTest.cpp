#include "app/Main.h"

#include <filesystem>
#include <fstream>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppIcon.h"
#include "app/InstanceRequests.h"
#include "app/TBevel.h"
#include "chart/TChart.h"
#include "platform/ConnectionState.h"
#include "platform/LiveState.h"
#include "platform/Shell.h"
#include "platform/SingleInstance.h"
#include "platform/tray/FakeTrayPlatform.h"
#include "report/ReportFigures.h"
#include "runtime/Clock.h"
#include "runtime/RecordFile.h"
#include "stats/SevenDays.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"
#include "tray/SysTrayIcon.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

class RecordingShell final : public Shell {
public:
    void OpenDocument(const std::string& fileName) override { opened.push_back(fileName); }
    std::vector<std::string> opened;
};

class MainFormTest : public testing::InTempDir {
protected:
    testing::FakeDialogs m_dialogs;
    FakeConnectionState m_connection;
    ManualClock m_clock{EncodeDateTime(2026, 12, 9, 10, 0, 0)};
    RecordingShell m_shell;
    // The settings file, in the test's own folder as beside a portable program.
    const std::string m_iniFileName = (fs::current_path() / "hour_link.ini").string();

    // The notification area of the last window made; owned by that window.
    FakeTrayPlatform* m_tray = nullptr;

    MainFormServices Services(Dialogs& dialogs) {
        return MainFormServices{
            dialogs, m_connection, m_clock, m_shell, FormatSettings{}, m_iniFileName, [this](QWidget&) {
                auto tray = std::make_unique<FakeTrayPlatform>();
                m_tray = tray.get();
                return tray;
            }};
    }
    std::unique_ptr<TMainForm> MakeForm() { return std::make_unique<TMainForm>(Services(m_dialogs)); }
    void WriteLog(const std::vector<ConnectionRecord>& records) {
        RecordFile file(ConnectionLog::kFileName, RecordFile::Mode::CreateOrTruncate);
        file.Write(records);
        file.Close();
    }
    static std::vector<ConnectionRecord> ReadLogFile() {
        std::vector<ConnectionRecord> out;
        RecordFile file(ConnectionLog::kFileName, RecordFile::Mode::OpenExisting);
        file.ReadAll([&](const ConnectionRecord& r) { out.push_back(r); });
        return out;
    }
    // One tick of the main timer, as the timer would deliver it.
    static void Tick(TMainForm& form) { emit form.MainTimer->timeout({}); }
};

struct ControlCase {
    const char* name;
    QRect geometry;
    QString caption;
    QString hint;
    bool visible;
};

TEST_F(MainFormTest, EveryControlStandsWhereTheWindowPutsIt) {
    const auto form = MakeForm();
    form->show();
    EXPECT_EQ(form->size(), QSize(660, 332));
    EXPECT_EQ(form->windowTitle(), "Pellandra Hourlink 2.0");
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    const std::vector<std::pair<QWidget*, ControlCase>> controls = {
        {static_cast<QWidget*>(form->Chart1), {"Chart1", {8, 8, 553, 297}, "", "Daily timing chart", true}},
        {form->Memo1, {"Memo1", {8, 8, 553, 297}, "", "", false}},
        {form->BitBtn1, {"BitBtn1", {568, 272, 89, 33}, "&Close", "", true}},
        {form->CBLimit, {"CBLimit", {568, 8, 81, 17}, "Alert limit", "Checks for AUP limit", true}},
        {form->CBox, {"CBox", {568, 32, 89, 21}, "", "", true}},
        {form->BtnHelp, {"BtnHelp", {568, 232, 89, 33}, "&Help", "", true}},
        {form->sbGrafico, {"sbGrafico", {568, 96, 89, 22}, "grafico", "", true}},
        {form->sbElenco, {"sbElenco", {568, 128, 89, 22}, "elenco", "", true}},
        {form->Bevel1, {"Bevel1", {568, 25, 89, 39}, "", "", true}},
        {form->Bevel2, {"Bevel2", {569, 217, 89, 7}, "", "", true}},
    };
    for (const auto& [widget, c] : controls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(widget->geometry(), c.geometry);
        EXPECT_EQ(widget->toolTip(), c.hint);
        EXPECT_EQ(widget->isVisible(), c.visible);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_EQ(button->text(), c.caption);
        }
    }
    EXPECT_EQ(form->LabelState->pos(), QPoint(16, 312));
    EXPECT_EQ(form->LabelState->toolTip(), "Connection status");
    EXPECT_TRUE(form->CBLimit->isChecked());
    EXPECT_TRUE(form->sbGrafico->isChecked());
    EXPECT_FALSE(form->sbElenco->isChecked());
    EXPECT_EQ(form->CBox->count(), 9);
    EXPECT_EQ(form->CBox->itemText(8), "AUP 18");
    EXPECT_EQ(form->CBox->maxVisibleItems(), 8);
    EXPECT_EQ(form->Memo1->font().family(), "Liberation Mono");
    EXPECT_EQ(form->Memo1->font().pixelSize(), 16);
    EXPECT_EQ(form->font().pixelSize(), 11);
    EXPECT_TRUE(form->font().bold());
    EXPECT_EQ(form->MainTimer->interval(), 1000);
    EXPECT_EQ(form->RefreshTimer->interval(), 8000);
    EXPECT_FALSE(form->BitBtn1->autoDefault() || form->BitBtn1->isDefault());
}

TEST_F(MainFormTest, TabOrderRunsCloseAlertLimitHelpMemo) {
    const auto form = MakeForm();
    QWidget* w = form->BitBtn1;
    std::vector<QWidget*> order;
    for (int i = 0; i < 4; ++i) {
        w = w->nextInFocusChain();
        // Step over the combo box's own edit field and the controls that take no focus by tabbing.
        while (w->parentWidget() != form.get() || !(w->focusPolicy() & Qt::TabFocus)) {
            w = w->nextInFocusChain();
        }
        order.push_back(w);
    }
    EXPECT_THAT(order, ElementsAre(form->CBLimit, form->CBox, form->BtnHelp, form->Memo1));
}

TEST_F(MainFormTest, FirstStartWithoutLogSaysSoAndKeepsTheStatus) {
    const auto form = MakeForm();
    EXPECT_THAT(m_dialogs.messages, ElementsAre("File not found: datatime.dat"));
    EXPECT_EQ(form->LabelState->text(), "System ok.");
    EXPECT_TRUE(form->Created());
}

TEST_F(MainFormTest, PruningShowsDatabaseOk) {
    const double now = m_clock.Now();
    WriteLog({{now - 30.0, now - 29.9}, {now - 1.0, now - 0.9}});
    const auto form = MakeForm();
    EXPECT_EQ(form->LabelState->text(), "Database ok");
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(MainFormTest, AFailingStartUpStepShowsTheErrorSkipsTheRestAndOpensAllTheSame) {
    fs::create_directory(ConnectionLog::kFileName);
    const auto form = MakeForm();
    EXPECT_THAT(m_dialogs.errors, ElementsAre("File access denied."));
    EXPECT_EQ(form->windowTitle(), "Pellandra Hourlink 2.0") << "step 1 ran before the failure";
    EXPECT_TRUE(form->Created());
    form->show();
    EXPECT_TRUE(form->isVisible());
}

TEST_F(MainFormTest, TicksBeforeTheStartUpHasFinishedAreIgnored) {
    m_connection.SetUp(true);
    class TickingDialogs final : public Dialogs {
    public:
        std::function<void()> onMessage;
        void ShowMessage(const std::string&) override { onMessage(); }
        void ShowError(const std::string&) override {}
        bool AskYesNo(const std::string&, const std::string&) override { return true; }
    } dialogs;
    dialogs.onMessage = [] { QTest::qWait(1300); }; // the message box's own event loop
    TMainForm form(Services(dialogs));
    EXPECT_FALSE(form.Recording());
    EXPECT_EQ(form.LabelState->text(), "System ok.");
    Tick(form);
    EXPECT_TRUE(form.Recording());
}

TEST_F(MainFormTest, RecordingShowsItsTransitionsInTheStatusLine) {
    const auto form = MakeForm();
    m_connection.SetUp(true);
    Tick(*form);
    EXPECT_EQ(form->LabelState->text(), "Recording...");
    m_clock.AdvanceSeconds(3.0);
    m_connection.SetUp(false);
    Tick(*form);
    EXPECT_EQ(form->LabelState->text(), "Remote Connection closed");
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), 16u);
    // Set while the window was hidden, the text gets its room when the window shows.
    form->show();
    EXPECT_EQ(form->LabelState->size(), form->LabelState->sizeHint());
    EXPECT_GT(form->LabelState->width(), form->fontMetrics().horizontalAdvance(QStringLiteral("Recording...")));
}

TEST_F(MainFormTest, ClosingWhileIdleAsksNothing) {
    const auto form = MakeForm();
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(m_dialogs.questions.empty());
}

TEST_F(MainFormTest, ClosingWhileRecordingAsksAndNoKeepsEverything) {
    const auto form = MakeForm();
    form->show();
    m_connection.SetUp(true);
    Tick(*form);
    m_dialogs.answerYes = false;
    form->BitBtn1->click();
    EXPECT_THAT(m_dialogs.questions,
                ElementsAre("Warning|The connection is still active. \r\nIf you close the program now the data will "
                            "be lost.\r\nAre you sure you want to close it now?"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->Recording());
    EXPECT_EQ(form->LabelState->text(), "Recording...");
}

TEST_F(MainFormTest, ClosingWhileRecordingAndAnsweringYesWritesNothing) {
    const auto form = MakeForm();
    form->show();
    m_connection.SetUp(true);
    Tick(*form);
    m_dialogs.answerYes = true;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(m_dialogs.questions.size(), 1u);
    EXPECT_FALSE(fs::exists(ConnectionLog::kFileName));
}

TEST_F(MainFormTest, EndOfSessionKeepsTheRunningConnectionWithoutAsking) {
    const auto form = MakeForm();
    m_connection.SetUp(true);
    Tick(*form);
    m_clock.AdvanceSeconds(5.0);
    form->EndSession();
    EXPECT_TRUE(m_dialogs.questions.empty());
    EXPECT_EQ(fs::file_size(ConnectionLog::kFileName), 16u);
}

TEST_F(MainFormTest, ViewButtonsSwitchBetweenChartAndList) {
    const auto form = MakeForm();
    form->show();
    QTest::mouseClick(form->sbElenco, Qt::LeftButton);
    EXPECT_TRUE(form->sbElenco->isChecked());
    EXPECT_FALSE(form->sbGrafico->isChecked());
    EXPECT_TRUE(form->Memo1->isVisible());
    EXPECT_FALSE(form->Chart1->isVisible());
    QTest::mouseClick(form->sbGrafico, Qt::LeftButton);
    QTest::mouseClick(form->sbGrafico, Qt::LeftButton); // already down: stays down
    EXPECT_TRUE(form->sbGrafico->isChecked());
    EXPECT_TRUE(form->Chart1->isVisible());
    EXPECT_FALSE(form->Memo1->isVisible());
}

TEST_F(MainFormTest, TypingIntoTheLimitListChangesNothing) {
    const auto form = MakeForm();
    form->show();
    QTest::keyClicks(form->CBox->lineEdit(), "x9");
    QTest::keyClick(form->CBox->lineEdit(), Qt::Key_Backspace);
    QTest::keyClick(form->CBox->lineEdit(), Qt::Key_Delete);
    EXPECT_EQ(form->CBox->currentText(), "AUP 1");
}

TEST_F(MainFormTest, FirstStartShowsAup1AndWritesNoSettingsFile) {
    const auto form = MakeForm();
    EXPECT_EQ(form->CBox->currentText(), "AUP 1");
    EXPECT_DOUBLE_EQ(form->TimeLimit(), 1.0 / 24.0);
    EXPECT_EQ(form->IniFileName(), (fs::current_path() / "hour_link.ini").string());
    EXPECT_FALSE(fs::exists("hour_link.ini"));
}

TEST_F(MainFormTest, AChosenLimitIsStoredAtOnceAndRestoredAtTheNextStart) {
    {
        const auto form = MakeForm();
        form->show();
        form->CBox->setCurrentIndex(4);
        emit form->CBox->activated(4);
        EXPECT_DOUBLE_EQ(form->TimeLimit(), 0.25);
    }
    std::ifstream in("hour_link.ini");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_THAT(text, ::testing::HasSubstr("[SETTINGS]"));
    EXPECT_THAT(text, ::testing::HasSubstr("Time limit=AUP 6"));
    const auto again = MakeForm();
    EXPECT_EQ(again->CBox->currentText(), "AUP 6");
    EXPECT_DOUBLE_EQ(again->TimeLimit(), 0.25);
}

TEST_F(MainFormTest, TheArrowKeysChooseAnEntryLikeTheMouse) {
    const auto form = MakeForm();
    form->show();
    QTest::keyClick(form->CBox, Qt::Key_Down);
    EXPECT_EQ(form->CBox->currentText(), "AUP 2");
    EXPECT_DOUBLE_EQ(form->TimeLimit(), 2.0 / 24.0);
    EXPECT_TRUE(fs::exists("hour_link.ini"));
}

TEST_F(MainFormTest, AStoredLimitThatIsNoTimeIsShownAndLeavesTheLimitAtZero) {
    std::ofstream("hour_link.ini") << "[settings]\ntime LIMIT=AUP 25\n";
    const auto form = MakeForm();
    EXPECT_EQ(form->CBox->currentText(), "AUP 25");
    EXPECT_THAT(m_dialogs.errors, ElementsAre("' 25' is not a valid time."));
    EXPECT_EQ(form->TimeLimit(), 0.0);
}

TEST_F(MainFormTest, RefreshTicksRotateTheStatusOnlyWhileNotRecording) {
    const auto form = MakeForm();
    std::vector<QString> texts;
    for (int i = 0; i < 3; ++i) {
        emit form->RefreshTimer->timeout({});
        texts.push_back(form->LabelState->text());
    }
    m_connection.SetUp(true);
    Tick(*form);
    emit form->RefreshTimer->timeout({});
    EXPECT_EQ(form->LabelState->text(), "Recording...") << "no text while recording";
    m_connection.SetUp(false);
    Tick(*form);
    for (int i = 0; i < 4; ++i) {
        emit form->RefreshTimer->timeout({});
        texts.push_back(form->LabelState->text());
    }
    const QString web = "Pellandra-Ossilo www.pellandra-ossilo.example";
    const QString mail = "Pellandra-Ossilo hourlink@pellandra-ossilo.example - info@pellandra-ossilo.example";
    EXPECT_EQ(texts[0], web);
    EXPECT_EQ(texts[1], web);
    EXPECT_TRUE(texts[2].startsWith("Data e ora: 09/12/2026 10:00:0")) << texts[2].toStdString();
    EXPECT_EQ(texts[3], web);
    EXPECT_EQ(texts[4], mail);
    EXPECT_EQ(texts[5], "Pellandra Hourlink 2.0");
    EXPECT_EQ(texts[6], mail);
}

TEST_F(MainFormTest, TheListShowsTheMissingLogOrTheConnectionsOfTheLastSixDays) {
    const auto form = MakeForm();
    form->show();
    QTest::mouseClick(form->sbElenco, Qt::LeftButton);
    EXPECT_EQ(form->Memo1->toPlainText(), "File datatime.dat non trovato. Nessun dato disponibile");
    const DateTime day = EncodeDate(2026, 12, 8);
    WriteLog({{day - 10, day - 9.5}, {day + 23.0 / 24, day + 25.0 / 24}});
    QTest::mouseClick(form->sbElenco, Qt::LeftButton); // a second click builds the list again
    EXPECT_EQ(form->Memo1->toPlainText(), "Inizio: 08/12/2026 23:00:00\nFine  : 09/12/2026 1:00:00\n"
                                          "Durata: 2:00:00\n-----------------------------------");
}

TEST_F(MainFormTest, AListCutShortByATruncatedLogKeepsWhatWasRead) {
    const auto form = MakeForm();
    form->show();
    const DateTime day = EncodeDate(2026, 12, 8);
    WriteLog({{day, day + 0.5}});
    std::ofstream(ConnectionLog::kFileName, std::ios::app | std::ios::binary) << "xyz";
    QTest::mouseClick(form->sbElenco, Qt::LeftButton);
    EXPECT_EQ(form->Memo1->toPlainText().count(QLatin1Char('\n')), 3);
    EXPECT_THAT(m_dialogs.errors, ElementsAre("Read beyond end of file."));
}

TEST_F(MainFormTest, HelpOpensAGoodReadmeAndOtherwiseSaysWhereToAsk) {
    const auto form = MakeForm();
    form->BtnHelp->click();
    EXPECT_TRUE(m_shell.opened.empty());
    EXPECT_THAT(m_dialogs.messages.back(), ::testing::StartsWith("File Readme.txt non trovato. Scrivere a "
                                                                 "hourlink@pellandra-ossilo.example per"));
    std::ofstream("Readme.txt", std::ios::binary)
        << "Pellandra Hour Link\r\nby Pellandra Ossilo.\r\nScritto da Tullio Varzi.\r\n"
           "hourlink@pellandra-ossilo.example\r\nmore text";
    form->BtnHelp->click();
    EXPECT_THAT(m_shell.opened, ElementsAre("Readme.txt"));
}

// The balloons the notification area was asked to show, as "title|text".
std::vector<std::string> Balloons(const FakeTrayPlatform& tray) {
    std::vector<std::string> out;
    for (const auto& r : tray.requests()) {
        if (r.accepted && r.message == NIM_MODIFY && (r.data.uFlags & NIF_INFO) != 0 &&
            FieldText(r.data.szInfo) != "") {
            out.push_back(FieldText(r.data.szInfoTitle) + "|" + FieldText(r.data.szInfo));
        }
    }
    return out;
}

class LiveFiguresTest : public MainFormTest {
protected:
    // Six hours yesterday and a running connection today: the average is (6 h + today) / 7.
    std::unique_ptr<TMainForm> FormWithSixHoursYesterday() {
        const DateTime yesterday = EncodeDate(2026, 12, 8);
        WriteLog({{yesterday + 0.25, yesterday + 0.5}});
        auto form = MakeForm();
        form->show();
        Minimise();
        return form;
    }
    // The window system reports the minimise to the application window.
    void Minimise() { m_tray->sendMessage(FakeTrayPlatform::kApplicationWindow, WM_SIZE, SIZE_MINIMIZED, 0); }
    [[nodiscard]] const FakeTrayPlatform::NotifyRequest& LastAdd() const {
        for (auto r = m_tray->requests().rbegin(); r != m_tray->requests().rend(); ++r) {
            if (r->message == NIM_ADD) {
                return *r;
            }
        }
        throw std::logic_error("no add request");
    }
};

TEST_F(LiveFiguresTest, TodaysBarTheAverageAndTheHintFollowTheRunningConnection) {
    const auto form = FormWithSixHoursYesterday();
    m_connection.SetUp(true);
    Tick(*form);
    m_clock.AdvanceSeconds(3600.0);
    Tick(*form);
    EXPECT_NEAR(form->SerieGiorno->GetYValue(6), 1.0, 1e-6);
    EXPECT_EQ(form->SerieGiorno->GetPointLabel(6), "1:00:00");
    EXPECT_NEAR(form->SerieMedia->GetYValue(6), 1.0, 1e-6);
    EXPECT_EQ(form->SerieMedia->GetPointLabel(6), "1:00:00");
    EXPECT_EQ(form->SysTrayIcon->Hint(), "today time is 1:00:00");
}

TEST_F(LiveFiguresTest, AnAverageAtTheLimitGivesNoBalloonAndOneAboveGivesOneEveryTick) {
    const auto form = FormWithSixHoursYesterday();
    m_connection.SetUp(true);
    Tick(*form);
    m_clock.AdvanceSeconds(3600.0); // (6 + 1) / 7 = 1 hour: exactly the limit of "AUP 1"
    Tick(*form);
    EXPECT_TRUE(Balloons(*m_tray).empty());
    m_clock.AdvanceSeconds(7.0);
    Tick(*form);
    m_clock.AdvanceSeconds(1.0);
    Tick(*form);
    EXPECT_THAT(Balloons(*m_tray), ElementsAre("La media connessioni \xE8 superiore al limite AUP:|1:00:01",
                                               "La media connessioni \xE8 superiore al limite AUP:|1:00:01"));
}

TEST_F(LiveFiguresTest, NoBalloonWithTheAlertUnchecked) {
    const auto form = FormWithSixHoursYesterday();
    form->CBLimit->setChecked(false);
    m_connection.SetUp(true);
    Tick(*form);
    m_clock.AdvanceSeconds(5 * 3600.0);
    Tick(*form);
    EXPECT_TRUE(Balloons(*m_tray).empty());
}

TEST_F(LiveFiguresTest, ARebuildDuringAConnectionKeepsTodaysRunningShare) {
    const auto form = FormWithSixHoursYesterday();
    m_connection.SetUp(true);
    Tick(*form);
    m_clock.AdvanceSeconds(1800.0);
    Tick(*form);
    const double ticked = form->SerieGiorno->GetYValue(6);
    EXPECT_NEAR(ticked, 0.5, 1e-6);
    emit form->RefreshTimer->timeout({});
    EXPECT_EQ(form->SerieGiorno->GetYValue(6), ticked) << "half logged by the checkpoint, half still running";
    EXPECT_EQ(form->SerieMedia->GetPointLabel(6), "0:55:42");
    m_clock.AdvanceSeconds(1.0);
    Tick(*form);
    EXPECT_NEAR(form->SerieGiorno->GetYValue(6), 0.5 + 1.0 / 3600.0, 1e-6);
}

// A connection kept up for days: each bar holds its own day's share at every second, whether the last
// thing that wrote the chart was a tick, the refresh's rebuild or the end of the connection.
class AlwaysOnTest : public LiveFiguresTest {
protected:
    static constexpr double kTolerance = 1e-5; // hours; a clock moved for days drifts by a millisecond or so

    // Moves the clock to `at` a minute at a time, then a second at a time, ticking with the connection up.
    void UpTo(TMainForm& form, DateTime at) {
        m_connection.SetUp(true);
        while (m_clock.Now() < at - 61.0 / 86400.0) {
            m_clock.AdvanceSeconds(60.0);
            Tick(form);
        }
        while (m_clock.Now() < at - 1.5 / 86400.0) {
            m_clock.AdvanceSeconds(1.0);
            Tick(form);
        }
        // The last tick lands on `at`, give or take a rounding, so texts cut to the second are exact.
        m_clock.AdvanceSeconds((at - m_clock.Now()) * 86400.0);
        Tick(form);
    }
    // The seven bars in hours, and every running average of them, as the chart holds them.
    static void ExpectBars(const TMainForm& form, const std::vector<double>& hours) {
        double sum = 0.0;
        for (int i = 0; i < 7; ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(form.SerieGiorno->GetYValue(i), hours[static_cast<std::size_t>(i)], kTolerance);
            sum += hours[static_cast<std::size_t>(i)];
            EXPECT_NEAR(form.SerieMedia->GetYValue(i), sum / (i + 1), kTolerance);
        }
    }
    static std::vector<double> Values(const TChartSeries& series) {
        std::vector<double> values;
        for (int i = 0; i < series.Count(); ++i) {
            values.push_back(series.GetYValue(i));
        }
        return values;
    }
    static std::vector<std::string> Labels(const TChartSeries& series) {
        std::vector<std::string> labels;
        for (int i = 0; i < series.Count(); ++i) {
            labels.push_back(series.GetPointLabel(i));
        }
        return labels;
    }
    // A refresh must give exactly what the ticks wrote: the same figures, the same labels.
    static void ExpectRebuildChangesNothing(TMainForm& form) {
        const auto bars = Values(*form.SerieGiorno);
        const auto averages = Values(*form.SerieMedia);
        const auto barLabels = Labels(*form.SerieGiorno);
        const auto averageLabels = Labels(*form.SerieMedia);
        emit form.RefreshTimer->timeout({});
        EXPECT_EQ(Values(*form.SerieGiorno), bars);
        EXPECT_EQ(Values(*form.SerieMedia), averages);
        EXPECT_EQ(Labels(*form.SerieGiorno), barLabels);
        EXPECT_EQ(Labels(*form.SerieMedia), averageLabels);
    }
};

TEST_F(AlwaysOnTest, AcrossThreeMidnightsEachBarHoldsItsOwnDayAtEverySecondThatMatters) {
    m_clock.Set(EncodeDateTime(2026, 12, 7, 21, 0, 0)); // a Monday
    const auto form = MakeForm();
    UpTo(*form, EncodeDateTime(2026, 12, 7, 21, 0, 1)); // the connection starts
    const double monday = 3.0 - 1.0 / 3600.0;           // 21:00:01 to midnight

    UpTo(*form, EncodeDateTime(2026, 12, 7, 23, 59, 59));
    ExpectBars(*form, {0, 0, 0, 0, 0, 0, monday - 1.0 / 3600.0});
    ExpectRebuildChangesNothing(*form);

    UpTo(*form, EncodeDateTime(2026, 12, 8, 0, 0, 0));
    ExpectBars(*form, {0, 0, 0, 0, 0, monday, 0});
    EXPECT_EQ(form->Chart1->Title().Text().Lines().back(), WeekdayLine(3)) << "rebuilt by the tick at midnight";
    EXPECT_EQ(form->SerieGiorno->GetPointLabel(5), "2:59:59");
    ExpectRebuildChangesNothing(*form);

    UpTo(*form, EncodeDateTime(2026, 12, 8, 0, 0, 1));
    ExpectBars(*form, {0, 0, 0, 0, 0, monday, 1.0 / 3600.0});

    UpTo(*form, EncodeDateTime(2026, 12, 9, 0, 0, 1));
    ExpectBars(*form, {0, 0, 0, 0, monday, 24, 1.0 / 3600.0});
    EXPECT_EQ(form->SerieGiorno->GetPointLabel(5), "24:00:00");
    ExpectRebuildChangesNothing(*form);

    UpTo(*form, EncodeDateTime(2026, 12, 10, 6, 30, 0));
    ExpectBars(*form, {0, 0, 0, monday, 24, 24, 6.5});
    EXPECT_EQ(form->SerieMedia->GetPointLabel(6), "8:12:51");
    EXPECT_EQ(form->SysTrayIcon->Hint(), "today time is 6:30:00");
    ExpectRebuildChangesNothing(*form);

    m_connection.SetUp(false);
    m_clock.AdvanceSeconds(1.0);
    Tick(*form);
    ExpectBars(*form, {0, 0, 0, monday, 24, 24, 6.5 + 1.0 / 3600.0});
    EXPECT_EQ(ReadLogFile().size(), 1u);
    ExpectRebuildChangesNothing(*form);
}

TEST_F(AlwaysOnTest, AWeekLongConnectionFillsTheWeekAndAveragesOneHundredFortyFourSevenths) {
    m_clock.Set(EncodeDateTime(2026, 12, 1, 9, 0, 0));
    const auto form = MakeForm();
    UpTo(*form, EncodeDateTime(2026, 12, 1, 9, 0, 1));
    UpTo(*form, EncodeDateTime(2026, 12, 9, 10, 0, 0));
    ExpectBars(*form, {14, 24, 24, 24, 24, 24, 10});
    EXPECT_EQ(form->SerieMedia->GetPointLabel(6), "20:34:17");
    EXPECT_EQ(form->SerieGiorno->GetPointLabel(0), "14:00:00");
    ExpectRebuildChangesNothing(*form);
    UpTo(*form, EncodeDateTime(2026, 12, 9, 10, 0, 1));
    EXPECT_NEAR(form->SerieGiorno->GetYValue(0), 14 - 1.0 / 3600.0, kTolerance) << "the oldest bar shrinks live";
    EXPECT_NEAR(form->SerieMedia->GetYValue(6), 144.0 / 7, kTolerance);
}

TEST_F(AlwaysOnTest, TheListShowsARunningConnectionUpToItsLastCheckpoint) {
    const auto form = MakeForm();
    form->show();
    UpTo(*form, EncodeDateTime(2026, 12, 9, 10, 0, 1));
    UpTo(*form, EncodeDateTime(2026, 12, 10, 11, 0, 30)); // 25 h 0 min 29 s; checkpointed at 25 h 0 min 1 s
    form->sbElenco->click();
    EXPECT_EQ(form->Memo1->toPlainText().toStdString(), "Inizio: 09/12/2026 10:00:01\n"
                                                        "Fine  : 10/12/2026 11:00:01\n"
                                                        "Durata: 25:00:00\n"
                                                        "-----------------------------------");
}

TEST_F(AlwaysOnTest, AConfirmedCloseTakesTheRunningConnectionsRecordOffTheLog) {
    const DateTime yesterday = EncodeDate(2026, 12, 8);
    WriteLog({{yesterday + 0.25, yesterday + 0.5}});
    const auto form = MakeForm();
    form->show();
    UpTo(*form, m_clock.Now() + 150.0 / 86400.0);
    ASSERT_EQ(ReadLogFile().size(), 2u) << "checkpointed";
    m_dialogs.answerYes = true;
    EXPECT_TRUE(form->close());
    EXPECT_THAT(ReadLogFile(), ElementsAre(ConnectionRecord{yesterday + 0.25, yesterday + 0.5}));
}

// The report companion asks the running window for its state; with the same log and clock it must show
// the window's own figures, and the question must leave the window where it is.
TEST_F(LiveFiguresTest, TheStateAnswerCarriesTheWindowsFiguresAndRaisesNothing) {
    const auto form = FormWithSixHoursYesterday();
    m_connection.SetUp(true);
    Tick(*form);
    const DateTime start = m_clock.Now();
    m_clock.AdvanceSeconds(5400.0);
    Tick(*form);

    SingleInstance instance(QString::fromStdString(fs::current_path().string()), "state-test");
    InstanceRequests requests(instance);
    InstanceMessage ask;
    ask.word = kStateRequest;
    EXPECT_EQ(requests.Answer(ask).reason, kNotReadyError) << "no window attached yet";
    requests.Attach(*form);
    const std::optional<LiveState> state = ReadStateReply(requests.Answer(ask));
    ASSERT_TRUE(state.has_value());
    ASSERT_FALSE(m_tray->MainFormVisible());
    QTest::qWait(250); // longer than a raise waits before it looks again
    EXPECT_FALSE(m_tray->MainFormVisible()) << "a query never brings the window back";

    EXPECT_TRUE(state->recording);
    EXPECT_EQ(state->connectionStart, start);
    // The tick 90 minutes in wrote the running connection into the log: the report must count it once.
    EXPECT_EQ(state->checkpointEnd, std::optional<DateTime>(m_clock.Now()));
    EXPECT_EQ(state->now, m_clock.Now());
    EXPECT_EQ(state->todayTotal, form->TodayTotal());
    EXPECT_EQ(state->timeLimit, 1.0 / 24);
    EXPECT_EQ(state->limitText, "AUP 1");
    EXPECT_TRUE(state->alertOn);
    ASSERT_TRUE(state->hours.has_value() && state->averages.has_value());

    const ReportFigures report =
        ComputeReportFigures(ReadLogSnapshot(ConnectionLog::kFileName, ReportWindows(m_clock.Now()), m_clock.Now() - 6),
                             state, m_clock.Now(), FormatSettings{});
    for (int i = 0; i < 7; ++i) {
        const auto u = static_cast<std::size_t>(i);
        EXPECT_EQ((*state->hours)[u], form->SerieGiorno->GetYValue(i)) << i;
        EXPECT_EQ((*state->averages)[u], form->SerieMedia->GetYValue(i)) << i;
        EXPECT_NEAR(report.seven.hours[u], form->SerieGiorno->GetYValue(i), 1e-9) << i;
        EXPECT_NEAR(report.seven.averages[u], form->SerieMedia->GetYValue(i), 1e-9) << i;
        EXPECT_EQ(report.seven.hourLabels[u], form->SerieGiorno->GetPointLabel(i)) << i;
        EXPECT_EQ(report.seven.averageLabels[u], form->SerieMedia->GetPointLabel(i)) << i;
    }
    EXPECT_NEAR(report.seven.hours[6], 1.5, 1e-6);
}

TEST_F(LiveFiguresTest, MinimisingPutsTheIconInTheTrayAndAClickBringsTheWindowBack) {
    const auto form = FormWithSixHoursYesterday();
    const NotifyIconData added = LastAdd().data;
    const auto* icon = m_tray->shownIcon(added.hWnd, added.uID);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->tip, "Hour link");
    EXPECT_FALSE(m_tray->MainFormVisible());
    ASSERT_TRUE(m_tray->sendTrayNotification(added.hWnd, added.uID, WM_LBUTTONDOWN));
    ASSERT_TRUE(m_tray->sendTrayNotification(added.hWnd, added.uID, WM_LBUTTONUP));
    EXPECT_TRUE(m_tray->MainFormVisible());
    EXPECT_NE(m_tray->shownIcon(added.hWnd, added.uID), nullptr) << "the icon stays in the tray";
}

TEST_F(LiveFiguresTest, ABalloonBeforeTheFirstMinimiseIsLostWhileTheHintIsKept) {
    const DateTime yesterday = EncodeDate(2026, 12, 8);
    WriteLog({{yesterday + 0.25, yesterday + 0.5}});
    const auto form = MakeForm();
    m_connection.SetUp(true);
    Tick(*form);
    m_clock.AdvanceSeconds(2 * 3600.0);
    Tick(*form);
    EXPECT_TRUE(Balloons(*m_tray).empty());
    Minimise();
    const NotifyIconData added = LastAdd().data;
    EXPECT_EQ(m_tray->shownIcon(added.hWnd, added.uID)->tip, "today time is 2:00:00");
}

// On a screen of ratio 2 the glyphs and the icon come from drawings of their own, not from the 1× picture
// blown up: some 2 × 2 block of device pixels holds more than one colour.
TEST(AppPictures, GlyphsAndIconAreDrawnForDenseScreens) {
    auto finerThanBlocks = [](const QImage& image) {
        for (int y = 0; y + 1 < image.height(); y += 2) {
            for (int x = 0; x + 1 < image.width(); x += 2) {
                const QRgb c = image.pixel(x, y);
                if (image.pixel(x + 1, y) != c || image.pixel(x, y + 1) != c || image.pixel(x + 1, y + 1) != c) {
                    return true;
                }
            }
        }
        return false;
    };
    for (const QIcon& glyph : {CloseGlyph(), HelpGlyph()}) {
        EXPECT_TRUE(glyph.availableSizes().contains(QSize(18, 18)));
        const QImage sharp = glyph.pixmap(QSize(18, 18), 2.0).toImage();
        EXPECT_EQ(sharp.size(), QSize(36, 36));
        EXPECT_TRUE(finerThanBlocks(sharp));
    }
    EXPECT_EQ(ApplicationIconImage().size(), QSize(32, 32));
    EXPECT_EQ(ApplicationIconImage().format(), QImage::Format_Indexed8);
    const QImage icon = ApplicationIcon().pixmap(QSize(32, 32), 2.0).toImage();
    EXPECT_EQ(icon.size(), QSize(64, 64));
    EXPECT_TRUE(finerThanBlocks(icon));
}

} // namespace
} // namespace hourlink
