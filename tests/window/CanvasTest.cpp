// The sheet and grid canvases painted into images and read at computed pixels.
#include "PreviewTestSupport.h"
#include "PrintKit/render/layout/CanvasTurn.h"
#include "PrintKit/render/layout/GridLayout.h"
#include "PrintKit/render/layout/Layout.h"
#include "QuilmPrint/shared/Theme.h"
#include "QuilmPrint/window/GridCanvas.h"
#include "QuilmPrint/window/SheetBackdrop.h"
#include "QuilmPrint/window/SheetCanvas.h"
#include "shared/WindowTestSupport.h"

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
    for (QPointF d : {QPointF(0, 0), QPointF(-0.5, -0.5), QPointF(0.5, 0.5)})
        most = std::max(most, WindowTest::coverage(at(image, p + d), under, Theme::active()));
    return most;
}

// Any point along a dashed segment covered well by the active colour.
bool dashedLineAt(const QImage& image, QPointF from, QPointF to, const QColor& under) {
    const int steps = int(std::hypot(to.x() - from.x(), to.y() - from.y()) * 2);
    for (int i = 0; i <= steps; ++i) {
        // A line between two pixel columns covers each about half.
        if (activeCoverage(image, from + (to - from) * (double(i) / steps), under) > 0.35)
            return true;
    }
    return false;
}

// The x in [from, to] where a row turns from red to blue: where the red coverage falls through one half,
// interpolated between pixel centres.
double crossing(const QImage& image, int from, int to, int y) {
    double previous = WindowTest::coverage(image.pixelColor(from, y), blue, red);
    for (int x = from + 1; x <= to; ++x) {
        const double share = WindowTest::coverage(image.pixelColor(x, y), blue, red);
        if (share < 0.5)
            return x - 0.5 + (previous - 0.5) / (previous - share); // pixel centres are at x + 0.5
        previous = share;
    }
    return to;
}
} // namespace

TEST(SheetCanvasTest, PaperPrintableAreaAndNothingOutsideTheSheet) {
    // A sheet of no size draws nothing at all.
    SheetCanvas::Input none = input(letterSheet());
    none.sheet.page = page(0, 0);
    none.geometry = SheetGeometry(none.sheet.page, QSizeF(100, 100), 1);
    none.placement = PrintKit::Placement{};
    none.placement->rect = Rect(0, 0, 10, 10);
    none.image = twoColour(10, 10, 0.5);
    const QImage blank = painted(QSize(100, 100), [&](QPainter& p) { SheetCanvas::paint(p, none); });
    for (QPoint p : {QPoint(50, 50), QPoint(1, 1), QPoint(99, 99)})
        EXPECT_TRUE(near(blank.pixelColor(p), ground, 0));
    const SheetCanvas::Input in = input(letterSheet());
    const QImage image = paint(in);
    const QRectF sheet = in.geometry.viewRect(Rect(0, 0, 612, 792));
    const QRectF area = in.geometry.viewRect(Rect(18, 18, 576, 756));
    EXPECT_TRUE(near(at(image, sheet.center()), paper, 1));
    EXPECT_TRUE(near(at(image, sheet.left() + 2, sheet.top() + 2), paper, 1)); // between edge and area
    EXPECT_TRUE(near(at(image, sheet.left() - 2, sheet.center().y()), ground, 1));
    // The outline's first dash starts at its top-left corner and is black at 18 % over the paper.
    const QColor outline = at(image, area.left() + 1.5, area.top());
    EXPECT_LT(outline.red(), paper.red() - 10);
    EXPECT_GT(outline.red(), 150);
    EXPECT_TRUE(SheetBackdrop::printableOutline(in.sheet, in.geometry));
    // The outline only where the area is visibly smaller.
    PreparedSheet inset = letterSheet();
    inset.page = page(612, 792, std::vector<double>{8.5, 8.5, 603.5, 783.5}); // 3 mm inside each edge
    EXPECT_TRUE(SheetBackdrop::printableOutline(inset, SheetGeometry(inset.page, QSizeF(612, 810), 1)));
    // Drawn 1/20 size, the 6 mm difference is less than a canvas point.
    EXPECT_FALSE(SheetBackdrop::printableOutline(inset, SheetGeometry(inset.page, QSizeF(30.6, 57.6), 1)));
    inset.page.imageableArea = std::vector<double>{0, 0, 612, 792};
    EXPECT_FALSE(SheetBackdrop::printableOutline(inset, SheetGeometry(inset.page, QSizeF(612, 810), 1)));
    inset.page.imageableArea.reset();
    EXPECT_FALSE(SheetBackdrop::printableOutline(inset, SheetGeometry(inset.page, QSizeF(612, 810), 1)));
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
    SheetCanvas::Input in;
    in.sheet = letterSheet();
    in.geometry = SheetGeometry(in.sheet.page, QSizeF(612, 810), 1);
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

TEST(SheetCanvasTest, ExactLayoutShowsTheFrameWithEightHandlesAndSnapGuides) {
    SheetCanvas::Input in = input(letterSheet(), 1);
    PrintKit::Placement placement;
    placement.rect = Rect(150, 200, 300, 200);
    in.placement = placement;
    in.showsHandles = true; // no image yet: the frame and handles still show
    const QImage image = paint(in);
    const QRectF drawn = in.geometry.viewRect(placement.rect);
    for (ResizeHandle handle : allResizeHandles) {
        const QRectF square = SheetCanvas::handleRect(handle, drawn);
        EXPECT_DOUBLE_EQ(square.width(), 7);
        EXPECT_TRUE(near(at(image, square.center()), Qt::white, 3)) << int(handle);
        EXPECT_GT(activeCoverage(image, QPointF(square.left(), square.center().y()), paper), 0.6)
            << int(handle);
    }
    EXPECT_EQ(SheetCanvas::handleRect(ResizeHandle::topLeft, drawn).center(), drawn.topLeft());
    EXPECT_EQ(SheetCanvas::handleRect(ResizeHandle::left, drawn).center(),
              QPointF(drawn.left(), drawn.center().y()));
    EXPECT_GT(activeCoverage(image, QPointF(drawn.center().x() - 30, drawn.top()), paper), 0.6); // the frame
    // Snapped: the left guide continues above the photo, the centre guide crosses the sheet's far side; none
    // at the right. Without handles the frame is gone.
    in.showsHandles = false;
    in.placement->snapped = SnapGuides::left | SnapGuides::centerY;
    const QImage guides = paint(in);
    EXPECT_TRUE(near(at(guides, drawn.center().x() - 30, drawn.top()), paper, 2));
    const QRectF sheet = in.geometry.viewRect(Rect(0, 0, 612, 792));
    EXPECT_TRUE(
        dashedLineAt(guides, {drawn.left(), sheet.top() + 2}, {drawn.left(), drawn.top() - 2}, paper));
    EXPECT_TRUE(dashedLineAt(guides, {sheet.right() - 60, sheet.center().y()},
                             {sheet.right() - 2, sheet.center().y()}, paper));
    EXPECT_FALSE(
        dashedLineAt(guides, {drawn.right(), sheet.top() + 2}, {drawn.right(), drawn.top() - 2}, paper));
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

namespace {
const QColor green(40, 200, 60);

PhotoItem photo(const char* name, int width, int height, QImage thumbnail) {
    return PhotoItem{QUuid::createUuid(), std::filesystem::path("/photos") / name, width, height,
                     std::move(thumbnail)};
}

// 2.5 × 3.5 inch cells on Letter: turned, 2 × 4 of them fit where 3 × 2 would unturned.
struct Page {
    GridCanvas::Input in;
    QImage image;
    Page() {
        in.sheet.page = letter();
        in.spec = PrintKit::GridSpec::make(180, 252, 9, true, false, true, true, true);
        in.plan = PrintKit::GridLayout::plan(in.sheet.page, {}, in.spec, 360);
        in.geometry = SheetGeometry(in.sheet.page, QSizeF(800, 1000), 1);
        const std::vector<PhotoItem> photos = {
            photo("upright.jpg", 200, 300, twoColour(200, 300, 0.5, true)), // red above blue
            photo("wide.jpg", 300, 200, twoColour(300, 200, 0.5)),          // red left of blue
            photo("no-thumbnail.jpg", 300, 200, QImage()),
            photo("selected.jpg", 300, 200, twoColour(300, 200, 0.5)),
            photo("fifth.jpg", 300, 200, twoColour(300, 200, 1.0)),
            photo("sixth.jpg", 300, 200, twoColour(300, 200, 1.0)),
        };
        for (const PhotoItem& p : photos)
            in.cells.push_back(GridCell{p, p.name()});
        in.selectedID = in.cells[3].photo.id;
        QImage larger(600, 400, QImage::Format_RGB32);
        larger.fill(green);
        in.selectedImage = larger;
        image = painted(QSize(800, 1000), [&](QPainter& p) { GridCanvas::paint(p, in); });
    }
    QRectF cell(std::size_t i) const { return in.geometry.viewRect(in.plan->pageRect(in.plan->cells[i])); }
    QRectF frame(std::size_t i) const {
        const PhotoItem& p = in.cells[i].photo;
        const auto fit = PrintKit::GridLayout::fit(p.pixelWidth, p.pixelHeight, in.plan->cells[i], in.spec,
                                                   in.plan->captionHeight);
        return GridCanvas::frameRect(cell(i), fit, GridCanvas::pixelSize(*in.plan, in.geometry));
    }
    QRectF captionBand(std::size_t i) const {
        const double band = GridCanvas::pixelSize(*in.plan, in.geometry) * double(in.plan->captionHeight);
        const QRectF c = cell(i);
        return QRectF(c.left(), c.bottom() - band, c.width(), band);
    }
    // Any pixel of the band clearly darker than the paper: caption text.
    bool hasText(std::size_t i) const {
        const QRectF band = captionBand(i).adjusted(2, 1, -2, -1);
        for (int y = int(band.top()); y < int(band.bottom()); ++y)
            for (int x = int(band.left()); x < int(band.right()); ++x)
                if (image.pixelColor(x, y).red() < 180)
                    return true;
        return false;
    }
};
} // namespace

TEST(GridCanvasTest, TurnedCellsCaptionsEmptyCellsAndCutMarks) {
    Page page;
    ASSERT_TRUE(page.in.plan->turned);
    ASSERT_EQ(page.in.plan->count(), 8);
    WindowTest::saveArtifact(page.image, "grid-canvas");
    // The upright photo is turned a quarter turn clockwise into its wide cell: its top (red) on the right.
    const QRectF upright = page.frame(0);
    EXPECT_GT(upright.width(), upright.height());
    EXPECT_TRUE(
        near(at(page.image, upright.left() + upright.width() * 0.25, upright.center().y()), blue, 20));
    EXPECT_TRUE(near(at(page.image, upright.left() + upright.width() * 0.75, upright.center().y()), red, 20));
    // The wide photo stays as it is.
    const QRectF wide = page.frame(1);
    EXPECT_TRUE(near(at(page.image, wide.left() + wide.width() * 0.25, wide.center().y()), red, 20));
    EXPECT_TRUE(near(at(page.image, wide.left() + wide.width() * 0.75, wide.center().y()), blue, 20));
    // The selected photo is drawn from its larger image and ringed in the active colour.
    EXPECT_TRUE(near(at(page.image, page.frame(3).center()), green, 6));
    const QRectF selected = page.cell(3);
    EXPECT_GT(WindowTest::coverage(at(page.image, selected.left() - 1.5, selected.center().y()), paper,
                                   Theme::active()),
              0.7);
    EXPECT_TRUE(near(at(page.image, page.cell(1).left() - 1.5, page.cell(1).center().y()), paper, 2));
    // A photo without a picture leaves its cell blank but keeps its caption.
    EXPECT_TRUE(near(at(page.image, page.cell(2).center()), paper, 2));
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_TRUE(page.hasText(i)) << i;
    // Empty cells are dashed, cut marks black.
    for (std::size_t i : {6u, 7u}) {
        const QRectF c = page.cell(i);
        EXPECT_TRUE(near(at(page.image, c.center()), paper, 1));
        EXPECT_FALSE(page.hasText(i));
        // Black at 12 % over the paper where the first dash starts; a half-covered pixel row at least.
        const QColor edge = at(page.image, c.left() + 1.5, c.top());
        EXPECT_LT(edge.red(), 240);
        EXPECT_GT(edge.red(), 205);
    }
    ASSERT_FALSE(page.in.plan->marks.empty());
    for (const PrintKit::PixelRect& mark : page.in.plan->marks) {
        const QRectF m = GridCanvas::markRect(page.in.geometry.viewRect(page.in.plan->pageRect(mark)));
        EXPECT_LT(at(page.image, m.center()).red(), 130);
    }
    // A mark thinner than a point is drawn a point wide about its centre.
    EXPECT_EQ(GridCanvas::markRect(QRectF(10, 20, 2, 0.5)), QRectF(10, 19.75, 2, 1));

    // Without captions, or without a plan, less is drawn.
    page.in.spec.captions = false;
    page.in.plan = PrintKit::GridLayout::plan(page.in.sheet.page, {}, page.in.spec, 360);
    ASSERT_EQ(page.in.plan->captionHeight, 0);
    page.image = painted(QSize(800, 1000), [&](QPainter& p) { GridCanvas::paint(p, page.in); });
    // The cell of the photo without a picture stays blank to its bottom: no caption.
    const QRectF cell = page.cell(2);
    for (int x = int(cell.left()) + 2; x < int(cell.right()) - 2; ++x)
        for (int y = int(cell.bottom()) - 8; y < int(cell.bottom()) - 1; ++y)
            ASSERT_TRUE(near(page.image.pixelColor(x, y), paper, 1)) << x << "," << y;
    const QRectF photo = page.frame(1);
    page.in.plan.reset();
    const QImage bare = painted(QSize(800, 1000), [&](QPainter& p) { GridCanvas::paint(p, page.in); });
    EXPECT_TRUE(near(at(bare, cell.center()), paper, 1));
    EXPECT_TRUE(near(at(bare, photo.center()), paper, 1));
}

TEST(GridCanvasTest, OneRepeatedPhotoFillsAndRingsEveryPlannedCell) {
    Page page;
    page.in.cells.assign(page.in.plan->cells.size(), page.in.cells[1]);
    page.in.selectedID = page.in.cells[1].photo.id;
    page.in.selectedImage = QImage();
    page.image = painted(QSize(800, 1000), [&](QPainter& p) { GridCanvas::paint(p, page.in); });
    WindowTest::saveArtifact(page.image, "grid-canvas-repeated");
    for (std::size_t i = 0; i < page.in.cells.size(); ++i) {
        const QRectF frame = page.frame(i), cell = page.cell(i);
        EXPECT_TRUE(near(at(page.image, frame.left() + frame.width() * 0.25, frame.center().y()), red, 20))
            << i;
        // Photo up to the cell's edge, where an empty cell's dashes run, and the ring round it.
        EXPECT_TRUE(near(at(page.image, cell.left() + cell.width() * 0.25, cell.top() + 1), red, 30)) << i;
        EXPECT_GT(WindowTest::coverage(at(page.image, cell.left() - 1.5, cell.center().y()), paper,
                                       Theme::active()),
                  0.7)
            << i;
    }
}
