// The picture of a grid sheet: the paper, each planned cell with its photo fitted or filled (turned when the
// fit turns it) as it will print, the file-name captions, a ring round the selected photo's cell, dashed
// outlines for cells without a photo, the cut marks and the borderless shade. It only draws, from the values
// it is given.
#pragma once

#include "PrintKit/render/layout/CellFit.h"
#include "PrintKit/render/layout/GridPlan.h"
#include "PrintKit/render/layout/GridSpec.h"
#include "QuilmPrint/model/ModelRecords.h"
#include "QuilmPrint/window/SheetGeometry.h"

#include <QImage>
#include <QRectF>
#include <QUuid>
#include <optional>
#include <vector>

class QPainter;

namespace QuilmPrint::GridCanvas {

struct Input {
    PreparedSheet sheet;
    std::optional<PrintKit::GridPlan> plan; // none: only the paper and the shade
    std::vector<GridCell> cells;            // what the model says the page's cells hold; past them: empty
    PrintKit::GridSpec spec;
    std::optional<QUuid> selectedID;
    QImage selectedImage; // the larger picture of the selected photo, when decoded
    SheetGeometry geometry;
    QRectF inView; // the part of the canvas the scroll area shows; empty: all of it
};

// Canvas points per plan pixel.
double pixelSize(const PrintKit::GridPlan& plan, const SheetGeometry& geometry);
// The caption's font size in a band of that height: a share of it, never below 4.
double captionFontSize(double bandHeight);
// A cut mark on the canvas, widened and heightened about its centre to at least one point.
QRectF markRect(const QRectF& mark);
// Where a cell's photo lands on the canvas.
QRectF frameRect(const QRectF& cell, const PrintKit::CellFit& fit, double px);
// Draws the photo into its frame with the fit's crop, turned a quarter turn clockwise when the fit turns it.
void drawPhoto(QPainter& painter, const QImage& image, const PrintKit::CellFit& fit, const QRectF& frame);

void paint(QPainter& painter, const Input& input);

} // namespace QuilmPrint::GridCanvas
