// What both preview canvases draw around the photos: the paper with its feed-direction label and the dashed
// outline of its printable area (drawn first), and the shade over the part of a borderless page that the
// driver prints past the paper's edges (drawn over the photos).
#pragma once

#include "QuilmPrint/model/ModelRecords.h"
#include "QuilmPrint/window/SheetGeometry.h"

#include <QColor>
#include <QPen>
#include <QRectF>
#include <optional>

class QPainter;

namespace QuilmPrint {

// A one-point-wide dashed line as the canvases draw them: square ends cut at the dash, sharp corners. The
// dash lengths are canvas points (with a pen one wide Qt's pen-width units are points).
QPen dashedPen(const QColor& colour, double dash, double gap);
// A solid line of the given width with the same ends and corners.
QPen solidPen(const QColor& colour, double width);

namespace SheetBackdrop {

QColor paperColour(); // white at level 0.96
QColor labelColour(); // white at 45 %
QColor shadeColour(); // black at 40 %

// The printable area's outline on the canvas; none when the page has no imageable area or when it covers
// the drawn sheet to within one canvas point (a borderless page).
std::optional<QRectF> printableOutline(const PreparedSheet& sheet, const SheetGeometry& geometry);
// The part of the page that lands on the paper, in page points; none for a sheet that prints nothing past
// the paper's edges.
std::optional<PrintKit::Rect> visibleRect(const PreparedSheet& sheet, const SheetGeometry& geometry);

// Where the feed-direction label of `textWidth` lies above `sheet`: centred over the part of the sheet in
// view, then moved sideways only as far as it must to lie whole in view, since the scroll bars of a zoomed
// canvas cover what is beyond. An empty `inView` is the whole canvas.
QRectF feedLabelRect(const QRectF& sheet, double textWidth, const QRectF& inView);
// Draws the paper and returns the sheet's rectangle on the canvas (empty when nothing can be drawn).
// `inView` is the part of the canvas in view, empty for all of it.
QRectF drawPaper(QPainter& painter, const PreparedSheet& sheet, const SheetGeometry& geometry,
                 const QRectF& inView = {});
// Darkens the sheet outside the visible rectangle and outlines that rectangle.
void drawBleed(QPainter& painter, const PreparedSheet& sheet, const SheetGeometry& geometry,
               const QRectF& paper);

} // namespace SheetBackdrop

} // namespace QuilmPrint
