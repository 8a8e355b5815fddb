#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "app/HandlerGuard.h"
#include "appcore/Maker.h"
#include "appcore/StatusLine.h"
#include "monitor/ConnectionRecorder.h"
#include "platform/LiveState.h"
#include "runtime/FormatSettings.h"
#include "stats/SevenDays.h"
#include "store/iodata.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace hourlink {

class Clock;
class ConnectionState;
class Dialogs;
class Shell;
class TrayPlatform;
class WindowActivation;
class TSysTrayIcon;
class TPopupMenu;
class TMenuItem;
class TBarSeries;
class TBevel;
class TChart;
class TLineSeries;

inline constexpr const char* kApplicationTitle = kProgramTitle;

// What the main window needs from the world outside it.
struct MainFormServices {
    Dialogs& dialogs;
    ConnectionState& connection;
    const Clock& clock;
    Shell& shell;
    FormatSettings format;
    // The settings file, placed once at start-up (beside a portable program, else in the user's folder).
    std::string iniFileName;
    // Makes the notification-area service for the window; the Qt backend unless a test brings its own.
    std::function<std::unique_ptr<TrayPlatform>(QWidget& mainWindow)> makeTrayPlatform;
};

// The program's one window: it owns every component for the life of the process, runs the start-up
// sequence, records connections once a second and refuses to close without a question while one runs.
class TMainForm final : public QWidget, private RecorderView {
public:
    // What happens to the window when a close goes ahead.
    enum class TCloseAction { caNone, caHide, caFree, caMinimize };

    static constexpr int kClientWidth = 660;
    static constexpr int kClientHeight = 332;

    explicit TMainForm(MainFormServices services, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Event handlers, entered through the guard by the components' signals.
    void FormCreate();
    void MainTimerEvent();
    void SysTrayIconClick();
    void FormClose(TCloseAction& action);
    void CBoxClick();
    void CBoxKeyPress(QChar& key);
    void BtnHelpClick();
    void RefreshTimerTimer();
    void sbGraficoClick();
    void sbElencoClick();
    // The tray icon's menu: its ticks brought up to date, and its three entries.
    void TrayMenuPopup();
    void TrayMenuRestoreClick();
    void TrayMenuStartAtLoginClick();
    void TrayMenuCloseClick();

    // Rebuilds the chart from the log and the running connection: at start-up, on the refresh tick, when a
    // connection ends and on the first tick of a new date.
    void UpdateChart();

    [[nodiscard]] bool Recording() const { return m_recorder.Recording(); }
    [[nodiscard]] DateTime TodayTotal() const { return m_recorder.TodayTotal(); }
    // The running connection with what the log holds of it; empty while none is recorded.
    [[nodiscard]] std::optional<RunningConnection> Running() const;
    [[nodiscard]] bool Created() const { return m_created; }
    // The chosen limit as a fraction of a day, and the settings file it is kept in.
    [[nodiscard]] DateTime TimeLimit() const { return m_timeLimit; }
    [[nodiscard]] const std::string& IniFileName() const { return m_iniFileName; }
    [[nodiscard]] const FormatSettings& Format() const { return m_format; }
    void SetFormatSettings(const FormatSettings& format);

    // Another start of the program asked for the window: back from the tray or a minimise, as a click on
    // the tray icon brings it, and in front.
    void BringForward(const WindowActivation& activation);

    // Ends the program without asking, keeping the running connection: log-off, shut-down, SIGTERM.
    void EndSession();

    // What the report companion asks for: the running connection and the figures shown at this moment.
    [[nodiscard]] LiveState CurrentState() const;

    // Components, in the order the window declares them; each is owned by the window.
    TChart* Chart1 = nullptr;
    QTimer* MainTimer = nullptr;
    QLabel* LabelState = nullptr;
    TBarSeries* SerieGiorno = nullptr; // inside Chart1
    std::unique_ptr<TSysTrayIcon> SysTrayIcon;
    QPushButton* BitBtn1 = nullptr;
    QCheckBox* CBLimit = nullptr;
    QComboBox* CBox = nullptr;
    QPushButton* BtnHelp = nullptr;
    QTimer* RefreshTimer = nullptr;
    TBevel* Bevel1 = nullptr;
    TBevel* Bevel2 = nullptr;
    TLineSeries* SerieMedia = nullptr; // inside Chart1
    QToolButton* sbGrafico = nullptr;
    QToolButton* sbElenco = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    // Runs a handler through the guard once the start-up sequence has finished.
    void Handle(const std::function<void()>& handler);
    [[nodiscard]] DateTime TodayTime();
    // The settings step of the start-up: the stored limit into CBox, then TimeLimit.
    void ReadSettings();
    void ParseTimeLimit();

    // RecorderView
    void SetStatus(const std::string& text) override;
    void LiveUpdate() override;
    void ConnectionSaved() override;

    void CreateTrayIcon();
    // A chart built on another date has its bars on the wrong days: rebuilt at once.
    void RebuildAtNewDate();
    void CreateTrayMenu();
    // The user's start-at-login entry for this program.
    [[nodiscard]] std::string AutostartPath() const;

    MainFormServices m_services;
    // Outlives SysTrayIcon, which the destructor releases first.
    std::unique_ptr<TrayPlatform> m_trayPlatform;
    // The tray icon's menu; it goes right after the icon.
    std::unique_ptr<TPopupMenu> m_trayMenu;
    TMenuItem* m_startAtLogin = nullptr;
    FormatSettings m_format;
    HandlerGuard m_guard;
    ConnectionLog m_log;
    ConnectionRecorder m_recorder;
    StatusRotation m_statusRotation;
    std::string m_iniFileName;
    DateTime m_timeLimit = 0.0;
    // The date the chart was last built on; none before the first build.
    std::optional<DateTime> m_chartDate;
    bool m_created = false;
    bool m_endingSession = false;
};

} // namespace hourlink
