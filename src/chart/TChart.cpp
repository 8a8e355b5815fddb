#include "chart/TChart.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QShowEvent>

#include "chart/ChartPainter.h"

namespace hourlink {

namespace {

// A drag shorter than this in either direction is a click, not a gesture.
constexpr int kMinDrag = 4;

} // namespace

TChart::TChart(QWidget* parent) : QWidget(parent), m_font(ChartFont()) {
    // The whole widget is drawn from the off-screen image; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_title.SetChangeHandler([this] { Invalidate(); });
}

TChart::~TChart() = default;

void TChart::Adopt(std::unique_ptr<TChartSeries> series) {
    series->SetChangeHandler([this] { Invalidate(); });
    m_series.push_back(std::move(series));
    Invalidate();
}

void TChart::SetSettings(const ChartSettings& settings) {
    m_settings = settings;
    Invalidate();
}

void TChart::SetFormatSettings(const FormatSettings& format) {
    m_format = format;
    Invalidate();
}

ChartState TChart::State() const {
    ChartState state;
    state.settings = &m_settings;
    state.title = &m_title;
    for (const auto& s : m_series) {
        state.series.push_back(s.get());
    }
    state.format = m_format;
    state.leftRange = m_leftRange;
    state.bottomRange = m_bottomRange;
    return state;
}

ChartLayout TChart::Layout() const {
    return ComputeChartLayout(State(), size(), m_metrics);
}

QImage TChart::Render(qreal ratio) const {
    QImage image(DeviceSize(size(), ratio), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    QPainter painter(&image);
    PaintChart(painter, Layout(), m_font);
    return image;
}

void TChart::Invalidate() {
    m_changed = true;
    // A hidden chart is brought up to date by its first paint when shown again, so no change wakes the event
    // loop while the window waits in the tray.
    if (!m_refreshPosted && isVisible()) {
        m_refreshPosted = true;
        QMetaObject::invokeMethod(this, &TChart::Refresh, Qt::QueuedConnection);
    }
}

QRegion TChart::BringUpToDate() {
    const qreal ratio = devicePixelRatioF();
    if (!m_changed && m_canvas.Fits(size(), ratio)) {
        return {};
    }
    m_changed = false;
    return m_canvas.Update(Layout(), ratio, m_font);
}

void TChart::Refresh() {
    m_refreshPosted = false;
    if (!isVisible()) {
        return; // hidden after the change: laid out when it is shown again
    }
    const QRegion changed = BringUpToDate();
    if (!changed.isEmpty()) {
        update(changed);
    }
}

void TChart::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FollowScreenChanges();
}

void TChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Invalidate();
}

void TChart::FollowScreenChanges() {
    // Moved to a screen of another density, the picture is drawn anew at its ratio.
    QWindow* handle = window()->windowHandle();
    if (handle == m_window) {
        return;
    }
    disconnect(m_screenConnection);
    m_window = handle;
    if (handle != nullptr) {
        m_screenConnection = connect(handle, &QWindow::screenChanged, this, [this] { Invalidate(); });
    }
}

QRect TChart::DragRect() const {
    return QRect(m_dragStart, m_dragNow).normalized();
}

void TChart::ZoomRect(const QRect& rect) {
    const ChartLayout layout = Layout();
    const AxisRange bottom{layout.xValueAt(rect.left()), layout.xValueAt(rect.right())};
    const AxisRange left{layout.yValueAt(rect.bottom()), layout.yValueAt(rect.top())};
    if (!(bottom.max > bottom.min) || !(left.max > left.min)) {
        return;
    }
    m_bottomRange = bottom;
    m_leftRange = left;
    Invalidate();
}

void TChart::UndoZoom() {
    m_bottomRange.reset();
    m_leftRange.reset();
    Invalidate();
}

void TChart::Pan(QPoint delta) {
    const ChartLayout layout = Layout();
    const double dx = layout.xValueAt(0) - layout.xValueAt(delta.x());
    const double dy = layout.yValueAt(0) - layout.yValueAt(delta.y());
    m_bottomRange = AxisRange{layout.bottomRange.min + dx, layout.bottomRange.max + dx};
    m_leftRange = AxisRange{layout.leftRange.min + dy, layout.leftRange.max + dy};
    if (!(m_bottomRange->max > m_bottomRange->min)) {
        m_bottomRange.reset(); // a single point has no width to pan along
    }
    Invalidate();
}

void TChart::paintEvent(QPaintEvent* event) {
    // Normally the picture is already up to date here; a first paint, a paint after the chart was hidden or a
    // change of ratio that came before its signal brings it up to date first.
    const QRegion changed = BringUpToDate();
    const QRegion missed = changed - event->region();
    if (!missed.isEmpty()) {
        update(missed);
    }
    // Qt clips this to the event's region, so only that part of the picture is copied.
    QPainter painter(this);
    painter.drawImage(0, 0, m_canvas.Image());
    if (m_drag == Drag::Zoom) {
        // Over the picture on the screen only: the kept picture stays the chart's.
        painter.setPen(QPen(Qt::black, 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(DragRect());
    }
}

void TChart::mousePressEvent(QMouseEvent* event) {
    if (m_drag != Drag::None) {
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_drag = Drag::Zoom;
    } else if (event->button() == Qt::RightButton) {
        m_drag = Drag::Pan;
        m_dragLayout = Layout();
    } else {
        return;
    }
    m_dragStart = m_dragNow = event->position().toPoint();
}

void TChart::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag == Drag::None) {
        return;
    }
    const QRect before = DragRect();
    m_dragNow = event->position().toPoint();
    if (m_drag == Drag::Zoom) {
        update(QRegion(before.adjusted(-1, -1, 1, 1)) + DragRect().adjusted(-1, -1, 1, 1));
        return;
    }
    if (m_drag == Drag::Pan) {
        // Measured against the picture at the press, so the plot follows the pointer without drifting.
        const ChartLayout& start = m_dragLayout;
        const double dx = start.xValueAt(m_dragStart.x()) - start.xValueAt(m_dragNow.x());
        const double dy = start.yValueAt(m_dragStart.y()) - start.yValueAt(m_dragNow.y());
        if (start.bottomRange.max > start.bottomRange.min) {
            m_bottomRange = AxisRange{start.bottomRange.min + dx, start.bottomRange.max + dx};
        }
        m_leftRange = AxisRange{start.leftRange.min + dy, start.leftRange.max + dy};
    }
    Invalidate();
}

void TChart::mouseReleaseEvent(QMouseEvent* event) {
    const Drag drag = m_drag;
    if (drag == Drag::None) {
        return;
    }
    if ((drag == Drag::Zoom && event->button() != Qt::LeftButton) ||
        (drag == Drag::Pan && event->button() != Qt::RightButton)) {
        return;
    }
    const QRect shown = DragRect();
    m_drag = Drag::None;
    update(shown.adjusted(-1, -1, 1, 1)); // takes the zoom rectangle off the screen
    const QPoint end = event->position().toPoint();
    if (drag == Drag::Zoom) {
        const QPoint move = end - m_dragStart;
        if (move.x() >= kMinDrag && move.y() >= kMinDrag) {
            ZoomRect(QRect(m_dragStart, end));
        } else if (move.x() <= -kMinDrag && move.y() <= -kMinDrag) {
            UndoZoom();
        }
    }
    Invalidate();
}

} // namespace hourlink
