#pragma once

#include <QWidget>

#include "ConnectionRecorder.h"
#include "FormatSettings.h"
#include "HandlerGuard.h"
#include "iodata.h"

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
class TBarSeries;
class TBevel;
class TChart;
class TLineSeries;

inline constexpr const char* kApplicationTitle = "Pellandra Hourlink 2.0";

// What the main window needs from the world outside it.
struct MainFormServices {
    Dialogs& dialogs;
    ConnectionState& connection;
    const Clock& clock;
    FormatSettings format;
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
    void FormClose(TCloseAction& action);
    void CBoxKeyPress(QChar& key);
    void RefreshTimerTimer();
    void sbGraficoClick();
    void sbElencoClick();

    // Rebuilds the chart from the log: at start-up, on the refresh tick and when a connection ends.
    void UpdateChart();

    [[nodiscard]] bool Recording() const { return m_recorder.Recording(); }
    [[nodiscard]] DateTime TodayTotal() const { return m_recorder.TodayTotal(); }
    [[nodiscard]] bool Created() const { return m_created; }
    [[nodiscard]] const FormatSettings& Format() const { return m_format; }
    void SetFormatSettings(const FormatSettings& format);

    // Ends the program without asking, keeping the running connection: log-off, shut-down, SIGTERM.
    void EndSession();

    // Components, in the order the window declares them; each is owned by the window.
    TChart* Chart1 = nullptr;
    QTimer* MainTimer = nullptr;
    QLabel* LabelState = nullptr;
    TBarSeries* SerieGiorno = nullptr; // inside Chart1
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    // Runs a handler through the guard once the start-up sequence has finished.
    void Handle(const std::function<void()>& handler);
    [[nodiscard]] DateTime TodayTime();

    // RecorderView
    void SetStatus(const std::string& text) override;
    void LiveUpdate() override;
    void ConnectionSaved() override;

    MainFormServices m_services;
    FormatSettings m_format;
    HandlerGuard m_guard;
    ConnectionLog m_log;
    ConnectionRecorder m_recorder;
    bool m_created = false;
    bool m_endingSession = false;
};

} // namespace hourlink
