#include "app/AppIcon.h"

#include <functional>

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace hourlink {

namespace {

// The icon drawn at `size` pixels: the same picture on a 32-unit grid, so a dense screen gets its own pixels
// instead of the 32-pixel image blown up.
QImage IconAt(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
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
    p.end();
    return image;
}

// The glyphs are drawn for the ratios of common screens; the icon engine picks the nearest.
constexpr double kGlyphScales[] = {1.0, 1.25, 1.5, 2.0, 3.0};
constexpr int kGlyphSize = 18;

QIcon Glyph(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (const double scale : kGlyphScales) {
        const int side = static_cast<int>(kGlyphSize * scale + 0.5);
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(side / static_cast<double>(kGlyphSize), side / static_cast<double>(kGlyphSize));
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QImage ApplicationIconImage() {
    return IconAt(32).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

QImage ApplicationIconImage(int size) {
    return size == 32 ? ApplicationIconImage() : IconAt(size);
}

QIcon ApplicationIcon() {
    QIcon icon(QPixmap::fromImage(ApplicationIconImage()));
    for (const int size : {48, 64, 96, 128}) {
        icon.addPixmap(QPixmap::fromImage(IconAt(size)));
    }
    return icon;
}

QIcon CloseGlyph() {
    // An open door with the way out.
    return Glyph([](QPainter& p) {
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
    });
}

QIcon HelpGlyph() {
    // A question mark in a blue disc.
    return Glyph([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 160));
        p.drawEllipse(QRectF(1, 1, 16, 16));
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(255, 255, 255));
        p.drawText(QRectF(1, 1, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    });
}

} // namespace hourlink
