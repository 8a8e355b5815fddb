#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace hourlink {

namespace {

// The icon's drawing on a 32-unit square; a larger picture draws the same shapes at its own size.
void PaintApplicationIcon(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    // A clock face: the time the line is up.
    p.setPen(QPen(QColor(0, 64, 160), 2));
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QRectF(2, 2, 24, 24));
    p.setPen(QPen(QColor(0, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 14), QPointF(14, 7));
    p.drawLine(QPointF(14, 14), QPointF(19, 17));
    // Three bars in the chart's colours: the days it adds up.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 128, 192));
    p.drawRect(QRectF(20, 22, 3, 8));
    p.drawRect(QRectF(24, 18, 3, 12));
    p.setBrush(QColor(255, 0, 0));
    p.drawRect(QRectF(28, 14, 3, 16));
}

constexpr int kIconSize = 32;

} // namespace

QImage ApplicationIconImage() {
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PaintApplicationIcon(p);
    p.end();
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

QImage ApplicationIconImage(int size) {
    if (size == kIconSize) {
        return ApplicationIconImage();
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    const double scale = static_cast<double>(size) / kIconSize;
    p.scale(scale, scale);
    PaintApplicationIcon(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QIcon ApplicationIcon() {
    return QIcon(QPixmap::fromImage(ApplicationIconImage()));
}

namespace {
QPixmap Glyph(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return pixmap;
}
} // namespace

QIcon CloseGlyph() {
    // An open door with the way out.
    return QIcon(Glyph([](QPainter& p) {
        p.setPen(QPen(QColor(64, 64, 64), 1));
        p.setBrush(QColor(128, 128, 0));
        p.drawRect(QRectF(3.5, 1.5, 9, 15));
        p.setBrush(QColor(255, 255, 0));
        QPainterPath door;
        door.moveTo(3.5, 1.5);
        door.lineTo(9.5, 3.5);
        door.lineTo(9.5, 17.5);
        door.lineTo(3.5, 16.5);
        door.closeSubpath();
        p.drawPath(door);
        p.setPen(QPen(QColor(0, 0, 0), 1));
        p.drawPoint(QPointF(8, 10));
    }));
}

QIcon HelpGlyph() {
    // A question mark in a blue disc.
    return QIcon(Glyph([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 160));
        p.drawEllipse(QRectF(1, 1, 16, 16));
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(255, 255, 255));
        p.drawText(QRectF(1, 1, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    }));
}

} // namespace hourlink
