#include "QuilmPrint/window/SheetGeometry.h"

#include <algorithm>
#include <cmath>

namespace QuilmPrint {

SheetGeometry::SheetGeometry(const PrintKit::PPDPageSize& page, QSizeF viewport, double zoom)
    : pageWidth(page.width), pageHeight(page.height) {
    const double fitWidth = (viewport.width() > 1 ? viewport.width() : 1) / pageWidth;
    const double fitHeight =
        (viewport.height() - labelBand > 1 ? viewport.height() - labelBand : 1) / pageHeight;
    scale = zoom * std::min(fitWidth, fitHeight);
    canvas = QSizeF(std::max(viewport.width(), pageWidth * scale),
                    std::max(viewport.height(), pageHeight * scale + labelBand));
}

QPointF SheetGeometry::origin() const {
    return QPointF((canvas.width() - pageWidth * scale) / 2,
                   labelBand + ((canvas.height() - labelBand) - pageHeight * scale) / 2);
}

QRectF SheetGeometry::viewRect(const PrintKit::Rect& r) const {
    const QPointF o = origin();
    return QRectF(o.x() + scale * r.minX(), o.y() + scale * (pageHeight - r.maxY()), scale * r.width(),
                  scale * r.height());
}

PrintKit::Point SheetGeometry::pagePoint(QPointF p) const {
    const QPointF o = origin();
    return PrintKit::Point{(p.x() - o.x()) / scale, pageHeight - (p.y() - o.y()) / scale};
}

bool SheetGeometry::isDrawable() const {
    return std::isfinite(pageWidth) && std::isfinite(pageHeight) && pageWidth > 0 && pageHeight > 0 &&
           std::isfinite(scale) && scale > 0 && std::isfinite(canvas.width()) &&
           std::isfinite(canvas.height());
}

} // namespace QuilmPrint
