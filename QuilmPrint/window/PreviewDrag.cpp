#include "QuilmPrint/window/PreviewDrag.h"

#include "PrintKit/render/layout/Layout.h"

#include <algorithm>
#include <cmath>

namespace QuilmPrint {

QPointF handlePoint(ResizeHandle handle, const QRectF& r) {
    switch (handle) {
    case ResizeHandle::topLeft:
        return {r.left(), r.top()};
    case ResizeHandle::top:
        return {r.center().x(), r.top()};
    case ResizeHandle::topRight:
        return {r.right(), r.top()};
    case ResizeHandle::right:
        return {r.right(), r.center().y()};
    case ResizeHandle::bottomRight:
        return {r.right(), r.bottom()};
    case ResizeHandle::bottom:
        return {r.center().x(), r.bottom()};
    case ResizeHandle::bottomLeft:
        return {r.left(), r.bottom()};
    case ResizeHandle::left:
        return {r.left(), r.center().y()};
    }
    return r.topLeft();
}

bool movesLeftEdge(ResizeHandle h) {
    return h == ResizeHandle::topLeft || h == ResizeHandle::bottomLeft || h == ResizeHandle::left;
}
bool movesRightEdge(ResizeHandle h) {
    return h == ResizeHandle::topRight || h == ResizeHandle::right || h == ResizeHandle::bottomRight;
}
bool movesTopEdge(ResizeHandle h) {
    return h == ResizeHandle::topLeft || h == ResizeHandle::top || h == ResizeHandle::topRight;
}
bool movesBottomEdge(ResizeHandle h) {
    return h == ResizeHandle::bottomRight || h == ResizeHandle::bottom || h == ResizeHandle::bottomLeft;
}

namespace DragArithmetic {

PreviewDrag began(QPointF start, const PrintKit::Placement& placement, const SheetGeometry& geometry,
                  bool exactLayout, PrintKit::Size currentOffset) {
    if (exactLayout) {
        const QRectF drawn = geometry.viewRect(placement.rect);
        for (ResizeHandle handle : allResizeHandles) {
            const QPointF d = handlePoint(handle, drawn) - start;
            if (std::hypot(d.x(), d.y()) <= grabRadius) {
                return PreviewDrag::resize(handle, placement.rect);
            }
        }
    }
    if (placement.rect.contains(geometry.pagePoint(start))) {
        return PreviewDrag::move(currentOffset);
    }
    return PreviewDrag::ignored();
}

double nearest(double value, std::span<const double> candidates) {
    if (candidates.empty()) {
        return value;
    }
    double best = candidates.front();
    for (double candidate : candidates.subspan(1)) {
        if (std::abs(candidate - value) < std::abs(best - value)) {
            best = candidate;
        }
    }
    return std::abs(best - value) <= snapDistance ? best : value;
}

PrintKit::Size movedOffset(PrintKit::Size origin, QPointF translation, double scale) {
    return PrintKit::Size{origin.width + translation.x() / scale, origin.height - translation.y() / scale};
}

std::optional<PrintKit::Rect> resizeArea(const PreparedSheet& sheet, double marginMM) {
    const PrintKit::PPDPageSize page = sheet.bleed ? sheet.bleed->placingPage(sheet.page) : sheet.page;
    return PrintKit::Layout::printableArea(page, PrintKit::Margins::all(marginMM * 72 / 25.4));
}

PrintKit::Rect resized(const PreviewDrag& drag, QPointF translation, double scale, const PrintKit::Rect& area,
                       const PrintKit::PPDPageSize& page) {
    const PrintKit::Rect& start = drag.start;
    const ResizeHandle handle = drag.handle;
    const double dx = translation.x() / scale;
    const double dy = -translation.y() / scale;

    double x = start.origin.x;
    double y = start.origin.y;
    double w = start.size.width;
    double h = start.size.height;
    if (movesLeftEdge(handle)) {
        x += dx;
        w -= dx;
    }
    if (movesBottomEdge(handle)) {
        y += dy;
        h -= dy;
    }
    if (movesRightEdge(handle)) {
        w += dx;
    }
    if (movesTopEdge(handle)) {
        h += dy;
    }

    // The edge opposite the dragged one stays where it was.
    if (std::abs(w) < minimumSide) {
        w = minimumSide;
        if (movesLeftEdge(handle)) {
            x = start.maxX() - minimumSide;
        }
    }
    if (std::abs(h) < minimumSide) {
        h = minimumSide;
        y = movesBottomEdge(handle) ? start.maxY() - minimumSide : start.origin.y;
    }

    const double xs[] = {area.minX(), area.maxX(), area.midX(), 0, page.width, page.width * 0.5};
    const double ys[] = {area.minY(), area.maxY(), area.midY(), 0, page.height, page.height * 0.5};
    PrintKit::Rect r(x, y, w, h);
    if (movesLeftEdge(handle)) {
        const double n = nearest(r.minX(), xs);
        r = PrintKit::Rect(n, r.origin.y, r.size.width + (r.minX() - n), r.size.height);
    }
    if (movesRightEdge(handle)) {
        const double n = nearest(r.maxX(), xs);
        r = PrintKit::Rect(r.origin.x, r.origin.y, n - r.minX(), r.size.height);
    }
    if (movesBottomEdge(handle)) {
        const double n = nearest(r.minY(), ys);
        r = PrintKit::Rect(r.origin.x, n, r.size.width, r.size.height + (r.minY() - n));
    }
    if (movesTopEdge(handle)) {
        const double n = nearest(r.maxY(), ys);
        r = PrintKit::Rect(r.origin.x, r.origin.y, r.size.width, n - r.minY());
    }

    const double left = std::max(r.minX(), area.minX());
    const double right = std::min(r.maxX(), area.maxX());
    const double bottom = std::max(r.minY(), area.minY());
    const double top = std::min(r.maxY(), area.maxY());
    // Negated tests also refuse a rectangle that a non-finite translation turned into NaN.
    if (!(right - left >= minimumSide) || !(top - bottom >= minimumSide)) {
        return start;
    }
    return PrintKit::Rect(left, bottom, right - left, top - bottom);
}

} // namespace DragArithmetic

} // namespace QuilmPrint
