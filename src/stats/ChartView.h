#pragma once

#include "chart/TChart.h"

namespace hourlink {

// The main window's chart as its window definition has it: the chart's look and its two series.
struct ChartView {
    TBarSeries& SerieGiorno; // one bar a day, hours
    TLineSeries& SerieMedia; // the running average, hours, with a mark above each point
};

// Gives Chart1 its position, size and look, and adds SerieGiorno and SerieMedia to it, both empty.
ChartView ConfigureChart1(TChart& chart);

} // namespace hourlink
