#include "QuilmPrint/window/SheetCanvas.h"

#include "PreviewTestSupport.h"
#include "PrintKit/render/layout/CanvasTurn.h"
#include "PrintKit/render/layout/Layout.h"
#include "QuilmPrint/window/SheetBackdrop.h"
#include "QuilmPrint/window/Theme.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace PreviewTest;
using PrintKit::Rect;
using PrintKit::SnapGuides;

namespace {

const QSize canvasSize(400, 500);

SheetCanvas::Input input(const PreparedSheet& sheet, double zoom = 1) {
    SheetCanvas::Input in;
    in.sheet = sheet;
    in.geometry = SheetGeometry(sheet.page, QSizeF(canvasSize), zoom);
    return in;
}

QImage paint(const SheetCanvas::Input& in) {
    return painted(in.geometry.canvas.toSize(), [&](QPainter& p) { SheetCanvas::paint(p, in); });
}

PreparedSheet letterSheet() {
    PreparedSheet sheet;
    sheet.page = letter();
    return sheet;
}

// How much of the active colour lies over `under` at a point of a one-point line: the most of the pixels on
// either side of it, since a line between two pixel rows is shared by both.
double activeCoverage(const QImage& image, QPointF p, const QColor& under) {
    double most = 0;
    for (QPointF d : {QPointF(0, 0), QPointF(-0.5, -0.5), QPointF(0.5, 0.5)}) {
        most = std::max(most, WindowTest::coverage(at(image, p + d), under, Theme::active()));
    }
    return most;
}

// Any point along a dashed segment covered well by the active colour.
bool dashedLineAt(const QImage& image, QPointF from, QPointF to, const QColor& under) {
    const int steps = int(std::hypot(to.x() - from.x(), to.y() - from.y()) * 2);
    for (int i = 0; i <= steps; ++i) {
        // A line between two pixel columns covers each about half.
        if (activeCoverage(image, from + (to - from) * (double(i) / steps), under) > 0.35) {
            return true;
        }
    }
    return false;
}

// The x in [from, to] where a row turns from red to blue: where the red coverage falls through one half,
// interpolated between pixel centres.
double crossing(const QImage& image, int from, int to, int y) {
    double previous = WindowTest::coverage(image.pixelColor(from, y), blue, red);
    for (int x = from + 1; x <= to; ++x) {
        const double share = WindowTest::coverage(image.pixelColor(x, y), blue, red);
        if (share < 0.5) {
            return x - 0.5 + (previous - 0.5) / (previous - share); // pixel centres are at x + 0.5
        }
        previous = share;
    }
    return to;
}

} // namespace

TEST(SheetCanvasTest, PaperPrintableAreaAndNothingOutsideTheSheet) {
    const SheetCanvas::Input in = input(letterSheet());
    const QImage image = paint(in);
    const QRectF sheet = in.geometry.viewRect(Rect(0, 0, 612, 792));
    const QRectF area = in.geometry.viewRect(Rect(18, 18, 576, 756));

    EXPECT_TRUE(near(at(image, sheet.center()), paper, 1));
    EXPECT_TRUE(
        near(at(image, sheet.left() + 2, sheet.top() + 2), paper, 1)); // between the edge and the area
    EXPECT_TRUE(near(at(image, sheet.left() - 2, sheet.center().y()), ground, 1));
    // The outline's first dash starts at its top-left corner and is black at 18 % over the paper.
    const QColor outline = at(image, area.left() + 1.5, area.top());
    EXPECT_LT(outline.red(), paper.red() - 10);
    EXPECT_GT(outline.red(), 150);
    EXPECT_TRUE(SheetBackdrop::printableOutline(in.sheet, in.geometry));
}

TEST(SheetCanvasTest, PrintableOutlineOnlyWhenTheAreaIsVisiblySmaller) {
    PreparedSheet sheet = letterSheet();
    sheet.page = page(612, 792, std::vector<double>{8.5, 8.5, 603.5, 783.5}); // 3 mm inside each edge
    EXPECT_TRUE(SheetBackdrop::printableOutline(sheet, SheetGeometry(sheet.page, QSizeF(612, 810), 1)));
    // Drawn 1/20 size, the 6 mm difference is less than a canvas point.
    EXPECT_FALSE(SheetBackdrop::printableOutline(sheet, SheetGeometry(sheet.page, QSizeF(30.6, 57.6), 1)));
    sheet.page.imageableArea = std::vector<double>{0, 0, 612, 792};
    EXPECT_FALSE(SheetBackdrop::printableOutline(sheet, SheetGeometry(sheet.page, QSizeF(612, 810), 1)));
    sheet.page.imageableArea.reset();
    EXPECT_FALSE(SheetBackdrop::printableOutline(sheet, SheetGeometry(sheet.page, QSizeF(612, 810), 1)));
}

TEST(SheetCanvasTest, TwoColourPhotoLandsWhereTheEnginePlacesItWithItsCrop) {
    // A 2:1 photo filling a portrait area: the engine keeps its centred middle. Its colour boundary at 40 %
    // of the photo's width lands at (0.4 - crop.x) / crop.width of the placed rectangle.
    SheetCanvas::Input in = input(letterSheet(), 1.5);
    const PrintKit::Placement placement =
        PrintKit::Layout::place(2000, 1000, letter(), {}, PrintKit::ImageFit::fill(), 360, {});
    in.placement = placement;
    in.placement->snapped = {}; // guides would cross the frame's place
    in.image = twoColour(2000, 1000, 0.4);
    const QImage image = paint(in);

    const QRectF drawn = in.geometry.viewRect(placement.rect);
    const double boundary =
        drawn.left() + (0.4 - placement.crop.minX()) / placement.crop.width() * drawn.width();
    const int y = int(drawn.center().y());
    EXPECT_NEAR(crossing(image, int(drawn.left()) + 2, int(drawn.right()) - 2, y), boundary, 1.0);
    EXPECT_TRUE(near(at(image, drawn.left() + 2, y), red, 20));
    EXPECT_TRUE(near(at(image, drawn.right() - 2, y), blue, 20));
    // Clipped to its rectangle: the paper's margin beside it stays paper.
    EXPECT_TRUE(near(at(image, drawn.left() - 3, y), paper, 2));
    EXPECT_TRUE(near(at(image, drawn.right() + 3, y), paper, 2));
}

TEST(SheetCanvasTest, ADragFramesThePhotoInTheActiveColour) {
    // At scale 1 with edges on half points, the frame's one-point line fills exactly one row of pixels.
    PreparedSheet sheet = letterSheet();
    SheetCanvas::Input in;
    in.sheet = sheet;
    in.geometry = SheetGeometry(sheet.page, QSizeF(612, 810), 1);
    PrintKit::Placement placement;
    placement.rect = Rect(100.5, 300.5, 200, 100);
    in.placement = placement;
    in.image = twoColour(40, 20, 1.0); // all red
    const QPointF frame(in.geometry.viewRect(placement.rect).left() + 20, 18 + 792 - 400.5);
    const QImage still = painted(QSize(612, 810), [&](QPainter& p) { SheetCanvas::paint(p, in); });
    EXPECT_GT(WindowTest::distance(at(still, frame), Theme::active()), 100);
    in.dragging = true;
    const QImage dragged = painted(QSize(612, 810), [&](QPainter& p) { SheetCanvas::paint(p, in); });
    EXPECT_TRUE(near(at(dragged, frame), Theme::active(), 2));
    EXPECT_TRUE(near(at(dragged, frame + QPointF(0, 1)), red, 2));
}

TEST(SheetCanvasTest, CropWiderThanThePhotoRectangleIsCutAtItsEdges) {
    // Crop (0.1, 0, 0.8, 1) on an 80-point rectangle: the whole image is 100 wide and starts 10 to the left.
    const QRectF photo(50, 60, 80, 40);
    const QRectF whole = SheetCanvas::imageRect(photo, Rect(0.1, 0, 0.8, 1));
    EXPECT_DOUBLE_EQ(whole.left(), 40);
    EXPECT_DOUBLE_EQ(whole.width(), 100);

    const QImage image = painted(QSize(200, 200), [&](QPainter& p) {
        SheetCanvas::drawCropped(p, twoColour(100, 10, 0.3), photo, Rect(0.1, 0, 0.8, 1));
    });
    // The boundary at 30 of 100 image points: 40 + 30 = 70 on the canvas.
    EXPECT_TRUE(near(at(image, 68, 80), red, 20));
    EXPECT_TRUE(near(at(image, 72, 80), blue, 20));
    EXPECT_TRUE(near(at(image, 48, 80), ground, 1));
    EXPECT_TRUE(near(at(image, 131, 80), ground, 1));
}

TEST(SheetCanvasTest, BorderlessShadeDarkensOnlyWhatPrintsPastThePaper) {
    PreparedSheet sheet;
    sheet.page = page(612 + 24, 792 + 24, std::vector<double>{0, 0, 636, 816});
    sheet.paper = letter();
    sheet.bleed = PrintKit::BorderlessBleed{Rect(12, 12, 612, 792)};
    const SheetCanvas::Input in = input(sheet);
    const QImage image = paint(in);
    const QRectF drawnSheet = in.geometry.viewRect(Rect(0, 0, 636, 816));
    const QRectF visible = in.geometry.viewRect(Rect(12, 12, 612, 792));

    const QColor shaded = at(image, (drawnSheet.left() + visible.left()) / 2, drawnSheet.center().y());
    EXPECT_NEAR(shaded.red(), 147, 3); // 245 under black at 40 %
    EXPECT_TRUE(near(at(image, visible.center()), paper, 1));
    // Its outline is white at 85 %, dashed from the top-left corner.
    EXPECT_GT(at(image, visible.left() + 2.5, visible.top()).red(), 230);
    EXPECT_FALSE(SheetBackdrop::printableOutline(sheet, in.geometry));

    // Only a paper narrower than the page by more than half a point is shaded without a bleed.
    sheet.bleed.reset();
    EXPECT_TRUE(SheetBackdrop::visibleRect(sheet, in.geometry));
    sheet.page.width = 612.4;
    EXPECT_FALSE(SheetBackdrop::visibleRect(sheet, SheetGeometry(sheet.page, QSizeF(canvasSize), 1)));
    sheet.paper.reset();
    EXPECT_FALSE(SheetBackdrop::visibleRect(sheet, in.geometry));
}

TEST(SheetCanvasTest, ExactLayoutShowsTheFrameWithEightHandles) {
    SheetCanvas::Input in = input(letterSheet(), 1);
    PrintKit::Placement placement;
    placement.rect = Rect(150, 200, 300, 200);
    in.placement = placement;
    in.showsHandles = true; // no image yet: the frame and handles still show
    const QImage image = paint(in);
    const QRectF drawn = in.geometry.viewRect(placement.rect);

    for (ResizeHandle handle : allResizeHandles) {
        const QRectF square = SheetCanvas::handleRect(handle, drawn);
        SCOPED_TRACE(static_cast<int>(handle));
        EXPECT_DOUBLE_EQ(square.width(), 7);
        EXPECT_TRUE(near(at(image, square.center()), Qt::white, 3));
        EXPECT_GT(activeCoverage(image, QPointF(square.left(), square.center().y()), paper), 0.6);
    }
    EXPECT_EQ(SheetCanvas::handleRect(ResizeHandle::topLeft, drawn).center(), drawn.topLeft());
    EXPECT_EQ(SheetCanvas::handleRect(ResizeHandle::left, drawn).center(),
              QPointF(drawn.left(), drawn.center().y()));
    // The frame between handles.
    EXPECT_GT(activeCoverage(image, QPointF(drawn.center().x() - 30, drawn.top()), paper), 0.6);
    // Without handles the frame is gone.
    in.showsHandles = false;
    EXPECT_TRUE(near(at(paint(in), drawn.center().x() - 30, drawn.top()), paper, 2));
}

TEST(SheetCanvasTest, SnapGuidesRunAlongThePhotoEdgesAndTheSheetCentre) {
    const QRectF photo(100, 150, 120, 80);
    const QRectF sheet(50, 30, 300, 400);
    const QPainterPath path = SheetCanvas::guidePath(SnapGuides::left | SnapGuides::centerY, photo, sheet);
    ASSERT_EQ(path.elementCount(), 4); // two segments
    EXPECT_EQ(QPointF(path.elementAt(0)), QPointF(100, 30));
    EXPECT_EQ(QPointF(path.elementAt(1)), QPointF(100, 430));
    EXPECT_EQ(QPointF(path.elementAt(2)), QPointF(50, 230));
    EXPECT_EQ(QPointF(path.elementAt(3)), QPointF(350, 230));

    SheetCanvas::Input in = input(letterSheet(), 1);
    PrintKit::Placement placement;
    placement.rect = Rect(18, 300, 200, 150);
    placement.snapped = SnapGuides::left | SnapGuides::centerY;
    in.placement = placement;
    const QImage image = paint(in);
    const QRectF drawn = in.geometry.viewRect(placement.rect);
    const QRectF drawnSheet = in.geometry.viewRect(Rect(0, 0, 612, 792));
    // The left guide continues above the photo; the centre guide crosses the sheet's far side; none at the
    // right.
    EXPECT_TRUE(
        dashedLineAt(image, {drawn.left(), drawnSheet.top() + 2}, {drawn.left(), drawn.top() - 2}, paper));
    EXPECT_TRUE(dashedLineAt(image, {drawnSheet.right() - 60, drawnSheet.center().y()},
                             {drawnSheet.right() - 2, drawnSheet.center().y()}, paper));
    EXPECT_FALSE(
        dashedLineAt(image, {drawn.right(), drawnSheet.top() + 2}, {drawn.right(), drawn.top() - 2}, paper));
}

TEST(SheetCanvasTest, TurnedCanvasDrawsTheSheetLyingDown) {
    PreparedSheet sheet = letterSheet();
    sheet.page = PrintKit::CanvasTurn::canvas(sheet.page);
    sheet.isTurnedCanvas = true;
    SheetCanvas::Input in = input(sheet);
    PrintKit::Placement placement =
        PrintKit::Layout::place(300, 200, sheet.page, {}, PrintKit::ImageFit::fit(), 360, {});
    in.placement = placement;
    in.image = twoColour(300, 200, 0.5);
    const QImage image = paint(in);
    const QRectF drawnSheet = in.geometry.viewRect(Rect(0, 0, 792, 612));
    EXPECT_GT(drawnSheet.width(), drawnSheet.height());
    // The upright photo (below the centre guide): red on the left half of its rectangle, blue on the right.
    const QRectF drawn = in.geometry.viewRect(placement.rect);
    const double y = drawn.center().y() + 20;
    EXPECT_TRUE(near(at(image, drawnSheet.left() + 2, y), paper, 1));
    EXPECT_TRUE(near(at(image, drawn.left() + drawn.width() * 0.25, y), red, 20));
    EXPECT_TRUE(near(at(image, drawn.left() + drawn.width() * 0.75, y), blue, 20));
    WindowTest::saveArtifact(image, "sheet-canvas-turned");
}

TEST(SheetCanvasTest, ASheetOfNoSizeDrawsNothing) {
    PreparedSheet sheet;
    sheet.page = page(0, 0);
    SheetCanvas::Input in;
    in.sheet = sheet;
    in.geometry = SheetGeometry(sheet.page, QSizeF(100, 100), 1);
    PrintKit::Placement placement;
    placement.rect = Rect(0, 0, 10, 10);
    in.placement = placement;
    in.image = twoColour(10, 10, 0.5);
    const QImage image = painted(QSize(100, 100), [&](QPainter& p) { SheetCanvas::paint(p, in); });
    for (QPoint p : {QPoint(50, 50), QPoint(1, 1), QPoint(99, 99)}) {
        EXPECT_TRUE(near(image.pixelColor(p), ground, 0));
    }
}
