#include "chart/ChartValueList.h"

#include <algorithm>
#include <cmath>

#include "runtime/Errors.h"

namespace hourlink {

void TChartValueList::SetMultiplier(double multiplier) {
    m_multiplier = multiplier;
    m_stale = true;
}

double TChartValueList::Value(int index) const {
    CheckIndex(index);
    return m_values[static_cast<std::size_t>(index)] * m_multiplier;
}

double TChartValueList::MinValue() const {
    Recalculate();
    return m_min;
}

double TChartValueList::MaxValue() const {
    Recalculate();
    return m_max;
}

double TChartValueList::Total() const {
    Recalculate();
    return m_total;
}

double TChartValueList::TotalAbs() const {
    Recalculate();
    return m_totalAbs;
}

int TChartValueList::InsertPosition(double stored) const {
    if (m_order == TChartListOrder::loNone) {
        return Count();
    }
    return static_cast<int>(std::upper_bound(m_values.begin(), m_values.end(), stored) - m_values.begin());
}

void TChartValueList::Insert(int index, double stored) {
    m_values.insert(m_values.begin() + index, stored);
    m_stale = true;
}

void TChartValueList::Set(int index, double stored) {
    CheckIndex(index);
    m_values[static_cast<std::size_t>(index)] = stored;
    m_stale = true;
}

void TChartValueList::Clear() {
    m_values.clear();
    m_stale = true;
}

void TChartValueList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) {
        throw EListError(index);
    }
}

void TChartValueList::Recalculate() const {
    if (!m_stale) {
        return;
    }
    m_min = m_max = m_total = m_totalAbs = 0.0;
    bool first = true;
    for (double stored : m_values) {
        const double value = stored * m_multiplier;
        if (first) {
            m_min = m_max = value;
            first = false;
        } else {
            m_min = std::min(m_min, value);
            m_max = std::max(m_max, value);
        }
        m_total += value;
        m_totalAbs += std::fabs(value);
    }
    m_stale = false;
    ++m_recalculations;
}

} // namespace hourlink
