#include <cstdlib>
#include <memory>

#include <gtest/gtest.h>

#include "ChartView.h"
#include "QtTestApp.h"
#include "SevenDays.h"
#include "TChart.h"
#include "TempDir.h"

namespace hourlink {
namespace {

TEST(ChartPicture, WritesRealisticWeekWhenAsked) {
    const char* path = std::getenv("HOURLINK_CHART_PNG");
    if (path == nullptr) {
        GTEST_SKIP() << "set HOURLINK_CHART_PNG to a file name to get the picture";
    }
    testing::TestApp();
    TChart chart;
    ChartView view = ConfigureChart1(chart);
    const std::vector<DateTime> sums = {1.5 / 24, 3.25 / 24, 0.0, 5.75 / 24, 2.0 / 24, 8.5 / 24, 4.1 / 24};
    ApplySevenDays(chart, view.SerieGiorno, view.SerieMedia,
                   ComputeSevenDays(sums, EncodeDateTime(2024, 3, 13, 10, 0, 0), FormatSettings{}));
    ASSERT_TRUE(chart.Render().save(path));
}

} // namespace
} // namespace hourlink
