// The picture of a one-photo sheet: the paper, the photo where its placement puts it and cropped as it will
// print, the borderless shade, the frame with its eight resize handles and the guides the placement snapped
// to. It only draws, from the values it is given; the preview lays the gestures over it.
#pragma once

#include "PrintKit/render/layout/Placement.h"
#include "QuilmPrint/model/ModelRecords.h"
#include "QuilmPrint/window/PreviewDrag.h"
#include "QuilmPrint/window/SheetGeometry.h"

#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <optional>

class QPainter;

namespace QuilmPrint::SheetCanvas {

inline constexpr double handleSide = 7;

struct Input {
    PreparedSheet sheet;
    QImage image; // null while no picture of the photo is decoded
    std::optional<PrintKit::Placement> placement;
    SheetGeometry geometry;
    bool dragging = false;
    bool showsHandles = false;
    QRectF inView; // the part of the canvas the scroll area shows; empty: all of it
};

// The rectangle the whole photo would cover so that its cropped part fills `photo` exactly.
QRectF imageRect(const QRectF& photo, const PrintKit::Rect& crop);
// The square drawn for a handle of the photo's frame.
QRectF handleRect(ResizeHandle handle, const QRectF& photo);
// One dashed segment per guide the placement snapped to: edge guides along the photo's edges across the whole
// sheet, centre guides along the sheet's centre lines.
QPainterPath guidePath(PrintKit::SnapGuides guides, const QRectF& photo, const QRectF& sheet);

// Draws `image` so that its part `crop` fills `photo`, nothing of it outside `photo`.
void drawCropped(QPainter& painter, const QImage& image, const QRectF& photo, const PrintKit::Rect& crop);

void paint(QPainter& painter, const Input& input);

} // namespace QuilmPrint::SheetCanvas
