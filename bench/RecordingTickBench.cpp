// One tick of the main timer while a connection runs, as the running program does it: the Linux
// connection-state query against the kernel, the recorder with today's time from the log, and the live
// update into the real chart's series and a tray that only keeps the hint. The probe must see a
// connection: bench/run-all.sh runs this program, as root, in a network namespace of its own with a
// veth default route up; elsewhere the benchmark stops with an error rather than time an idle tick.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include <QApplication>

#include "BenchLog.h"
#include "app/SeriesTarget.h"
#include "chart/TChart.h"
#include "monitor/ConnectionRecorder.h"
#include "monitor/LiveUpdate.h"
#include "platform/LinuxConnectionState.h"
#include "runtime/Clock.h"
#include "runtime/Dialogs.h"
#include "stats/ChartView.h"
#include "stats/SevenDayChart.h"
#include "store/iodata.h"

namespace hourlink {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "RecordingTickBench";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing it down among the static objects at exit crashes.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class SilentDialogs final : public Dialogs {
public:
    void ShowMessage(const std::string&) override {}
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

// A tray that keeps the last hint and counts the balloons.
class HintTray final : public LiveTray {
public:
    void SetHint(const std::string& text) override { hint = text; }
    void ShowInfoBalloon(const std::string&, const std::string&, int) override { ++balloons; }
    std::string hint;
    int balloons = 0;
};

// The window's part of the tick: the live update with the alert on and a limit of one hour.
class WindowView final : public RecorderView {
public:
    WindowView(ChartView& chart, ConnectionLog& log, const Clock& clock)
        : m_giorno(chart.SerieGiorno), m_media(chart.SerieMedia), m_log(log), m_clock(clock) {}
    void Attach(const ConnectionRecorder& recorder) { m_recorder = &recorder; }
    void SetStatus(const std::string&) override {}
    void LiveUpdate() override {
        // As the window does: the seven live sums with each day's share of the running connection.
        LiveUpdateInput input{m_recorder->TodayTotal(), true, 1.0 / 24.0, {}, {}};
        const DateTime now = m_clock.Now();
        const std::optional<RunningConnection> running =
            RunningConnection{m_recorder->ConnectionStart(), m_recorder->LastCheckpoint()};
        const std::vector<DateTime> days = LiveSevenDaySums(m_log, now, running);
        std::copy(days.begin(), days.end(), input.days.begin());
        input.touched = TouchedDays(now, running);
        hourlink::LiveUpdate(input, m_giorno, m_media, tray, FormatSettings{});
    }
    void ConnectionSaved() override {}
    HintTray tray;

private:
    SeriesTarget m_giorno;
    SeriesTarget m_media;
    ConnectionLog& m_log;
    const Clock& m_clock;
    const ConnectionRecorder* m_recorder = nullptr;
};

class BenchFolder {
public:
    BenchFolder() {
        m_path = std::filesystem::temp_directory_path() / ("hourlink-tick-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_path);
        std::filesystem::current_path(m_path);
    }
    ~BenchFolder() {
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        std::filesystem::remove_all(m_path);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

private:
    std::filesystem::path m_path;
};

const DateTime kNow = EncodeDateTime(2026, 12, 8, 15, 0, 0);

// The program as it runs: started on the log (today's total read, the chart built), then one tick a
// second. Today's window is answered from the sums the log object keeps, as between the 8 s refreshes
// of the running program.
void BM_RecordingTick(benchmark::State& state) {
    App();
    BenchFolder folder;
    bench::WriteFlappingLog(ConnectionLog::kFileName, state.range(0), kNow - 1.0 / 24.0);
    SilentDialogs dialogs;
    ConnectionLog log(dialogs);
    LinuxConnectionState connection;
    ManualClock clock(kNow);
    TChart chart;
    ChartView series = ConfigureChart1(chart);
    WindowView view(series, log, clock);
    ConnectionRecorder recorder(connection, log, clock, view);
    view.Attach(recorder);
    recorder.SetTodayTotal(log.DayConnectedTime(DateOf(kNow), 0.0));
    RebuildChart(log, clock, FormatSettings{}, chart, series.SerieGiorno, series.SerieMedia);
    recorder.Tick();
    if (!recorder.Recording()) {
        state.SkipWithError(
            "the probe sees no connection: run it where a default route is up (bench/run-all.sh as root)");
        return;
    }
    for (auto _ : state) {
        clock.AdvanceSeconds(1.0);
        recorder.Tick();
    }
    if (!recorder.Recording() || view.tray.hint.empty() || series.SerieGiorno.Count() != 7) {
        state.SkipWithError("the ticks did not record into a built chart");
    }
    state.counters["balloons"] = view.tray.balloons;
}
BENCHMARK(BM_RecordingTick)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace hourlink

BENCHMARK_MAIN();
