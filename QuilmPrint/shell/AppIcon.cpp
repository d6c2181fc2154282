#include "QuilmPrint/shell/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace QuilmPrint::AppIcon {

namespace {

// The drawing is laid out on a 64-unit square and scaled to the side asked for.
constexpr double unit = 64.0;

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

} // namespace

QImage paint(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (side <= 0)
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / unit, side / unit);
    painter.setPen(Qt::NoPen);

    // The tile, in the window's dark gradient, with a faint rim so it stands on a dark panel too.
    const QRectF tile(3, 3, 58, 58);
    QLinearGradient tileFill(tile.topLeft(), tile.bottomLeft());
    tileFill.setColorAt(0, rgb(58, 58, 66));
    tileFill.setColorAt(1, rgb(24, 24, 28));
    painter.setBrush(tileFill);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1.0));
    painter.drawRoundedRect(tile, 13, 13);
    painter.setPen(Qt::NoPen);

    // The sheet: white paper with the photograph inside its border.
    const QRectF sheet(17, 8, 30, 36);
    painter.setBrush(rgb(246, 246, 242));
    painter.drawRoundedRect(sheet, 1.5, 1.5);
    const QRectF photo = sheet.adjusted(3, 3, -3, -9);
    painter.save();
    painter.setClipRect(photo);
    QLinearGradient sky(photo.topLeft(), photo.bottomLeft());
    sky.setColorAt(0, rgb(10, 132, 255));
    sky.setColorAt(1, rgb(120, 190, 255));
    painter.fillRect(photo, sky);
    painter.setBrush(rgb(255, 204, 0));
    painter.drawEllipse(QPointF(photo.right() - 7, photo.top() + 6.5), 3.6, 3.6);
    QPainterPath hills;
    hills.moveTo(photo.left(), photo.bottom());
    hills.lineTo(photo.left(), photo.bottom() - 7);
    hills.lineTo(photo.left() + 8, photo.top() + 9);
    hills.lineTo(photo.left() + 13, photo.top() + 14);
    hills.lineTo(photo.left() + 18, photo.top() + 10);
    hills.lineTo(photo.right(), photo.bottom() - 5);
    hills.lineTo(photo.right(), photo.bottom());
    hills.closeSubpath();
    painter.setBrush(rgb(48, 160, 88));
    painter.drawPath(hills);
    painter.restore();

    // The printer's front hides the sheet's lower edge: the sheet is coming out of its slot.
    const QRectF front(10, 38, 44, 17);
    QLinearGradient frontFill(front.topLeft(), front.bottomLeft());
    frontFill.setColorAt(0, rgb(150, 150, 160));
    frontFill.setColorAt(1, rgb(96, 96, 106));
    painter.setBrush(frontFill);
    painter.drawRoundedRect(front, 4, 4);
    painter.setBrush(rgb(30, 30, 34));
    painter.drawRoundedRect(QRectF(15, 40.5, 34, 2.5), 1.25, 1.25);
    painter.setBrush(rgb(48, 209, 88));
    painter.drawEllipse(QPointF(47, 49), 1.8, 1.8);
    return image;
}

QIcon icon() {
    QIcon result;
    for (int side : sizes)
        result.addPixmap(QPixmap::fromImage(paint(side)));
    return result;
}

} // namespace QuilmPrint::AppIcon
