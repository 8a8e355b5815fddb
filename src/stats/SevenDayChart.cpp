#include "stats/SevenDayChart.h"

#include "chart/TChart.h"

namespace hourlink {

void ApplySevenDays(TChartTitle& title, TBarSeries& serieGiorno, TLineSeries& serieMedia,
                    const SevenDayFigures& figures) {
    serieGiorno.Clear();
    for (std::size_t i = 0; i < kChartDays; ++i) {
        serieGiorno.Add(figures.hours[i], figures.hourLabels[i], DefaultPointColor);
    }
    serieMedia.Clear();
    for (std::size_t i = 0; i < kChartDays; ++i) {
        serieMedia.Add(figures.averages[i], figures.averageLabels[i], DefaultPointColor);
    }
    title.Text().Clear();
    for (const std::string& line : figures.titleLines) {
        title.Text().Add(line);
    }
}

void ApplySevenDays(TChart& chart, TBarSeries& serieGiorno, TLineSeries& serieMedia, const SevenDayFigures& figures) {
    ApplySevenDays(chart.Title(), serieGiorno, serieMedia, figures);
}

void RebuildChart(ConnectionLog& log, const Clock& clock, const FormatSettings& format, TChart& chart,
                  TBarSeries& serieGiorno, TLineSeries& serieMedia, const std::optional<RunningConnection>& running) {
    const DateTime now = clock.Now();
    const std::vector<DateTime> sums = LiveSevenDaySums(log, now, running);
    ApplySevenDays(chart, serieGiorno, serieMedia, ComputeSevenDays(sums, now, format));
}

} // namespace hourlink
