#pragma once

#include <vector>

#include "chart/TChart.h"
#include "runtime/DateTime.h"
#include "runtime/FormatSettings.h"
#include "stats/ChartView.h"
#include "stats/SevenDayChart.h"

namespace hourlink::testing {

// The week the chart tests and the picture tool draw: Wednesday 13 March 2024 at ten, hours per day,
// oldest first; day 2 without a connection, day 5 the tallest.
inline const DateTime kSampleNow = EncodeDateTime(2024, 3, 13, 10, 0, 0);
inline const std::vector<double> kSampleWeekHours = {1.5, 3.25, 0.0, 5.75, 2.0, 8.5, 4.1};

// Puts the sample week into the main window's chart as a refresh would.
inline void ShowSampleWeek(TChart& chart, ChartView& view) {
    std::vector<DateTime> sums;
    for (const double h : kSampleWeekHours) {
        sums.push_back(h / 24.0);
    }
    ApplySevenDays(chart, view.SerieGiorno, view.SerieMedia, ComputeSevenDays(sums, kSampleNow, FormatSettings{}));
}

} // namespace hourlink::testing
