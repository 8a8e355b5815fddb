#include "app/Main.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>

#include "app/AppIcon.h"
#include "app/SeriesTarget.h"
#include "app/TBevel.h"
#include "appcore/AutostartEntry.h"
#include "appcore/ConnectionList.h"
#include "appcore/LimitSettings.h"
#include "appcore/ReadmeCheck.h"
#include "chart/TChart.h"
#include "monitor/LiveUpdate.h"
#include "platform/QtFormatSettings.h"
#include "platform/Shell.h"
#include "platform/WindowActivation.h"
#include "platform/tray/TrayPlatform.h"
#include "runtime/Clock.h"
#include "runtime/Dialogs.h"
#include "stats/ChartView.h"
#include "stats/SevenDayChart.h"
#include "tray/PopupMenu.h"
#include "tray/SysTrayIcon.h"

namespace hourlink {
namespace {

constexpr const char* kCloseCaption = "Warning";
constexpr const char* kCloseQuestion = "The connection is still active. \r\n"
                                       "If you close the program now the data will be lost.\r\n"
                                       "Are you sure you want to close it now?";

QFont WindowFont() {
    // The window's font is 8-point MS Sans Serif, bold; Liberation Sans at the same pixel size stands in.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    return font;
}

QFont MemoFont() {
    QFont font(QStringLiteral("Liberation Mono"));
    font.setPixelSize(16);
    font.setBold(true);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// The live update's view of the tray icon.
class TrayTarget final : public LiveTray {
public:
    explicit TrayTarget(TSysTrayIcon& icon) : m_icon(icon) {}
    void SetHint(const std::string& hint) override { m_icon.SetHint(hint); }
    void ShowInfoBalloon(const std::string& title, const std::string& text, int timeoutSeconds) override {
        (void)m_icon.ShowBalloonHint(title, text, TBalloonIconKind::bikInfo, static_cast<std::uint8_t>(timeoutSeconds));
    }

private:
    TSysTrayIcon& m_icon;
};

// How a start at login runs this program: through the launcher beside it when it is installed with one,
// else itself in the folder it keeps its log in.
AutostartProgram ThisProgram() {
    const QString executable = QCoreApplication::applicationFilePath();
    const QString launcher = QFileInfo(executable).dir().filePath(QString::fromLatin1(kLauncherName));
    return AutostartProgram{executable.toStdString(), QDir::currentPath().toStdString(),
                            QFileInfo(launcher).isExecutable()};
}

IconImage ToIconImage(const QImage& picture) {
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    IconImage image;
    image.width = argb.width();
    image.height = argb.height();
    image.pixels.reserve(static_cast<std::size_t>(image.width * image.height));
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            image.pixels.push_back(argb.pixel(x, y));
        }
    }
    return image;
}

} // namespace

TMainForm::TMainForm(MainFormServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_services(services), m_format(services.format), m_guard(services.dialogs), m_log(services.dialogs),
      m_recorder(services.connection, m_log, services.clock, *this, ConnectionRecorder::kCheckpointInterval) {
    setWindowTitle(QStringLiteral("Hourlink"));
    setWindowIcon(ApplicationIcon());
    setFont(WindowFont());
    setFixedSize(kClientWidth, kClientHeight);
    CreateComponents();
    CreateTrayIcon();
    // The timers count from here; their handlers wait for the end of the start-up sequence.
    MainTimer->start();
    RefreshTimer->start();
    m_guard.Run([this] { FormCreate(); });
    m_created = true;
}

TMainForm::~TMainForm() {
    // The icon takes itself out of the tray through the platform, so it goes before the platform does.
    SysTrayIcon.reset();
    m_trayMenu.reset();
}

void TMainForm::CreateComponents() {
    Chart1 = new TChart(this);
    const ChartView view = ConfigureChart1(*Chart1);
    SerieGiorno = &view.SerieGiorno;
    SerieMedia = &view.SerieMedia;
    Chart1->setToolTip(QStringLiteral("Daily timing chart"));
    Chart1->SetFormatSettings(m_format);

    MainTimer = new QTimer(this);
    MainTimer->setInterval(1000);
    connect(MainTimer, &QTimer::timeout, this, [this] { Handle([this] { MainTimerEvent(); }); });

    LabelState = new QLabel(QStringLiteral("System ok."), this);
    LabelState->setToolTip(QStringLiteral("Connection status"));
    LabelState->move(16, 312);
    LabelState->setFixedHeight(13);
    LabelState->adjustSize();

    BitBtn1 = new QPushButton(CloseGlyph(), QStringLiteral("&Close"), this);
    BitBtn1->setGeometry(568, 272, 89, 33);
    BitBtn1->setIconSize(QSize(18, 18));
    BitBtn1->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);

    CBLimit = new QCheckBox(QStringLiteral("Alert limit"), this);
    CBLimit->setGeometry(568, 8, 81, 17);
    CBLimit->setToolTip(QStringLiteral("Checks for AUP limit"));
    CBLimit->setChecked(true);

    CBox = new QComboBox(this);
    CBox->setGeometry(568, 32, 89, 21);
    CBox->setEditable(true);
    CBox->setInsertPolicy(QComboBox::NoInsert);
    CBox->addItems({QStringLiteral("AUP 1"), QStringLiteral("AUP 2"), QStringLiteral("AUP 3"), QStringLiteral("AUP 4"),
                    QStringLiteral("AUP 6"), QStringLiteral("AUP 9"), QStringLiteral("AUP 12"),
                    QStringLiteral("AUP 15"), QStringLiteral("AUP 18")});
    CBox->setMaxVisibleItems(8);
    CBox->setEditText(QStringLiteral("AUP 1"));
    CBox->lineEdit()->installEventFilter(this);
    CBox->lineEdit()->setReadOnly(true); // no paste, cut or drop either
    // A choice with the mouse or the arrow keys, also of the entry already shown.
    connect(CBox, &QComboBox::activated, this, [this] { Handle([this] { CBoxClick(); }); });

    BtnHelp = new QPushButton(HelpGlyph(), QStringLiteral("&Help"), this);
    BtnHelp->setGeometry(568, 232, 89, 33);
    BtnHelp->setIconSize(QSize(18, 18));
    BtnHelp->setAutoDefault(false);
    connect(BtnHelp, &QPushButton::clicked, this, [this] { Handle([this] { BtnHelpClick(); }); });

    RefreshTimer = new QTimer(this);
    RefreshTimer->setInterval(8000);
    connect(RefreshTimer, &QTimer::timeout, this, [this] { Handle([this] { RefreshTimerTimer(); }); });

    Bevel1 = new TBevel(this);
    Bevel1->setGeometry(568, 25, 89, 39);
    Bevel2 = new TBevel(this);
    Bevel2->setGeometry(569, 217, 89, 7);

    auto* views = new QButtonGroup(this);
    views->setExclusive(true);
    auto makeViewButton = [this, views](const QString& caption, int top) {
        auto* button = new QToolButton(this);
        button->setText(caption);
        button->setGeometry(568, top, 89, 22);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        views->addButton(button);
        return button;
    };
    sbGrafico = makeViewButton(QStringLiteral("grafico"), 96);
    sbElenco = makeViewButton(QStringLiteral("elenco"), 128);
    sbGrafico->setChecked(true);
    // A click on the button that is already down runs its handler again.
    connect(sbGrafico, &QToolButton::clicked, this, [this] { Handle([this] { sbGraficoClick(); }); });
    connect(sbElenco, &QToolButton::clicked, this, [this] { Handle([this] { sbElencoClick(); }); });

    Memo1 = new QPlainTextEdit(QStringLiteral("Memo1"), this);
    Memo1->setGeometry(8, 8, 553, 297);
    Memo1->setFont(MemoFont());
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->hide();

    setTabOrder(Chart1, BitBtn1);
    setTabOrder(BitBtn1, CBLimit);
    setTabOrder(CBLimit, CBox);
    setTabOrder(CBox, BtnHelp);
    setTabOrder(BtnHelp, Memo1);
}

void TMainForm::CreateTrayIcon() {
    m_trayPlatform = m_services.makeTrayPlatform(*this);
    SysTrayIcon = std::make_unique<TSysTrayIcon>(*m_trayPlatform, m_trayPlatform->MainFormWindow());
    // The stored settings, in the order they are stored, then the step after loading.
    SysTrayIcon->SetCycleInterval(0);
    SysTrayIcon->SetHint("Hour link");
    SysTrayIcon->Icon().SetImage(ToIconImage(ApplicationIconImage()));
    SysTrayIcon->SetIconIndex(0);
    SysTrayIcon->SetMinimizeToTray(true);
    SysTrayIcon->OnClick = [this](TObject*) { Handle([this] { SysTrayIconClick(); }); };
    CreateTrayMenu();
    SysTrayIcon->Loaded();
}

void TMainForm::CreateTrayMenu() {
    m_trayMenu = std::make_unique<TPopupMenu>(*m_trayPlatform);
    m_trayMenu->OnPopup = [this](TObject*) { Handle([this] { TrayMenuPopup(); }); };
    TMenuItem& restore = m_trayMenu->Add("Restore");
    restore.Default = true;
    restore.OnClick = [this](TObject*) { Handle([this] { TrayMenuRestoreClick(); }); };
    m_startAtLogin = &m_trayMenu->Add("Start at login");
    m_startAtLogin->AutoCheck = true;
    m_startAtLogin->OnClick = [this](TObject*) { Handle([this] { TrayMenuStartAtLoginClick(); }); };
    m_trayMenu->Add("Close").OnClick = [this](TObject*) { Handle([this] { TrayMenuCloseClick(); }); };
    SysTrayIcon->SetPopupMenu(m_trayMenu.get());
}

std::string TMainForm::AutostartPath() const {
    return AutostartEntryPath(qEnvironmentVariable("XDG_CONFIG_HOME").toStdString(),
                              qEnvironmentVariable("HOME").toStdString());
}

void TMainForm::TrayMenuPopup() {
    m_startAtLogin->Checked = AutostartEntryExists(AutostartPath());
}

void TMainForm::TrayMenuRestoreClick() {
    SysTrayIconClick();
}

void TMainForm::TrayMenuStartAtLoginClick() {
    const std::string path = AutostartPath();
    // The tick has just changed to what the user asked for; the menu shows the entry's presence next time.
    if (m_startAtLogin->Checked) {
        WriteAutostartEntry(path, AutostartEntryText(ThisProgram()));
    } else {
        RemoveAutostartEntry(path);
    }
    m_startAtLogin->Checked = AutostartEntryExists(path);
}

void TMainForm::TrayMenuCloseClick() {
    // As the window's own close: FormClose asks first while a connection is recorded.
    close();
}

void TMainForm::Handle(const std::function<void()>& handler) {
    if (m_created) {
        m_guard.Run(handler);
    }
}

void TMainForm::FormCreate() {
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    m_recorder.SetTodayTotal(m_log.DayConnectedTime(Today(m_services.clock), 0.0));
    if (m_log.CompactDatabase()) {
        SetStatus("Database ok");
    }
    UpdateChart();
    ReadSettings();
}

void TMainForm::ReadSettings() {
    m_iniFileName = m_services.iniFileName;
    CBox->setEditText(QString::fromStdString(ReadTimeLimitText(m_iniFileName)));
    ParseTimeLimit();
}

void TMainForm::ParseTimeLimit() {
    m_timeLimit = hourlink::ParseTimeLimit(CBox->currentText().toStdString(), m_format);
}

void TMainForm::CBoxClick() {
    if (m_iniFileName.empty()) {
        // A start-up that failed before its settings step still knows where the file belongs.
        m_iniFileName = m_services.iniFileName;
    }
    WriteTimeLimitText(m_iniFileName, CBox->currentText().toStdString());
    ParseTimeLimit();
}

void TMainForm::BtnHelpClick() {
    if (ReadmeCheckPasses()) {
        m_services.shell.OpenDocument(kReadmeFileName);
    } else {
        m_services.dialogs.ShowMessage(HelpMessage());
    }
}

void TMainForm::MainTimerEvent() {
    m_recorder.Tick();
    // While a connection runs, its live update has done this already.
    if (!m_recorder.Recording()) {
        RebuildAtNewDate();
    }
}

void TMainForm::RebuildAtNewDate() {
    // Before the first successful build the refresh tick keeps trying, as it always did.
    if (m_chartDate && *m_chartDate != Today(m_services.clock)) {
        UpdateChart();
    }
}

std::optional<RunningConnection> TMainForm::Running() const {
    if (!m_recorder.Recording()) {
        return std::nullopt;
    }
    return RunningConnection{m_recorder.ConnectionStart(), m_recorder.LastCheckpoint()};
}

DateTime TMainForm::TodayTime() {
    return m_recorder.TodayTime();
}

void TMainForm::SysTrayIconClick() {
    SysTrayIcon->RestoreMainForm();
}

void TMainForm::BringForward(const WindowActivation& activation) {
    Handle([this] { SysTrayIconClick(); });
    activation.Activate(*this);
}

void TMainForm::FormClose(TCloseAction& action) {
    if (!m_recorder.Recording()) {
        return;
    }
    action = m_services.dialogs.AskYesNo(kCloseCaption, kCloseQuestion) ? TCloseAction::caFree : TCloseAction::caNone;
    if (action == TCloseAction::caFree) {
        // The question said the connection is lost: what the checkpoints wrote of it goes too.
        m_recorder.DiscardRunningConnection();
    }
}

void TMainForm::CBoxKeyPress(QChar& key) {
    key = QChar();
}

void TMainForm::RefreshTimerTimer() {
    UpdateChart();
    if (m_recorder.Recording()) {
        return;
    }
    SetStatus(m_statusRotation.NextText(m_services.clock.Now(), m_format));
}

void TMainForm::sbGraficoClick() {
    Memo1->hide();
    Chart1->show();
}

void TMainForm::sbElencoClick() {
    Chart1->hide();
    Memo1->show();
    Memo1->clear();
    // The text goes in at once; lines gathered before a failing read stay in the list.
    QString text;
    const auto show = [&] { Memo1->setPlainText(text); };
    try {
        BuildConnectionList(m_services.clock.Now(), m_format, [&text](const std::string& line) {
            if (!text.isEmpty()) {
                text += QLatin1Char('\n');
            }
            text += QString::fromStdString(line);
        });
    } catch (...) {
        show();
        throw;
    }
    show();
}

void TMainForm::UpdateChart() {
    const DateTime today = Today(m_services.clock);
    RebuildChart(m_log, m_services.clock, m_format, *Chart1, *SerieGiorno, *SerieMedia, Running());
    m_chartDate = today;
}

void TMainForm::SetFormatSettings(const FormatSettings& format) {
    m_format = format;
    Chart1->SetFormatSettings(format);
}

void TMainForm::SetStatus(const std::string& text) {
    LabelState->setText(QString::fromStdString(text));
    // Measuring a text nobody sees was a tenth of the program's time in the tray: a hidden window's status
    // line is sized when the window shows.
    if (isVisible()) {
        LabelState->adjustSize();
    }
}

void TMainForm::LiveUpdate() {
    SeriesTarget giorno(*SerieGiorno);
    SeriesTarget media(*SerieMedia);
    TrayTarget tray(*SysTrayIcon);
    RebuildAtNewDate();
    LiveUpdateInput input{m_recorder.TodayTotal(), CBLimit->isChecked(), m_timeLimit, {}, {}};
    if (giorno.Count() >= kLiveSeriesPoints) {
        const DateTime now = m_services.clock.Now();
        const std::optional<RunningConnection> running = Running();
        const std::vector<DateTime> days = LiveSevenDaySums(m_log, now, running);
        std::copy(days.begin(), days.end(), input.days.begin());
        input.touched = TouchedDays(now, running);
    }
    hourlink::LiveUpdate(input, giorno, media, tray, m_format);
}

void TMainForm::ConnectionSaved() {
    UpdateChart();
}

void TMainForm::EndSession() {
    m_endingSession = true;
    MainTimer->stop();
    RefreshTimer->stop();
    try {
        m_recorder.SaveRunningConnection();
    } catch (const std::exception&) {
        // The session is going away; there is nobody left to read an error box.
    }
    QCoreApplication::exit(0);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (m_endingSession) {
        event->accept();
        return;
    }
    TCloseAction action = TCloseAction::caHide;
    bool decided = false;
    m_guard.Run([&] {
        FormClose(action);
        decided = true;
    });
    // A close the user confirmed goes ahead even when taking the connection off the log failed.
    if ((!decided && action != TCloseAction::caFree) || action == TCloseAction::caNone) {
        event->ignore();
        return;
    }
    // Closing the main window ends the program, whatever the action.
    event->accept();
    QCoreApplication::exit(0);
}

void TMainForm::showEvent(QShowEvent* event) {
    LabelState->adjustSize();
    QWidget::showEvent(event);
}

void TMainForm::changeEvent(QEvent* event) {
    // The regional settings are read again whenever the system announces a change of them.
    if (event->type() == QEvent::LocaleChange) {
        SetFormatSettings(FormatSettingsFromLocale(QLocale::system()));
    }
    QWidget::changeEvent(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == CBox->lineEdit() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty()) {
            QChar typed = key->text().front();
            CBoxKeyPress(typed);
            if (typed.isNull()) {
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

LiveState TMainForm::CurrentState() const {
    LiveState state;
    state.now = m_services.clock.Now();
    state.recording = m_recorder.Recording();
    if (state.recording) {
        state.connectionStart = m_recorder.ConnectionStart();
        // The end the log holds for the running connection: a reader adds only what lies beyond it.
        state.checkpointEnd = m_recorder.LastCheckpoint();
    }
    state.todayTotal = m_recorder.TodayTotal();
    if (SerieGiorno->Count() == kChartDays && SerieMedia->Count() == kChartDays) {
        std::array<double, kChartDays> hours{};
        std::array<double, kChartDays> averages{};
        for (int i = 0; i < kChartDays; ++i) {
            hours[static_cast<std::size_t>(i)] = SerieGiorno->GetYValue(i);
            averages[static_cast<std::size_t>(i)] = SerieMedia->GetYValue(i);
        }
        state.hours = hours;
        state.averages = averages;
    }
    state.timeLimit = m_timeLimit;
    state.limitText = CBox->currentText().toStdString();
    state.alertOn = CBLimit->isChecked();
    return state;
}

} // namespace hourlink
