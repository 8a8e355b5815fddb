// The chart's rebuild from the log (the main window's UpdateChart) on logs of 10^3 and 10^6 records over 20
// days: the seven sums, the figures, and the refill of both series and the title.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>

#include "BenchLog.h"
#include "chart/TChart.h"
#include "runtime/Clock.h"
#include "runtime/Dialogs.h"
#include "runtime/RecordFile.h"
#include "stats/ChartView.h"
#include "stats/SevenDayChart.h"

namespace {

using namespace hourlink;

QApplication& App() {
    static int argc = 1;
    static char name[] = "UpdateChartBench";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing it down among the static objects at exit crashes.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class NoDialogs final : public Dialogs {
public:
    void ShowMessage(const std::string&) override {}
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
};

const DateTime kNow = EncodeDateTime(2024, 3, 13, 10, 0, 0);

// A scratch directory as the working directory, holding a log of `records` connections spread over the
// 20 days before now, as a pruned log of a flapping link is: the chart's week reads the newest third of it.
class ScratchLog {
public:
    explicit ScratchLog(std::int64_t records)
        : m_previous(std::filesystem::current_path()),
          m_dir(std::filesystem::temp_directory_path() / ("hourlink-bench-" + std::to_string(records))) {
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        std::filesystem::current_path(m_dir);
        bench::WriteFlappingLog(ConnectionLog::kFileName, records, kNow - 1.0 / 24.0);
    }
    ~ScratchLog() {
        std::filesystem::current_path(m_previous);
        std::filesystem::remove_all(m_dir);
    }
    ScratchLog(const ScratchLog&) = delete;
    ScratchLog& operator=(const ScratchLog&) = delete;

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_dir;
};

// A program that has been running: the log object keeps what it learnt from earlier rebuilds, and the
// clock moves on 8 s between rebuilds as the refresh timer's does, so the oldest window (six days before
// now) is a new one every time while the whole days before today are known.
void BM_UpdateChart(benchmark::State& state) {
    App();
    ScratchLog scratch(state.range(0));
    NoDialogs dialogs;
    ConnectionLog log(dialogs);
    ManualClock clock(kNow);
    TChart chart;
    ChartView view = ConfigureChart1(chart);
    RebuildChart(log, clock, FormatSettings{}, chart, view.SerieGiorno, view.SerieMedia); // the start-up's
    for (auto _ : state) {
        clock.AdvanceSeconds(8.0);
        RebuildChart(log, clock, FormatSettings{}, chart, view.SerieGiorno, view.SerieMedia);
    }
    benchmark::DoNotOptimize(view.SerieMedia.GetYValue(6));
}
BENCHMARK(BM_UpdateChart)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The first rebuild after start-up: nothing known yet, the whole log read once.
void BM_UpdateChartFirst(benchmark::State& state) {
    App();
    ScratchLog scratch(state.range(0));
    NoDialogs dialogs;
    ManualClock clock(kNow);
    TChart chart;
    ChartView view = ConfigureChart1(chart);
    for (auto _ : state) {
        ConnectionLog log(dialogs);
        RebuildChart(log, clock, FormatSettings{}, chart, view.SerieGiorno, view.SerieMedia);
    }
    benchmark::DoNotOptimize(view.SerieMedia.GetYValue(6));
}
BENCHMARK(BM_UpdateChartFirst)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
