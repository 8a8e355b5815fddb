#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chart/ChartColor.h"
#include "chart/ChartValueList.h"

namespace hourlink {

enum class TSeriesMarksStyle {
    smsLabel, // the point's label, or its value in the series' ValueFormat when it has none
    smsValue, // always the value
};

// The small boxes above a series' points.
struct TSeriesMarks {
    bool Visible = false;
    TSeriesMarksStyle Style = TSeriesMarksStyle::smsLabel;
    TColor BackColor = 0x80FFFF;
    TColor ArrowColor = clWhite; // the connector between the point and its box
    int ArrowLength = 8;         // pixels between the point and the box's bottom edge
    bool operator==(const TSeriesMarks&) const = default;
};

// An outline pen; always one pixel wide.
struct TChartPen {
    bool Visible = true;
    TColor Color = clBlack;
    bool operator==(const TChartPen&) const = default;
};

class TBarSeries;
class TLineSeries;

// Hands a series over as its own kind, so code that treats bars and lines differently needs no cast.
class SeriesVisitor {
public:
    virtual ~SeriesVisitor() = default;
    virtual void Visit(const TBarSeries& series) = 0;
    virtual void Visit(const TLineSeries& series) = 0;
};

// The points of one series: X and Y values, an optional label and a colour per point. Every change tells the
// owning chart, which only marks itself for repainting, so many changes in one handler give one paint.
class TChartSeries {
public:
    virtual ~TChartSeries() = default;
    TChartSeries(const TChartSeries&) = delete;
    TChartSeries& operator=(const TChartSeries&) = delete;

    // Removes every point, with its label and colour.
    void Clear();
    // Appends a point at X = Count(); an empty label is stored as none. Answers the new point's index.
    int Add(double value, const std::string& label = {}, TColor color = DefaultPointColor);
    // These three throw EListError for an index outside 0 … Count() - 1 and then change nothing.
    void SetYValue(int index, double value);
    void SetPointLabel(int index, const std::string& text);
    [[nodiscard]] double GetYValue(int index) const;
    // Empty when the point has no label or when index is not a point's.
    [[nodiscard]] std::string GetPointLabel(int index) const;
    [[nodiscard]] bool HasPointLabel(int index) const;
    // Any point with a label of its own.
    [[nodiscard]] bool HasAnyLabel() const;
    // The colour stored with the point, which may be DefaultPointColor.
    [[nodiscard]] TColor GetPointColor(int index) const;
    // The colour the point is drawn in.
    [[nodiscard]] TColor ValueColor(int index) const;

    [[nodiscard]] int Count() const { return m_y.Count(); }
    [[nodiscard]] const TChartValueList& XValues() const { return m_x; }
    [[nodiscard]] const TChartValueList& YValues() const { return m_y; }
    [[nodiscard]] TChartValueList& XValues() { return m_x; }
    [[nodiscard]] TChartValueList& YValues() { return m_y; }

    [[nodiscard]] TColor SeriesColor() const { return m_seriesColor; }
    void SetSeriesColor(TColor color);
    // Shown only in a legend, which this chart never draws.
    [[nodiscard]] const std::string& Title() const { return m_title; }
    void SetTitle(const std::string& title) { m_title = title; }
    [[nodiscard]] bool ShowInLegend() const { return m_showInLegend; }
    void SetShowInLegend(bool show) { m_showInLegend = show; }
    [[nodiscard]] const TSeriesMarks& Marks() const { return m_marks; }
    void SetMarks(const TSeriesMarks& marks);
    // The number pattern of a mark whose point has no label.
    [[nodiscard]] const std::string& ValueFormat() const { return m_valueFormat; }
    void SetValueFormat(const std::string& format);

    // Called after every change; the chart installs its redraw request here.
    void SetChangeHandler(std::function<void()> handler) { m_onChange = std::move(handler); }

    // Calls the visitor's Visit for this series' kind.
    virtual void Accept(SeriesVisitor& visitor) const = 0;

protected:
    explicit TChartSeries(TColor seriesColor) : m_seriesColor(seriesColor) {}
    void Changed() const;

private:
    void CheckIndex(int index) const;

    TChartValueList m_x{TChartListOrder::loAscending};
    TChartValueList m_y{TChartListOrder::loNone};
    std::vector<std::optional<std::string>> m_labels;
    std::vector<TColor> m_colors;

    TColor m_seriesColor;
    std::string m_title;
    bool m_showInLegend = true;
    TSeriesMarks m_marks;
    std::string m_valueFormat = "#,##0.###";
    std::function<void()> m_onChange;
};

enum class TBarStyle {
    bsRectangle,    // the front face filled in the bar's colour
    bsRectGradient, // the front face shaded from white at the bottom to the bar's colour at the top
};

// Boxes standing from 0 to each point's value, in the series' depth slice.
class TBarSeries final : public TChartSeries {
public:
    explicit TBarSeries(TColor seriesColor = clRed) : TChartSeries(seriesColor) {}
    void Accept(SeriesVisitor& visitor) const override { visitor.Visit(*this); }

    [[nodiscard]] TBarStyle BarStyle() const { return m_barStyle; }
    void SetBarStyle(TBarStyle style);
    [[nodiscard]] int BarWidthPercent() const { return m_barWidthPercent; }
    void SetBarWidthPercent(int percent);
    // Side faces darkened by 128 and top faces by 64.
    [[nodiscard]] bool Dark3D() const { return m_dark3D; }
    void SetDark3D(bool dark);
    [[nodiscard]] const TChartPen& BarPen() const { return m_barPen; }
    void SetBarPen(const TChartPen& pen);

private:
    TBarStyle m_barStyle = TBarStyle::bsRectangle;
    int m_barWidthPercent = 70;
    bool m_dark3D = true;
    TChartPen m_barPen;
};

// A ribbon from point to point through the series' depth slice; no point symbols, no stairs.
class TLineSeries final : public TChartSeries {
public:
    explicit TLineSeries(TColor seriesColor = clRed) : TChartSeries(seriesColor) {}
    void Accept(SeriesVisitor& visitor) const override { visitor.Visit(*this); }

    // Segments rising more steeply than 45 degrees darkened by 64.
    [[nodiscard]] bool Dark3D() const { return m_dark3D; }
    void SetDark3D(bool dark);
    [[nodiscard]] const TChartPen& LinePen() const { return m_linePen; }
    void SetLinePen(const TChartPen& pen);

private:
    bool m_dark3D = true;
    TChartPen m_linePen;
};

} // namespace hourlink
