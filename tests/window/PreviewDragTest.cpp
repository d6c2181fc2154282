#include "QuilmPrint/window/PreviewDrag.h"

#include "PreviewTestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace QuilmPrint::DragArithmetic;
using PreviewTest::letter;
using PrintKit::Rect;

namespace {

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

TEST(PreviewDragTest, APressDecidesBetweenResizeMoveAndNothing) {
    const SheetGeometry g(letter(), QSizeF(400, 500), 1), zoomed(letter(), QSizeF(400, 500), 2);
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
    for (const Case& c : cases)
        EXPECT_EQ(began(c.press, placement, g, c.exact, offset), c.expected) << c.what;

    // A photo drawn 12 points wide: the top-left, top and left circles overlap, and the first handle wins.
    const Rect small(200, 200, 20, 20);
    const QRectF tiny = g.viewRect(small);
    EXPECT_EQ(began(tiny.topLeft() + QPointF(3, 3), placed(small), g, true, {}).handle,
              ResizeHandle::topLeft);
    // The grab radius stays ten canvas points at zoom 2.
    const QPointF corner = handlePoint(ResizeHandle::bottomRight, zoomed.viewRect(start));
    EXPECT_EQ(began(corner - QPointF(6, 7.9), placement, zoomed, true, {}).kind, PreviewDrag::Kind::resize);
    EXPECT_EQ(began(corner - QPointF(8, 8), placement, zoomed, true, {}).kind, PreviewDrag::Kind::move);
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
        for (auto [got, want] :
             {std::pair{r.minX(), c.expected.minX()}, std::pair{r.minY(), c.expected.minY()},
              std::pair{r.width(), c.expected.width()}, std::pair{r.height(), c.expected.height()}})
            EXPECT_NEAR(got, want, 1e-9) << c.what;
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
