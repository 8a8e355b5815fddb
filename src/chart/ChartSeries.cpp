#include "chart/ChartSeries.h"

#include "runtime/Errors.h"

namespace hourlink {

void TChartSeries::Clear() {
    m_x.Clear();
    m_y.Clear();
    m_labels.clear();
    m_colors.clear();
    Changed();
}

int TChartSeries::Add(double value, const std::string& label, TColor color) {
    const double x = Count();
    const int index = m_x.InsertPosition(x);
    m_x.Insert(index, x);
    m_y.Insert(index, value);
    m_colors.insert(m_colors.begin() + index, color);
    m_labels.insert(m_labels.begin() + index,
                    label.empty() ? std::nullopt : std::optional<std::string>(std::in_place, label));
    Changed();
    return index;
}

void TChartSeries::SetYValue(int index, double value) {
    m_y.Set(index, value);
    Changed();
}

void TChartSeries::SetPointLabel(int index, const std::string& text) {
    CheckIndex(index);
    auto& slot = m_labels[static_cast<std::size_t>(index)];
    if (text.empty()) {
        slot.reset();
    } else {
        slot.emplace(text);
    }
    Changed();
}

double TChartSeries::GetYValue(int index) const {
    return m_y.Value(index);
}

std::string TChartSeries::GetPointLabel(int index) const {
    return HasPointLabel(index) ? *m_labels[static_cast<std::size_t>(index)] : std::string();
}

bool TChartSeries::HasPointLabel(int index) const {
    return index >= 0 && index < Count() && m_labels[static_cast<std::size_t>(index)].has_value();
}

bool TChartSeries::HasAnyLabel() const {
    for (const auto& label : m_labels) {
        if (label) {
            return true;
        }
    }
    return false;
}

TColor TChartSeries::GetPointColor(int index) const {
    CheckIndex(index);
    return m_colors[static_cast<std::size_t>(index)];
}

TColor TChartSeries::ValueColor(int index) const {
    const TColor color = GetPointColor(index);
    return color == DefaultPointColor ? m_seriesColor : color;
}

void TChartSeries::SetSeriesColor(TColor color) {
    m_seriesColor = color;
    Changed();
}

void TChartSeries::SetMarks(const TSeriesMarks& marks) {
    m_marks = marks;
    Changed();
}

void TChartSeries::SetValueFormat(const std::string& format) {
    m_valueFormat = format;
    Changed();
}

void TChartSeries::Changed() const {
    if (m_onChange) {
        m_onChange();
    }
}

void TChartSeries::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) {
        throw EListError(index);
    }
}

void TBarSeries::SetBarStyle(TBarStyle style) {
    m_barStyle = style;
    Changed();
}

void TBarSeries::SetBarWidthPercent(int percent) {
    m_barWidthPercent = percent;
    Changed();
}

void TBarSeries::SetDark3D(bool dark) {
    m_dark3D = dark;
    Changed();
}

void TBarSeries::SetBarPen(const TChartPen& pen) {
    m_barPen = pen;
    Changed();
}

void TLineSeries::SetDark3D(bool dark) {
    m_dark3D = dark;
    Changed();
}

void TLineSeries::SetLinePen(const TChartPen& pen) {
    m_linePen = pen;
    Changed();
}

} // namespace hourlink
