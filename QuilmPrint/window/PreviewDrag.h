// What one pointer drag on the single-photo preview does, decided once when it starts, and the arithmetic
// that turns the pointer's whole translation into the one value handed to the model on each movement: the
// photo's new offset for a move, the snapped, clipped rectangle for a resize. Every step starts again from
// the drag's start, so a long drag accumulates no error.
#pragma once

#include "PrintKit/render/layout/Placement.h"
#include "PrintKit/support/Geometry.h"
#include "QuilmPrint/model/ModelRecords.h"
#include "QuilmPrint/window/SheetGeometry.h"

#include <QPointF>
#include <array>
#include <optional>
#include <span>

namespace QuilmPrint {

// The eight handles on the photo's frame, in drawing and grabbing order; top and bottom as seen on screen.
enum class ResizeHandle { topLeft, top, topRight, right, bottomRight, bottom, bottomLeft, left };

inline constexpr std::array<ResizeHandle, 8> allResizeHandles{
    ResizeHandle::topLeft,     ResizeHandle::top,    ResizeHandle::topRight,   ResizeHandle::right,
    ResizeHandle::bottomRight, ResizeHandle::bottom, ResizeHandle::bottomLeft, ResizeHandle::left};

// Where a handle sits on a rectangle in canvas points (y down).
QPointF handlePoint(ResizeHandle handle, const QRectF& rect);

bool movesLeftEdge(ResizeHandle handle);
bool movesRightEdge(ResizeHandle handle);
bool movesTopEdge(ResizeHandle handle);    // the page's maximum y
bool movesBottomEdge(ResizeHandle handle); // the page's minimum y

struct PreviewDrag {
    enum class Kind { move, resize, ignored };

    Kind kind = Kind::ignored;
    PrintKit::Size origin;                       // move: the photo's offset when the drag began
    ResizeHandle handle = ResizeHandle::topLeft; // resize
    PrintKit::Rect start;                        // resize: the placed rectangle when the drag began

    static PreviewDrag move(PrintKit::Size origin) { return {Kind::move, origin, {}, {}}; }
    static PreviewDrag resize(ResizeHandle handle, PrintKit::Rect start) {
        return {Kind::resize, {}, handle, start};
    }
    static PreviewDrag ignored() { return {}; }

    friend bool operator==(const PreviewDrag&, const PreviewDrag&) = default;
};

namespace DragArithmetic {

inline constexpr double grabRadius = 10;   // canvas points around a handle
inline constexpr double snapDistance = 4;  // page points
inline constexpr double minimumSide = 20;  // page points
inline constexpr double startDistance = 1; // canvas points the pointer moves before a drag begins

// In the exact layout a press near a handle resizes, even inside the photo; elsewhere a press on the photo
// moves it, and anything else is ignored until the pointer is let go.
PreviewDrag began(QPointF start, const PrintKit::Placement& placement, const SheetGeometry& geometry,
                  bool exactLayout, PrintKit::Size currentOffset);

// The value, or the candidate it snaps to within snapDistance; the earlier candidate wins a tie.
double nearest(double value, std::span<const double> candidates);

// The photo's offset after the pointer moved by `translation` canvas points (page y grows upward).
PrintKit::Size movedOffset(PrintKit::Size origin, QPointF translation, double scale);

// Where resizes may go: the printable area of the sheet (borderless: counted from the paper's edge) less the
// margin on all four sides. None when nothing is left.
std::optional<PrintKit::Rect> resizeArea(const PreparedSheet& sheet, double marginMM);

// The rectangle a resize hands to the model: dragged edges moved and snapped, held to the minimum size, and
// clipped to the area; the start rectangle when too little of it would be left inside the area.
PrintKit::Rect resized(const PreviewDrag& drag, QPointF translation, double scale, const PrintKit::Rect& area,
                       const PrintKit::PPDPageSize& page);

} // namespace DragArithmetic

} // namespace QuilmPrint
