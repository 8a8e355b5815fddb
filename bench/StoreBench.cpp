// The connection log and the recorder's tick on logs of 10^3, 10^5 and 10^6 records.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "BenchLog.h"
#include "monitor/ConnectionRecorder.h"
#include "platform/ConnectionState.h"
#include "platform/LinuxConnectionState.h"
#include "runtime/Clock.h"
#include "runtime/Dialogs.h"
#include "store/iodata.h"

namespace hourlink {
namespace {

class SilentDialogs final : public Dialogs {
public:
    void ShowMessage(const std::string&) override {}
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

class NoView final : public RecorderView {
public:
    void SetStatus(const std::string&) override {}
    void LiveUpdate() override {}
    void ConnectionSaved() override {}
};

// Each benchmark works in a folder of its own under the system's temporary folder.
class BenchFolder {
public:
    BenchFolder() {
        m_path = std::filesystem::temp_directory_path() / ("hourlink-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_path);
        std::filesystem::current_path(m_path);
    }
    ~BenchFolder() {
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        std::filesystem::remove_all(m_path);
    }

private:
    std::filesystem::path m_path;
};

const DateTime kNow = EncodeDateTime(2026, 12, 8, 15, 0, 0);

// A full pass over the log, as the first sum after start-up or after another program changed the log.
void BM_DayConnectedTime_FullPass(benchmark::State& state) {
    BenchFolder folder;
    bench::WriteFlappingLog(ConnectionLog::kFileName, state.range(0), kNow);
    SilentDialogs dialogs;
    for (auto _ : state) {
        ConnectionLog log(dialogs);
        benchmark::DoNotOptimize(log.DayConnectedTime(DateOf(kNow), 0.0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DayConnectedTime_FullPass)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A window not asked before, on a log the program has already read once.
void BM_DayConnectedTime_NewWindow(benchmark::State& state) {
    BenchFolder folder;
    bench::WriteFlappingLog(ConnectionLog::kFileName, state.range(0), kNow);
    SilentDialogs dialogs;
    ConnectionLog log(dialogs);
    benchmark::DoNotOptimize(log.DayConnectedTime(DateOf(kNow), 0.0));
    double offset = 0.0;
    for (auto _ : state) {
        offset += 1e-7;
        benchmark::DoNotOptimize(log.DayConnectedTime(DateOf(kNow) - 3.0, offset));
    }
}
BENCHMARK(BM_DayConnectedTime_NewWindow)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// One tick with no connection, asking the real system.
void BM_IdleTick_RealProbe(benchmark::State& state) {
    BenchFolder folder;
    SilentDialogs dialogs;
    ConnectionLog log(dialogs);
    LinuxConnectionState connection;
    ManualClock clock(kNow);
    NoView view;
    ConnectionRecorder recorder(connection, log, clock, view);
    for (auto _ : state) {
        recorder.Tick();
        if (recorder.Recording()) {
            state.SkipWithError("this machine has a default route; the tick was not idle");
            break;
        }
    }
}
BENCHMARK(BM_IdleTick_RealProbe)->Unit(benchmark::kMicrosecond);

void BM_Probe(benchmark::State& state) {
    LinuxConnectionState connection;
    for (auto _ : state) {
        benchmark::DoNotOptimize(connection.InternetGetConnectedState());
    }
}
BENCHMARK(BM_Probe)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace hourlink

BENCHMARK_MAIN();
