// One full paint of the chart at the size it has in the main window, with a week of realistic figures.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "chart/ChartPainter.h"
#include "chart/TChart.h"
#include "platform/XcbImages.h"
#include "platform/tray/BalloonWindow.h"
#include "stats/ChartView.h"

namespace {

using namespace hourlink;

QApplication& App() {
    static int argc = 1;
    static char name[] = "ChartBench";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing it down among the static objects at exit crashes. Made as the program makes its own.
    static QApplication* app = [] {
        const XcbImagesThroughSocket images;
        return new QApplication(argc, argv);
    }();
    return *app;
}

struct Week {
    TChart chart;
    TBarSeries* bars = nullptr;
    TLineSeries* line = nullptr;

    // Chart1 exactly as the main window configures it.
    Week() {
        const ChartView view = ConfigureChart1(chart);
        bars = &view.SerieGiorno;
        line = &view.SerieMedia;
        const double hours[7] = {1.5, 3.25, 0.0, 5.75, 2.0, 8.5, 4.1};
        double sum = 0.0;
        for (int i = 0; i < 7; ++i) {
            sum += hours[i];
            bars->Add(hours[i], "1:30:00");
            line->Add(sum / (i + 1), "0:45:00");
        }
        chart.Title().Text().Add("ieri               oggi       ");
        chart.Title().Text().Add(
            "gio               ven               sab               dom               lun               mar       "
            "        mer       ");
    }
};

void BM_FullPaint(benchmark::State& state) {
    App();
    Week week;
    QImage image(553, 297, QImage::Format_RGB32);
    const QFont font = ChartFont();
    for (auto _ : state) {
        // A change first, as in the program: every paint follows a change of a value and lays out afresh.
        week.bars->SetYValue(6, 4.1 + static_cast<double>(state.iterations() % 60) / 3600.0);
        QPainter painter(&image);
        PaintChart(painter, week.chart.Layout(), font);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_FullPaint)->Unit(benchmark::kMillisecond);

// The whole picture at ratio 2, as a dense screen gets it after a resize or a change of screen.
void BM_FullPaintRatio2(benchmark::State& state) {
    App();
    Week week;
    const QFont font = ChartFont();
    for (auto _ : state) {
        week.bars->SetYValue(6, 4.1 + static_cast<double>(state.iterations() % 60) / 3600.0);
        ChartCanvas fresh; // no kept picture: everything is drawn
        benchmark::DoNotOptimize(fresh.Update(week.chart.Layout(), 2.0, font));
    }
}
BENCHMARK(BM_FullPaintRatio2)->Unit(benchmark::kMillisecond);

// One second of recording with the chart in view: the live tick's four changes, then what the event loop
// does with them: one layout, the comparison, the repaint of the changed region into the kept picture, and
// the widget's paint of that region, flushed from the backing store.
void BM_PartialRepaintOfATick(benchmark::State& state) {
    App();
    Week week;
    week.chart.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    int second = 0;
    for (auto _ : state) {
        ++second;
        const double today = 4.1 + second / 3600.0;
        week.bars->SetYValue(6, today);
        week.bars->SetPointLabel(6, "4:06:" + std::to_string(10 + second % 50));
        week.line->SetYValue(6, week.bars->YValues().TotalAbs() / 7);
        week.line->SetPointLabel(6, "3:34:" + std::to_string(10 + second % 50));
        QCoreApplication::processEvents(); // the coalesced layout and repaint, and update(region)
        QCoreApplication::processEvents(); // the paint event and the flush
    }
}
BENCHMARK(BM_PartialRepaintOfATick)->Unit(benchmark::kMillisecond);

void BM_LayoutOnly(benchmark::State& state) {
    App();
    Week week;
    for (auto _ : state) {
        benchmark::DoNotOptimize(week.chart.Layout());
    }
}
BENCHMARK(BM_LayoutOnly)->Unit(benchmark::kMicrosecond);

} // namespace

// The limit's balloon while the average grows: its text changes every few seconds, and each change is set,
// measured, placed and painted in the shown window.
void BM_BalloonTextChange(benchmark::State& state) {
    App();
    struct Quiet final : BalloonSink::Listener {
        void balloonClosed(BalloonClose) override {}
        void balloonClicked() override {}
    } listener;
    BalloonWindow window;
    window.setAnchor(QRect(1200, 780, 22, 22));
    BalloonRequest balloon{"La media connessioni \xC3\xA8 superiore al limite AUP:", "1:25:43", NIIF_INFO, 10000};
    window.show(balloon, listener);
    QCoreApplication::processEvents();
    int second = 0;
    for (auto _ : state) {
        balloon.text = "1:25:" + std::to_string(10 + second++ % 50);
        window.show(balloon, listener);
        QCoreApplication::processEvents(); // the paint of the changed text, flushed
    }
}
BENCHMARK(BM_BalloonTextChange)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
