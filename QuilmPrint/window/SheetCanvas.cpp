#include "QuilmPrint/window/SheetCanvas.h"

#include "QuilmPrint/shared/Theme.h"
#include "QuilmPrint/window/SheetBackdrop.h"

#include <QPainter>
#include <cmath>

namespace QuilmPrint::SheetCanvas {

QRectF imageRect(const QRectF& photo, const PrintKit::Rect& crop) {
    const double cw = crop.size.width;
    const double ch = crop.size.height;
    return QRectF(photo.x() - (crop.origin.x / cw) * photo.width(),
                  photo.y() - (crop.origin.y / ch) * photo.height(), photo.width() / cw, photo.height() / ch);
}

QRectF handleRect(ResizeHandle handle, const QRectF& photo) {
    const QPointF p = handlePoint(handle, photo);
    return QRectF(p.x() - handleSide / 2, p.y() - handleSide / 2, handleSide, handleSide);
}

QPainterPath guidePath(PrintKit::SnapGuides guides, const QRectF& photo, const QRectF& sheet) {
    using PrintKit::SnapGuides;
    QPainterPath path;
    auto vertical = [&](double x) {
        path.moveTo(x, sheet.top());
        path.lineTo(x, sheet.bottom());
    };
    auto horizontal = [&](double y) {
        path.moveTo(sheet.left(), y);
        path.lineTo(sheet.right(), y);
    };
    if (guides.contains(SnapGuides::left)) {
        vertical(photo.left());
    }
    if (guides.contains(SnapGuides::right)) {
        vertical(photo.right());
    }
    if (guides.contains(SnapGuides::top)) {
        horizontal(photo.top());
    }
    if (guides.contains(SnapGuides::bottom)) {
        horizontal(photo.bottom());
    }
    if (guides.contains(SnapGuides::centerX)) {
        vertical(sheet.center().x());
    }
    if (guides.contains(SnapGuides::centerY)) {
        horizontal(sheet.center().y());
    }
    return path;
}

void drawCropped(QPainter& painter, const QImage& image, const QRectF& photo, const PrintKit::Rect& crop) {
    if (image.isNull() || !crop.isFinite() || crop.size.width <= 0 || crop.size.height <= 0 ||
        !(photo.width() > 0) || !(photo.height() > 0)) {
        return;
    }
    // Drawing only the visible part of the image, instead of all of it under a clip, keeps each frame of a
    // drag cheap with a large preview image; the pixels are the same.
    const QRectF whole = imageRect(photo, crop);
    const QRectF target = whole.intersected(photo);
    if (target.isEmpty()) {
        return;
    }
    const double sx = image.width() / whole.width();
    const double sy = image.height() / whole.height();
    const QRectF source((target.x() - whole.x()) * sx, (target.y() - whole.y()) * sy, target.width() * sx,
                        target.height() * sy);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image, source);
    painter.restore();
}

void paint(QPainter& painter, const Input& input) {
    const SheetGeometry& geometry = input.geometry;
    const QRectF sheetRect = SheetBackdrop::drawPaper(painter, input.sheet, geometry, input.inView);
    if (sheetRect.isEmpty()) {
        return;
    }
    std::optional<QRectF> photo;
    if (input.placement && input.placement->rect.isFinite()) {
        photo = geometry.viewRect(input.placement->rect);
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (photo && !input.image.isNull()) {
        drawCropped(painter, input.image, *photo, input.placement->crop);
        if (input.dragging) {
            painter.setPen(solidPen(Theme::active(), 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(*photo);
        }
    }
    painter.restore();

    SheetBackdrop::drawBleed(painter, input.sheet, geometry, sheetRect);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (photo && input.showsHandles) {
        QColor frame = Theme::active();
        frame.setAlphaF(0.9);
        painter.setPen(solidPen(frame, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(*photo);
        painter.setPen(solidPen(Theme::active(), 1));
        for (ResizeHandle handle : allResizeHandles) {
            const QRectF square = handleRect(handle, *photo);
            painter.fillRect(square, Qt::white);
            painter.drawRect(square);
        }
    }
    if (photo && !input.placement->snapped.isEmpty()) {
        QColor guide = Theme::active();
        guide.setAlphaF(0.85);
        painter.setPen(dashedPen(guide, 3, 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(guidePath(input.placement->snapped, *photo, sheetRect));
    }
    painter.restore();
}

} // namespace QuilmPrint::SheetCanvas
