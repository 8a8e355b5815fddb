#include "chart/ChartPainter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QPen>
#include <QPolygonF>
#include <QRegion>

#include "chart/ChartDiff.h"

namespace hourlink {

namespace {

// How 1-pixel pens are drawn. At ratio 1 by Qt's cosmetic pen, as the picture has always been drawn; at
// any other ratio as a pen one logical pixel wide along the centre of the pixel row or column, so a line at
// x covers the same device pixels as a fill of the logical column x, and the outlines keep their place on the
// edges of the fills beside them.
class Pens {
public:
    explicit Pens(QPainter& painter, const QRegion* only)
        : m_painter(painter), m_only(only),
          m_scaled(painter.device() != nullptr && painter.device()->devicePixelRatioF() != 1.0) {}

    [[nodiscard]] bool Scaled() const { return m_scaled; }
    // Whether an element with these bounds can touch the pixels being repainted.
    [[nodiscard]] bool Wanted(const QRect& bounds) const { return m_only == nullptr || m_only->intersects(bounds); }

    void Pen(const QColor& color, Qt::PenStyle style = Qt::SolidLine, Qt::PenJoinStyle join = Qt::MiterJoin) const {
        if (m_scaled) {
            QPen pen(QBrush(color), 1.0, style, Qt::SquareCap, join);
            // Square corners stay whole; the spike of a sharp corner (a steep ribbon, a flat bar's outline
            // turning back on itself) is cut one pixel from its point, which its bounds allow for.
            pen.setMiterLimit(1.0);
            m_painter.setPen(pen);
        } else {
            QPen pen(color, 0);
            pen.setStyle(style);
            m_painter.setPen(pen);
        }
    }
    [[nodiscard]] QPolygonF Along(const QPolygon& points) const {
        return m_scaled ? QPolygonF(points).translated(0.5, 0.5) : QPolygonF(points);
    }

private:
    QPainter& m_painter;
    const QRegion* m_only;
    bool m_scaled;
};

void FillRects(QPainter& painter, const std::vector<ColorRect>& rects) {
    for (const ColorRect& r : rects) {
        painter.fillRect(r.rect, r.color);
    }
}

// Fills the parts of the rects inside a region, rectangle by rectangle of the region, with no clip to work
// through.
void FillRectsIn(QPainter& painter, const std::vector<ColorRect>& rects, const QRegion& region) {
    for (const QRect& part : region) {
        for (const ColorRect& r : rects) {
            const QRect piece = r.rect & part;
            if (!piece.isEmpty()) {
                painter.fillRect(piece, r.color);
            }
        }
    }
}

void DrawFace(QPainter& painter, const Pens& pens, const Face& face) {
    if (face.polygon.isEmpty()) {
        return;
    }
    if (!pens.Scaled()) {
        painter.setBrush(face.fill ? QBrush(*face.fill) : QBrush(Qt::NoBrush));
        painter.setPen(face.outline ? QPen(*face.outline, 0) : QPen(Qt::NoPen));
        painter.drawPolygon(face.polygon);
        return;
    }
    if (face.fill) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(*face.fill);
        painter.drawPolygon(face.polygon);
    }
    if (face.outline) {
        // A slanted face (a ribbon, the floor) gets bevelled corners: no spike past its ends and out of the
        // region its bounds give.
        bool square = true;
        for (int i = 0; i < face.polygon.size() && square; ++i) {
            const QPoint a = face.polygon[i];
            const QPoint b = face.polygon[(i + 1) % face.polygon.size()];
            square = a.x() == b.x() || a.y() == b.y();
        }
        pens.Pen(*face.outline, Qt::SolidLine, square ? Qt::MiterJoin : Qt::BevelJoin);
        painter.setBrush(Qt::NoBrush);
        painter.drawPolygon(pens.Along(face.polygon));
    }
}

void DrawText(QPainter& painter, const TextItem& text) {
    painter.setPen(text.color);
    painter.drawText(QPoint(text.box.x(), text.baseline), QString::fromStdString(text.text));
}

// Every other pixel along the polyline, the phase carried across its corners: a pen the raster engine
// does not offer for a diagonal.
QPolygon SmallDots(const QPolygon& points) {
    QPolygon dots;
    int phase = 0;
    for (int s = 1; s < points.size(); ++s) {
        const QPoint a = points[s - 1];
        const QPoint b = points[s];
        const int dx = b.x() - a.x();
        const int dy = b.y() - a.y();
        const int steps = std::max(std::abs(dx), std::abs(dy));
        for (int i = s == 1 ? 0 : 1; i <= steps; ++i) {
            if (phase++ % 2 == 0) {
                const int x = steps == 0 ? a.x() : a.x() + (dx * i + (dx >= 0 ? steps : -steps) / 2) / steps;
                const int y = steps == 0 ? a.y() : a.y() + (dy * i + (dy >= 0 ? steps : -steps) / 2) / steps;
                dots << QPoint(x, y);
            }
        }
    }
    return dots;
}

void DrawLine(QPainter& painter, const Pens& pens, const LineItem& line) {
    if (line.style == LineStyle::SmallDots) {
        const QPolygon dots = SmallDots(line.points);
        if (pens.Scaled()) {
            // A dot is one logical pixel, as wide as the other lines.
            for (const QPoint& dot : dots) {
                painter.fillRect(QRect(dot, QSize(1, 1)), line.color);
            }
        } else {
            painter.setPen(QPen(line.color, 0));
            painter.drawPoints(dots);
        }
        return;
    }
    pens.Pen(line.color, line.style == LineStyle::DashDot ? Qt::DashDotLine : Qt::SolidLine);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(pens.Along(line.points));
}

void DrawMark(QPainter& painter, const Pens& pens, const MarkItem& mark) {
    pens.Pen(mark.connectorColor);
    painter.drawLine(pens.Scaled() ? QLineF(mark.connector).translated(0.5, 0.5) : QLineF(mark.connector));
    painter.fillRect(mark.box, mark.back);
    pens.Pen(mark.frame);
    painter.setBrush(Qt::NoBrush);
    if (pens.Scaled()) {
        painter.drawRect(QRectF(mark.box).adjusted(0.5, 0.5, -0.5, -0.5));
    } else {
        painter.drawRect(mark.box.adjusted(0, 0, -1, -1));
    }
    for (const TextItem& t : mark.lines) {
        DrawText(painter, t);
    }
}

} // namespace

QSize DeviceSize(QSize logical, qreal ratio) {
    return {static_cast<int>(std::ceil(logical.width() * ratio - 1e-9)),
            static_cast<int>(std::ceil(logical.height() * ratio - 1e-9))};
}

QFont ChartFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    // Plain pixels in the exact text colour, as the chart's texts have always been drawn.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

int QtChartFontMetrics::textWidth(const std::string& text) const {
    const auto known = m_widths.find(text);
    if (known != m_widths.end()) {
        return known->second;
    }
    const int width = m_metrics.horizontalAdvance(QString::fromStdString(text));
    if (m_widths.size() > 512) {
        m_widths.clear(); // the texts of a day are few; this only keeps the table from growing forever
    }
    m_widths.emplace(text, width);
    return width;
}

void PaintChart(QPainter& painter, const ChartLayout& layout, const QFont& font, const QRegion* only) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(font);
    const Pens pens(painter, only);
    if (only != nullptr) {
        painter.setClipRegion(*only);
    }

    // A repaint of a small region draws only the pieces of the background bands inside it.
    if (only != nullptr) {
        FillRectsIn(painter, layout.background, *only);
        FillRectsIn(painter, layout.frame, *only);
    } else {
        FillRects(painter, layout.background);
        FillRects(painter, layout.frame);
    }
    for (const TextItem& t : layout.title) {
        if (pens.Wanted(Bounds(t))) {
            DrawText(painter, t);
        }
    }
    for (const Face& wall : layout.walls) {
        DrawFace(painter, pens, wall);
    }
    for (const LineItem& g : layout.grid) {
        if (pens.Wanted(Bounds(g))) {
            DrawLine(painter, pens, g);
        }
    }
    if (layout.leftAxisLine) {
        painter.fillRect(layout.leftAxisLine->rect, layout.leftAxisLine->color);
    }
    if (layout.bottomAxisLine) {
        painter.fillRect(layout.bottomAxisLine->rect, layout.bottomAxisLine->color);
    }
    for (const TextItem& t : layout.leftLabels) {
        if (pens.Wanted(Bounds(t))) {
            DrawText(painter, t);
        }
    }
    for (const TextItem& t : layout.bottomLabels) {
        if (pens.Wanted(Bounds(t))) {
            DrawText(painter, t);
        }
    }

    const QRegion clip = only != nullptr ? QRegion(layout.clip) & *only : QRegion(layout.clip);
    for (const SeriesDrawing& s : layout.series) {
        painter.setClipRegion(clip);
        for (const BarItem& bar : s.bars) {
            if (!pens.Wanted(Bounds(bar))) {
                continue;
            }
            DrawFace(painter, pens, bar.side);
            DrawFace(painter, pens, bar.top);
            DrawFace(painter, pens, bar.front);
            if (bar.gradient) {
                FillRects(painter, GradientBands(*bar.gradient));
            }
        }
        for (const Face& ribbon : s.ribbons) {
            if (pens.Wanted(Bounds(ribbon))) {
                DrawFace(painter, pens, ribbon);
            }
        }
        if (only != nullptr) {
            painter.setClipRegion(*only);
        } else {
            painter.setClipping(false);
        }
        for (const MarkItem& mark : s.marks) {
            if (pens.Wanted(Bounds(mark))) {
                DrawMark(painter, pens, mark);
            }
        }
    }
    painter.restore();
}

bool ChartCanvas::Fits(QSize logical, qreal ratio) const {
    return m_last.has_value() && m_last->size == logical && m_image.devicePixelRatio() == ratio &&
           m_image.size() == DeviceSize(logical, ratio);
}

QRegion ChartCanvas::Update(ChartLayout layout, qreal ratio, const QFont& font) {
    const bool whole = !Fits(layout.size, ratio);
    if (whole) {
        m_image = QImage(DeviceSize(layout.size, ratio), QImage::Format_RGB32);
        m_image.setDevicePixelRatio(ratio);
        // The background covers every device pixel at a whole ratio; a fractional one leaves part of the last
        // device row and column uncovered.
        if (ratio != std::floor(ratio)) {
            m_image.fill(Qt::black);
        }
    }
    const QRegion changed = whole ? QRegion(QRect(QPoint(0, 0), layout.size)) : ChangedRegion(*m_last, layout);
    if (!changed.isEmpty()) {
        QPainter painter(&m_image);
        PaintChart(painter, layout, font, whole ? nullptr : &changed);
    }
    m_last = std::move(layout);
    return changed;
}

} // namespace hourlink
