#include "QuilmPrint/window/GridCanvas.h"

#include "PrintKit/render/layout/GridLayout.h"
#include "QuilmPrint/shared/Theme.h"
#include "QuilmPrint/window/SheetBackdrop.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace QuilmPrint::GridCanvas {

double pixelSize(const PrintKit::GridPlan& plan, const SheetGeometry& geometry) {
    return geometry.scale * 72 / plan.resolution;
}

double captionFontSize(double bandHeight) {
    return std::max(bandHeight * 0.62, 4.0);
}

QRectF markRect(const QRectF& mark) {
    QRectF m = mark;
    if (m.width() < 1) {
        m = QRectF(m.center().x() - 0.5, m.y(), 1, m.height());
    }
    if (m.height() < 1) {
        m = QRectF(m.x(), m.center().y() - 0.5, m.width(), 1);
    }
    return m;
}

QRectF frameRect(const QRectF& cell, const PrintKit::CellFit& fit, double px) {
    return QRectF(cell.x() + px * static_cast<double>(fit.frame.x),
                  cell.y() + px * static_cast<double>(fit.frame.y), px * static_cast<double>(fit.frame.width),
                  px * static_cast<double>(fit.frame.height));
}

void drawPhoto(QPainter& painter, const QImage& image, const PrintKit::CellFit& fit, const QRectF& frame) {
    const PrintKit::Rect& c = fit.crop;
    if (image.isNull() || !c.isFinite() || c.size.width <= 0 || c.size.height <= 0 || !(frame.width() > 0) ||
        !(frame.height() > 0)) {
        return;
    }
    const double iw = frame.width() / c.size.width;
    const double ih = frame.height() / c.size.height;
    const QRectF whole(frame.x() - iw * c.origin.x, frame.y() - ih * c.origin.y, iw, ih);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(frame, Qt::IntersectClip);
    if (!fit.rotated) {
        painter.drawImage(whole, image);
    } else {
        // The upright photo, sides swapped and centred, turned so that it covers the turned photo's
        // rectangle.
        painter.translate(whole.center());
        painter.rotate(90);
        painter.drawImage(QRectF(-ih / 2, -iw / 2, ih, iw), image);
    }
    painter.restore();
}

namespace {

void drawCaption(QPainter& painter, const QRectF& cell, double captionPx, const QString& text) {
    const QRectF band(cell.x(), cell.bottom() - captionPx, cell.width(), captionPx);
    const QRectF box = band.adjusted(band.width() * 0.03, 0, -band.width() * 0.03, 0);
    QFont font = Theme::font(captionFontSize(band.height()));
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(0.3, 0.3, 0.3));
    // As the printed strip shows it: one line, centred, shortened in the middle when too long.
    const QString line = QFontMetricsF(font).elidedText(text, Qt::ElideMiddle, box.width());
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, line);
}

} // namespace

void paint(QPainter& painter, const Input& input) {
    const SheetGeometry& geometry = input.geometry;
    const QRectF sheetRect = SheetBackdrop::drawPaper(painter, input.sheet, geometry, input.inView);
    if (sheetRect.isEmpty()) {
        return;
    }
    const PrintKit::GridPlan* plan = input.plan ? &*input.plan : nullptr;
    const double px = plan ? pixelSize(*plan, geometry) : 0;
    if (plan && !(std::isfinite(px) && px > 0)) {
        plan = nullptr;
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (plan) {
        const double captionPx = px * static_cast<double>(plan->captionHeight);
        for (std::size_t i = 0; i < plan->cells.size(); ++i) {
            const PrintKit::PixelRect& cellPixels = plan->cells[i];
            const QRectF cell = geometry.viewRect(plan->pageRect(cellPixels));
            if (i >= input.cells.size()) {
                painter.setPen(dashedPen(QColor::fromRgbF(0, 0, 0, 0.12), 3, 3));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(cell);
                continue;
            }
            const PhotoItem& photo = input.cells[i].photo;
            const bool selected = input.selectedID && *input.selectedID == photo.id;
            const QImage& image =
                selected && !input.selectedImage.isNull() ? input.selectedImage : photo.thumbnail;
            if (!image.isNull() && photo.pixelWidth > 0 && photo.pixelHeight > 0) {
                const PrintKit::CellFit fit = PrintKit::GridLayout::fit(
                    photo.pixelWidth, photo.pixelHeight, cellPixels, input.spec, plan->captionHeight);
                drawPhoto(painter, image, fit, frameRect(cell, fit, px));
            }
            if (plan->captionHeight >= 1 && input.cells[i].caption) {
                drawCaption(painter, cell, captionPx, *input.cells[i].caption);
            }
            if (selected) {
                painter.setPen(solidPen(Theme::active(), 1.5));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(cell.adjusted(-1.5, -1.5, 1.5, 1.5));
            }
        }
        for (const PrintKit::PixelRect& mark : plan->marks) {
            painter.fillRect(markRect(geometry.viewRect(plan->pageRect(mark))), Qt::black);
        }
    }
    painter.restore();

    SheetBackdrop::drawBleed(painter, input.sheet, geometry, sheetRect);
}

} // namespace QuilmPrint::GridCanvas
