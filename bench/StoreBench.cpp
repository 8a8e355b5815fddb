// The connection log and the recorder's tick on logs of 10^3, 10^5 and 10^6 records.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <optional>

#include "BenchLog.h"
#include "monitor/ConnectionRecorder.h"
#include "monitor/LiveUpdate.h"
#include "platform/ConnectionState.h"
#include "platform/LinuxConnectionState.h"
#include "runtime/Clock.h"
#include "runtime/Dialogs.h"
#include "stats/SevenDays.h"
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

// What the window does on every tick of a connection, without Qt: the seven live sums with the running
// connection's share of each day, the bars and averages it touches, the hint.
class LiveFiguresView final : public RecorderView {
public:
    LiveFiguresView(ConnectionLog& log, const Clock& clock) : m_log(log), m_clock(clock) {}
    void Attach(const ConnectionRecorder& recorder) { m_recorder = &recorder; }
    void SetStatus(const std::string&) override {}
    void ConnectionSaved() override {}
    void LiveUpdate() override {
        const DateTime now = m_clock.Now();
        const std::optional<RunningConnection> running =
            RunningConnection{m_recorder->ConnectionStart(), m_recorder->LastCheckpoint()};
        LiveUpdateInput input{m_recorder->TodayTotal(), true, 1.0 / 24.0, {}, {}};
        const std::vector<DateTime> days = LiveSevenDaySums(m_log, now, running);
        std::copy(days.begin(), days.end(), input.days.begin());
        input.touched = TouchedDays(now, running);
        hourlink::LiveUpdate(input, m_giorno, m_media, m_tray, m_format);
    }

private:
    class Series final : public LiveSeries {
    public:
        int Count() const override { return 7; }
        void SetYValue(int i, double v) override { m_values[static_cast<std::size_t>(i)] = v; }
        void SetPointLabel(int i, const std::string& t) override { m_labels[static_cast<std::size_t>(i)] = t; }
        double GetYValue(int i) const override { return m_values[static_cast<std::size_t>(i)]; }
        std::string GetPointLabel(int i) const override { return m_labels[static_cast<std::size_t>(i)]; }
        double TotalAbs() const override { return 0.0; }

    private:
        std::array<double, 7> m_values{};
        std::array<std::string, 7> m_labels;
    };
    class Tray final : public LiveTray {
    public:
        void SetHint(const std::string& hint) override { benchmark::DoNotOptimize(hint.data()); }
        void ShowInfoBalloon(const std::string&, const std::string& text, int) override {
            benchmark::DoNotOptimize(text.data());
        }
    };

    ConnectionLog& m_log;
    const Clock& m_clock;
    const ConnectionRecorder* m_recorder = nullptr;
    Series m_giorno;
    Series m_media;
    Tray m_tray;
    FormatSettings m_format;
};

// One tick of a connection that has run for days, with the live figures, on a tick that writes no
// checkpoint. Google Benchmark's CPU column is the CPU time of the calling thread.
void BM_RecordingTickLiveFigures(benchmark::State& state) {
    BenchFolder folder;
    bench::WriteFlappingLog(ConnectionLog::kFileName, state.range(0), kNow - 3.0);
    SilentDialogs dialogs;
    ConnectionLog log(dialogs);
    FakeConnectionState connection;
    connection.SetUp(true);
    ManualClock clock(kNow - 3.0);
    LiveFiguresView view(log, clock);
    // Up for three days: its first checkpoint comes at the first tick of the run's start, the next one
    // three days later, long after the run.
    ConnectionRecorder recorder(connection, log, clock, view, std::chrono::hours(72));
    view.Attach(recorder);
    benchmark::DoNotOptimize(log.DayConnectedTime(DateOf(kNow), 0.0)); // the start-up's read
    recorder.Tick();
    clock.AdvanceSeconds(3 * 86400.0);
    recorder.Tick();
    const std::optional<DateTime> checkpoint = recorder.LastCheckpoint();
    if (!checkpoint) {
        state.SkipWithError("the connection is not in the log");
        return;
    }
    for (auto _ : state) {
        clock.AdvanceSeconds(1.0);
        recorder.Tick();
    }
    if (recorder.LastCheckpoint() != checkpoint) {
        state.SkipWithError("a checkpoint was written inside the run");
    }
}
BENCHMARK(BM_RecordingTickLiveFigures)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The checkpoint: the running connection's record written over in place with a later end, flushed.
void BM_Checkpoint(benchmark::State& state) {
    BenchFolder folder;
    bench::WriteFlappingLog(ConnectionLog::kFileName, state.range(0), kNow - 1.0);
    SilentDialogs dialogs;
    ConnectionLog log(dialogs);
    benchmark::DoNotOptimize(log.DayConnectedTime(DateOf(kNow), 0.0));
    RunningRecord record;
    DateTime end = kNow;
    log.WriteRunning(record, kNow - 0.5, end);
    for (auto _ : state) {
        end += 1.0 / 1440.0;
        log.WriteRunning(record, kNow - 0.5, end);
    }
}
BENCHMARK(BM_Checkpoint)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The checkpoint's flush on its own: the 16-byte write before it is left out of the timing.
void BM_CheckpointFlushOnly(benchmark::State& state) {
    BenchFolder folder;
    bench::WriteFlappingLog(ConnectionLog::kFileName, state.range(0), kNow - 1.0);
    RecordFile file(ConnectionLog::kFileName, RecordFile::Mode::OpenExisting);
    file.Sync();
    const std::int64_t last = file.RecordCount() - 1;
    ConnectionRecord record{kNow - 0.5, kNow};
    for (auto _ : state) {
        state.PauseTiming();
        record.end += 1.0 / 1440.0;
        file.Seek(last);
        file.Write(record);
        state.ResumeTiming();
        file.Sync();
    }
    file.Close();
}
BENCHMARK(BM_CheckpointFlushOnly)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

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

// The program's probe while the routes and links stay as they are: it asks whether the kernel told of a change.
void BM_Probe(benchmark::State& state) {
    LinuxConnectionState connection;
    for (auto _ : state) {
        benchmark::DoNotOptimize(connection.InternetGetConnectedState());
    }
}
BENCHMARK(BM_Probe)->Unit(benchmark::kMicrosecond);

// The same answer read from the routing tables and the interfaces each time, as after a change.
void BM_ProbeReadingTheTables(benchmark::State& state) {
    LinuxConnectionState connection("/proc/net");
    for (auto _ : state) {
        benchmark::DoNotOptimize(connection.InternetGetConnectedState());
    }
}
BENCHMARK(BM_ProbeReadingTheTables)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace hourlink

BENCHMARK_MAIN();
