#pragma once

#include <cstdint>
#include <vector>

namespace hourlink {

enum class TChartListOrder { loNone, loAscending };

// One list of numbers of a series (its X or its Y values) with a cache of its statistics. Every change marks
// the cache stale; the first read of a statistic after that recomputes all four in one pass, and further reads
// cost nothing until the next change. Values are read back as the stored number times the multiplier.
class TChartValueList {
public:
    explicit TChartValueList(TChartListOrder order) : m_order(order) {}

    [[nodiscard]] TChartListOrder Order() const { return m_order; }
    [[nodiscard]] double Multiplier() const { return m_multiplier; }
    void SetMultiplier(double multiplier);

    [[nodiscard]] int Count() const { return static_cast<int>(m_values.size()); }
    // Throws EListError for an index outside 0 … Count() - 1.
    [[nodiscard]] double Value(int index) const;

    // An empty list gives 0 for each.
    [[nodiscard]] double MinValue() const;
    [[nodiscard]] double MaxValue() const;
    [[nodiscard]] double Total() const;
    [[nodiscard]] double TotalAbs() const;

    // How many times the statistics have been recomputed, so a caller can see that the cache holds.
    [[nodiscard]] std::uint64_t Recalculations() const { return m_recalculations; }

private:
    friend class TChartSeries;

    // Where a new value goes: after the last value not greater than it in an ascending list, else at the end.
    [[nodiscard]] int InsertPosition(double stored) const;
    void Insert(int index, double stored);
    void Set(int index, double stored);
    void Clear();
    void CheckIndex(int index) const;
    void Recalculate() const;

    TChartListOrder m_order;
    double m_multiplier = 1.0;
    std::vector<double> m_values;

    mutable bool m_stale = true;
    mutable double m_min = 0.0;
    mutable double m_max = 0.0;
    mutable double m_total = 0.0;
    mutable double m_totalAbs = 0.0;
    mutable std::uint64_t m_recalculations = 0;
};

} // namespace hourlink
