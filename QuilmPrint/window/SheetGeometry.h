// How large the previewed sheet is drawn for a viewport and a zoom, where it sits on the canvas, and the one
// mapping between page points (origin bottom-left, y up) and canvas points (origin top-left, y down) that
// every drawing step and every pointer gesture of the preview goes through.
#pragma once

#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/support/Geometry.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace QuilmPrint {

struct SheetGeometry {
    // The band above the sheet kept free for the feed-direction label, in canvas points.
    static constexpr double labelBand = 18;

    double pageWidth = 0;  // points
    double pageHeight = 0; // points
    double scale = 1;      // canvas points per page point
    QSizeF canvas;         // at least the viewport; larger when the zoomed sheet does not fit

    SheetGeometry() = default;
    // zoom 1 fits the whole sheet below the label band. A viewport with no room left still computes the fit
    // as if one point were available, so the scale stays positive.
    SheetGeometry(const PrintKit::PPDPageSize& page, QSizeF viewport, double zoom);

    // The canvas point of the page's top-left corner: centred across, and centred below the label band.
    QPointF origin() const;
    QRectF viewRect(const PrintKit::Rect& pageRect) const;
    PrintKit::Point pagePoint(QPointF canvasPoint) const;
    // A page of no size or a scale that is not a positive finite number draws nothing and takes no gesture.
    bool isDrawable() const;

    friend bool operator==(const SheetGeometry& a, const SheetGeometry& b) {
        return a.pageWidth == b.pageWidth && a.pageHeight == b.pageHeight && a.scale == b.scale &&
               a.canvas.width() == b.canvas.width() && a.canvas.height() == b.canvas.height();
    }
};

} // namespace QuilmPrint
