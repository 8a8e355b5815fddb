#pragma once

#include "chart/ChartSeries.h"
#include "chart/ChartTitle.h"
#include "runtime/Clock.h"
#include "stats/SevenDays.h"
#include "store/iodata.h"

namespace hourlink {

class TChart;

// Refills both series (seven points each, in their series' colours) and replaces the title lines.
void ApplySevenDays(TChartTitle& title, TBarSeries& serieGiorno, TLineSeries& serieMedia,
                    const SevenDayFigures& figures);
void ApplySevenDays(TChart& chart, TBarSeries& serieGiorno, TLineSeries& serieMedia, const SevenDayFigures& figures);

// Rebuilds the chart from the log, with each day's share of a running connection. All seven sums are read
// before anything is touched, so a failing read (EInOutError) leaves the series and the title as they were.
void RebuildChart(ConnectionLog& log, const Clock& clock, const FormatSettings& format, TChart& chart,
                  TBarSeries& serieGiorno, TLineSeries& serieMedia,
                  const std::optional<RunningConnection>& running = std::nullopt);

} // namespace hourlink
