#pragma once

#include <string>

#include "chart/ChartSeries.h"
#include "monitor/LiveUpdate.h"

namespace hourlink {

// The live update's view of a chart series.
class SeriesTarget final : public LiveSeries {
public:
    explicit SeriesTarget(TChartSeries& series) : m_series(series) {}
    int Count() const override { return m_series.Count(); }
    void SetYValue(int index, double value) override { m_series.SetYValue(index, value); }
    void SetPointLabel(int index, const std::string& text) override { m_series.SetPointLabel(index, text); }
    double GetYValue(int index) const override { return m_series.GetYValue(index); }
    std::string GetPointLabel(int index) const override { return m_series.GetPointLabel(index); }
    double TotalAbs() const override { return m_series.YValues().TotalAbs(); }

private:
    TChartSeries& m_series;
};

} // namespace hourlink
