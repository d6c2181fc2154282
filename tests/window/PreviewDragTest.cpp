#include "QuilmPrint/window/PreviewDrag.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace QuilmPrint::DragArithmetic;
using PrintKit::Rect;

namespace {

// US Letter with a quarter inch the driver cannot print on each side.
PrintKit::PPDPageSize letter() {
    PrintKit::PPDPageSize page;
    page.width = 612;
    page.height = 792;
    page.imageableArea = std::vector<double>{18, 18, 594, 774};
    return page;
}

const Rect area(18, 18, 576, 756);
const Rect start(100, 100, 200, 150);

PrintKit::Placement placed(Rect rect) {
    PrintKit::Placement placement;
    placement.rect = rect;
    return placement;
}

// The canvas translation that moves a page length by (dx, dy) points.
QPointF by(double dx, double dy, double scale = 1) {
    return QPointF(dx * scale, -dy * scale);
}

} // namespace

TEST(PreviewDragTest, NearestSnapsWithinFourPointsAndKeepsTheEarlierOnATie) {
    const double candidates[] = {10, 20, 14};
    EXPECT_EQ(nearest(13, candidates), 14);
    EXPECT_EQ(nearest(16, candidates), 14); // 14 is nearer than 20
    EXPECT_EQ(nearest(12, candidates), 10); // 10 and 14 tie: the first listed wins
    EXPECT_EQ(nearest(24, candidates), 20); // exactly 4 away snaps
    EXPECT_EQ(nearest(25, candidates), 25); // 5 away does not
    EXPECT_EQ(nearest(7, std::span<const double>()), 7);
}

TEST(PreviewDragTest, APressDecidesBetweenResizeMoveAndNothing) {
    const SheetGeometry g(letter(), QSizeF(400, 500), 1);
    const PrintKit::Placement placement = placed(start);
    const QRectF drawn = g.viewRect(start);
    const PrintKit::Size offset{5, -3};

    struct Case {
        const char* what;
        QPointF press;
        bool exact;
        PreviewDrag expected;
    };
    const Case cases[] = {
        {"inside, near the top-left handle", drawn.topLeft() + QPointF(5, 5), true,
         PreviewDrag::resize(ResizeHandle::topLeft, start)},
        {"just outside the right handle", handlePoint(ResizeHandle::right, drawn) + QPointF(6, 8), true,
         PreviewDrag::resize(ResizeHandle::right, start)},
        {"the same place in the fit layout", drawn.topLeft() + QPointF(5, 5), false,
         PreviewDrag::move(offset)},
        {"the middle of the photo", drawn.center(), true, PreviewDrag::move(offset)},
        {"beside the photo", drawn.topLeft() - QPointF(20, 20), true, PreviewDrag::ignored()},
        {"beside the photo in fit", drawn.topLeft() - QPointF(20, 20), false, PreviewDrag::ignored()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(began(c.press, placement, g, c.exact, offset), c.expected) << c.what;
    }

    // A photo drawn 12 points wide: the top-left, top and left circles overlap, and the first handle wins.
    const Rect small(200, 200, 20, 20);
    const QRectF tiny = g.viewRect(small);
    EXPECT_EQ(began(tiny.topLeft() + QPointF(3, 3), placed(small), g, true, {}).handle,
              ResizeHandle::topLeft);
}

TEST(PreviewDragTest, GrabRadiusStaysTenCanvasPointsAtZoomTwo) {
    const SheetGeometry g(letter(), QSizeF(400, 500), 2);
    const QRectF drawn = g.viewRect(start);
    const QPointF corner = handlePoint(ResizeHandle::bottomRight, drawn);
    EXPECT_EQ(began(corner - QPointF(6, 7.9), placed(start), g, true, {}).kind, PreviewDrag::Kind::resize);
    EXPECT_EQ(began(corner - QPointF(8, 8), placed(start), g, true, {}).kind, PreviewDrag::Kind::move);
}

TEST(PreviewDragTest, MoveAddsTheTranslationOverTheScaleWithPageYUp) {
    const PrintKit::Size moved = movedOffset({5, -3}, QPointF(20, 10), 2);
    EXPECT_DOUBLE_EQ(moved.width, 15);
    EXPECT_DOUBLE_EQ(moved.height, -8);
}

TEST(PreviewDragTest, ResizeSnapsHoldsTheMinimumAndClipsToTheArea) {
    const PrintKit::PPDPageSize page = letter();
    struct Case {
        const char* what;
        ResizeHandle handle;
        QPointF translation;
        double scale;
        Rect area;
        Rect expected;
    };
    const Case cases[] = {
        {"right edge 3 points short of the area's edge snaps onto it", ResizeHandle::right, by(291, 0), 1,
         area, Rect(100, 100, 494, 150)},
        {"5 points short stays", ResizeHandle::right, by(289, 0), 1, area, Rect(100, 100, 489, 150)},
        {"the same at zoom 2: snapping counts page points", ResizeHandle::right, by(291, 0, 2), 2, area,
         Rect(100, 100, 494, 150)},
        {"left edge until 10 wide: 20 wide, right edge kept", ResizeHandle::left, by(190, 0), 1, area,
         Rect(280, 100, 20, 150)},
        {"bottom edge below the area is cut at its bottom", ResizeHandle::bottom, by(0, -200), 1, area,
         Rect(100, 18, 200, 232)},
        {"top edge dragged to 10 high: 20 high, bottom kept", ResizeHandle::top, by(0, -140), 1, area,
         Rect(100, 100, 200, 20)},
        {"bottom edge dragged to 10 high: 20 high, top kept", ResizeHandle::bottomLeft, by(0, 140), 1, area,
         Rect(100, 230, 200, 20)},
        {"top-right corner snaps both dragged edges to the page centre", ResizeHandle::topRight, by(4, 143),
         1, area, Rect(100, 100, 206, 296)},
        {"a rectangle left outside the area goes back to its start", ResizeHandle::right, by(10, 0), 1,
         Rect(400, 18, 100, 700), start},
    };
    for (const Case& c : cases) {
        const Rect r = resized(PreviewDrag::resize(c.handle, start), c.translation, c.scale, c.area, page);
        EXPECT_NEAR(r.minX(), c.expected.minX(), 1e-9) << c.what;
        EXPECT_NEAR(r.minY(), c.expected.minY(), 1e-9) << c.what;
        EXPECT_NEAR(r.width(), c.expected.width(), 1e-9) << c.what;
        EXPECT_NEAR(r.height(), c.expected.height(), 1e-9) << c.what;
    }
}

TEST(PreviewDragTest, ResizeAreaCountsFromTheVisiblePaperOfABorderlessPage) {
    PreparedSheet sheet;
    sheet.page = letter();
    const Rect withMargin = *resizeArea(sheet, 25.4);
    EXPECT_EQ(withMargin, Rect(90, 90, 432, 612));

    sheet.page.imageableArea.reset();
    sheet.bleed = PrintKit::BorderlessBleed{Rect(6, 6, 600, 780)};
    EXPECT_EQ(*resizeArea(sheet, 0), Rect(6, 6, 600, 780));
    EXPECT_FALSE(resizeArea(sheet, 300)); // a margin that leaves nothing
}
