#include "chart/ChartPainter.h"

#include <algorithm>
#include <cstdlib>

#include <QPen>
#include <QRegion>

namespace hourlink {

namespace {

void FillRects(QPainter& painter, const std::vector<ColorRect>& rects) {
    for (const ColorRect& r : rects) {
        painter.fillRect(r.rect, r.color);
    }
}

void DrawFace(QPainter& painter, const Face& face) {
    if (face.polygon.isEmpty()) {
        return;
    }
    painter.setBrush(face.fill ? QBrush(*face.fill) : QBrush(Qt::NoBrush));
    painter.setPen(face.outline ? QPen(*face.outline, 0) : QPen(Qt::NoPen));
    painter.drawPolygon(face.polygon);
}

void DrawText(QPainter& painter, const TextItem& text) {
    painter.setPen(text.color);
    painter.drawText(QPoint(text.box.x(), text.baseline), QString::fromStdString(text.text));
}

// Every other pixel along the polyline, the phase carried across its corners: a pen the raster engine
// does not offer for a diagonal.
void DrawSmallDots(QPainter& painter, const QPolygon& points) {
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
    painter.drawPoints(dots);
}

void DrawLine(QPainter& painter, const LineItem& line) {
    QPen pen(line.color, 0);
    if (line.style == LineStyle::SmallDots) {
        painter.setPen(pen);
        DrawSmallDots(painter, line.points);
        return;
    }
    pen.setStyle(line.style == LineStyle::DashDot ? Qt::DashDotLine : Qt::SolidLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(line.points);
}

} // namespace

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

const QImage& BackgroundCache::For(const ChartLayout& layout, QSize size) {
    std::vector<ColorRect> wanted = layout.background;
    wanted.insert(wanted.end(), layout.frame.begin(), layout.frame.end());
    if (m_image.size() != size || m_drawn != wanted) {
        m_image = QImage(size, QImage::Format_RGB32);
        m_image.fill(Qt::black);
        QPainter painter(&m_image);
        FillRects(painter, layout.background);
        FillRects(painter, layout.frame);
        m_drawn = std::move(wanted);
    }
    return m_image;
}

void PaintChart(QPainter& painter, const ChartLayout& layout, const QFont& font, BackgroundCache* cache) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(font);

    if (cache != nullptr && painter.device() != nullptr) {
        painter.drawImage(0, 0, cache->For(layout, QSize(painter.device()->width(), painter.device()->height())));
    } else {
        FillRects(painter, layout.background);
        FillRects(painter, layout.frame);
    }
    for (const TextItem& t : layout.title) {
        DrawText(painter, t);
    }
    for (const Face& wall : layout.walls) {
        DrawFace(painter, wall);
    }
    for (const LineItem& g : layout.grid) {
        DrawLine(painter, g);
    }
    if (layout.leftAxisLine) {
        painter.fillRect(layout.leftAxisLine->rect, layout.leftAxisLine->color);
    }
    if (layout.bottomAxisLine) {
        painter.fillRect(layout.bottomAxisLine->rect, layout.bottomAxisLine->color);
    }
    for (const TextItem& t : layout.leftLabels) {
        DrawText(painter, t);
    }
    for (const TextItem& t : layout.bottomLabels) {
        DrawText(painter, t);
    }

    const QRegion clip(layout.clip);
    for (const SeriesDrawing& s : layout.series) {
        painter.setClipRegion(clip);
        for (const BarItem& bar : s.bars) {
            DrawFace(painter, bar.side);
            DrawFace(painter, bar.top);
            DrawFace(painter, bar.front);
            FillRects(painter, bar.gradient);
        }
        for (const Face& ribbon : s.ribbons) {
            DrawFace(painter, ribbon);
        }
        painter.setClipping(false);
        for (const MarkItem& mark : s.marks) {
            painter.setPen(QPen(mark.connectorColor, 0));
            painter.drawLine(mark.connector);
            painter.fillRect(mark.box, mark.back);
            painter.setPen(QPen(mark.frame, 0));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(mark.box.adjusted(0, 0, -1, -1));
            for (const TextItem& t : mark.lines) {
                DrawText(painter, t);
            }
        }
    }
    painter.restore();
}

} // namespace hourlink
