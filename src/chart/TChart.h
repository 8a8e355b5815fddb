#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QWidget>
#include <QWindow>

#include "chart/ChartLayout.h"
#include "chart/ChartPainter.h"
#include "chart/ChartSeries.h"
#include "chart/ChartSettings.h"
#include "chart/ChartTitle.h"
#include "runtime/FormatSettings.h"

namespace hourlink {

// The chart component: a panel holding series, title lines and the look of walls and axes. Every change only
// marks the chart as changed, so the changes of one handler give a single layout: once control is back in the
// event loop, the picture is laid out, compared with the last one, and only the pixels that differ are drawn
// anew into the kept off-screen image (at the screen's device pixel ratio) and handed to Qt for the screen.
//
// Mouse: drag with the left button down and to the right to zoom into the dragged rectangle; drag with the
// left button up and to the left to undo the zoom; drag with the right button to pan the plot.
class TChart final : public QWidget {
public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    // The chart owns its series; the first added is drawn in the back slice and gives the axis labels first.
    template <class Series> Series& AddSeries(std::unique_ptr<Series> series) {
        Series& added = *series;
        Adopt(std::move(series));
        return added;
    }
    [[nodiscard]] int SeriesCount() const { return static_cast<int>(m_series.size()); }
    [[nodiscard]] TChartSeries& Series(int index) { return *m_series.at(static_cast<std::size_t>(index)); }

    [[nodiscard]] TChartTitle& Title() { return m_title; }
    [[nodiscard]] const TChartTitle& Title() const { return m_title; }

    [[nodiscard]] const ChartSettings& Settings() const { return m_settings; }
    void SetSettings(const ChartSettings& settings);

    // The separators of the value labels and of marks without a label.
    [[nodiscard]] const FormatSettings& GetFormatSettings() const { return m_format; }
    void SetFormatSettings(const FormatSettings& format);

    // Zooms into a rectangle of widget pixels on the plot's front plane.
    void ZoomRect(const QRect& rect);
    void UndoZoom();
    // Moves the plot's content by delta widget pixels.
    void Pan(QPoint delta);
    [[nodiscard]] bool Zoomed() const { return m_leftRange.has_value() || m_bottomRange.has_value(); }

    // Marks the chart as changed; several changes before control returns to the event loop give one layout
    // and at most one paint.
    void Invalidate();

    [[nodiscard]] ChartLayout Layout() const;
    // The current picture, drawn whole into a new image of the widget's size times the ratio.
    [[nodiscard]] QImage Render(qreal ratio = 1.0) const;
    // The kept picture, as the screen shows it once pending changes have been painted.
    [[nodiscard]] const QImage& Picture() const { return m_canvas.Image(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drag { None, Zoom, Pan };

    void Adopt(std::unique_ptr<TChartSeries> series);
    [[nodiscard]] ChartState State() const;
    // Lays out pending changes into the kept picture and answers the region drawn anew.
    QRegion BringUpToDate();
    void Refresh();
    void FollowScreenChanges();
    [[nodiscard]] QRect DragRect() const;

    std::vector<std::unique_ptr<TChartSeries>> m_series;
    TChartTitle m_title;
    ChartSettings m_settings;
    FormatSettings m_format;
    QFont m_font;
    QtChartFontMetrics m_metrics{m_font};
    ChartCanvas m_canvas;
    std::optional<AxisRange> m_leftRange;
    std::optional<AxisRange> m_bottomRange;
    bool m_changed = true;
    bool m_refreshPosted = false;
    QMetaObject::Connection m_screenConnection;
    QWindow* m_window = nullptr;

    Drag m_drag = Drag::None;
    QPoint m_dragStart;
    QPoint m_dragNow;
    ChartLayout m_dragLayout;
};

} // namespace hourlink
