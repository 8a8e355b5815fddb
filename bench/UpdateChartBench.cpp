// The chart's rebuild from the log (the main window's UpdateChart) on logs of 10^3 and 10^6 records: the seven
// sums, the figures, and the refill of both series and the title.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>

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

// A scratch directory as the working directory, holding a log of `records` half-hour connections, one an
// hour, the newest ending an hour before now.
class ScratchLog {
public:
    explicit ScratchLog(std::int64_t records)
        : m_previous(std::filesystem::current_path()),
          m_dir(std::filesystem::temp_directory_path() / ("hourlink-bench-" + std::to_string(records))) {
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        std::filesystem::current_path(m_dir);
        std::vector<double> raw;
        raw.reserve(static_cast<std::size_t>(2 * records));
        const double hour = 1.0 / 24.0;
        for (std::int64_t k = records; k >= 1; --k) {
            const double start = kNow - static_cast<double>(k) * hour - 0.5 * hour;
            raw.push_back(start);
            raw.push_back(start + 0.5 * hour);
        }
        std::FILE* f = std::fopen(ConnectionLog::kFileName, "wb");
        std::fwrite(raw.data(), sizeof(double), raw.size(), f);
        std::fclose(f);
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

// A program that has been running: the log object keeps what it learnt from earlier rebuilds.
void BM_UpdateChart(benchmark::State& state) {
    App();
    ScratchLog scratch(state.range(0));
    NoDialogs dialogs;
    ConnectionLog log(dialogs);
    ManualClock clock(kNow);
    TChart chart;
    ChartView view = ConfigureChart1(chart);
    for (auto _ : state) {
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
