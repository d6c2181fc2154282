// The preview's arithmetic and texts without a widget: what a press starts and where a resize ends, the
// sheet's place on the canvas, and the captions.
#include "PreviewTestSupport.h"
#include "PrintKit/render/layout/CanvasTurn.h"
#include "QuilmPrint/window/PreviewDrag.h"
#include "QuilmPrint/window/PreviewText.h"
#include "QuilmPrint/window/SheetGeometry.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace QuilmPrint::DragArithmetic;
using PreviewTest::letter;
using PrintKit::Rect;
using PreviewTest::page;

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
    const std::tuple<const char*, QPointF, bool, PreviewDrag> cases[] = { // what, press, exact, expected
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
    for (const auto& [what, press, exact, expected] : cases)
        EXPECT_EQ(began(press, placement, g, exact, offset), expected) << what;
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
    // Snapping within four points, to the nearest guide, the one listed first on a tie.
    const double guides[] = {10, 20, 14};
    for (auto [value, snapped] : {std::pair{16.0, 14.0}, {12.0, 10.0}, {24.0, 20.0}, {25.0, 25.0}})
        EXPECT_EQ(nearest(value, guides), snapped) << value;
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

TEST(SheetGeometryTest, ZoomOneFitsTheSheetBelowTheLabelBandAndZoomTwoDoublesTheCanvas) {
    for (auto [w, h, viewW, viewH] :
         {std::array{595.28, 841.89, 600.0, 500.0}, std::array{841.89, 595.28, 600.0, 500.0},
          std::array{288.0, 288.0, 300.0, 900.0}, std::array{612.0, 792.0, 1200.0, 300.0}}) {
        const SheetGeometry g(page(w, h), QSizeF(viewW, viewH), 1);
        const QRectF sheet = g.viewRect(PrintKit::Rect(0, 0, w, h));
        EXPECT_EQ(g.canvas, QSizeF(viewW, viewH));
        // Inside the view below the 18-point band, touching both sides or both the band and the bottom.
        EXPECT_TRUE(
            (std::abs(sheet.left()) < 1e-9 && std::abs(sheet.right() - viewW) < 1e-9 && sheet.top() >= 18) ||
            (std::abs(sheet.top() - 18) < 1e-9 && std::abs(sheet.bottom() - viewH) < 1e-9 &&
             sheet.left() >= 0))
            << w << "x" << h << ": " << sheet.left() << " " << sheet.top();
    }
    const SheetGeometry two(page(500, 400), QSizeF(500, 1000), 2);
    EXPECT_EQ(std::make_tuple(two.scale, two.canvas, two.origin().x()),
              std::make_tuple(2.0, QSizeF(1000, 1000), 0.0));
    // A viewport with no room keeps a positive scale; a page of no size is not drawn.
    for (QSizeF viewport : {QSizeF(0, 0), QSizeF(0, 400), QSizeF(400, 18), QSizeF(-5, 10)}) {
        const SheetGeometry g(page(600, 300), viewport, 1);
        EXPECT_GT(g.scale, 0);
        EXPECT_TRUE(g.isDrawable());
    }
    EXPECT_FALSE(SheetGeometry(page(0, 300), QSizeF(400, 400), 1).isDrawable());
}

namespace Text = QuilmPrint::PreviewText;

namespace {
PreparedSheet sheetOf(PrintKit::PPDPageSize page, bool turned = false) {
    PreparedSheet sheet;
    sheet.page = turned ? PrintKit::CanvasTurn::canvas(page) : page;
    sheet.isTurnedCanvas = turned;
    return sheet;
}

// A borderless page a little larger than its A4 paper.
PreparedSheet borderless(double extraWidth, bool bleed) {
    PreparedSheet sheet = sheetOf(page(595.28 + extraWidth, 841.89 + extraWidth));
    sheet.paper = page(595.28, 841.89);
    if (bleed)
        sheet.bleed = PrintKit::BorderlessBleed{PrintKit::Rect(2, 2, 595.28, 841.89)};
    return sheet;
}
} // namespace

TEST(PreviewTextTest, PaperFeedAndBorderlessNotesNameTheShownPaper) {
    const PreparedSheet a4 = sheetOf(page(595.28, 841.89)), turned = sheetOf(page(595.28, 841.89), true);
    const std::pair<QString, const char*> texts[] = {
        {Text::paper(a4), "용지 세로 210.0×297.0mm"},
        {Text::paper(turned), "용지 가로 297.0×210.0mm"},
        {Text::paper(sheetOf(page(360, 360))), "용지 세로 127.0×127.0mm"},
        {Text::paper(borderless(20, false)), "용지 세로 210.0×297.0mm"}, // the paper, not the larger page
        {Text::feedLabel(a4), "▲ 먼저 들어가는 쪽 · 폭 210.0mm"},
        {Text::feedLabel(turned), "◀ 왼쪽이 먼저 들어가는 쪽 · 폭 210.0mm"},
        {*Text::borderlessNote(borderless(20, true)), "여백 없음 · 가장자리 보정 · 사진은 종이 크기에 맞춤"},
        {*Text::borderlessNote(borderless(1, false)), "여백 없음 · 가장자리 0.2mm는 잘려 나갑니다"},
        {*Text::borderlessNote(borderless(0.5, false)), "여백 없음 · 드라이버가 조금 키워서 인쇄합니다"},
        {Text::resolution(359.9), "359ppi"},
        {Text::zoom(1) + Text::zoom(2) + Text::zoom(4) + Text::pager(1, 5), "맞춤2배4배2/5장"},
    };
    for (const auto& [text, expected] : texts)
        EXPECT_EQ(text.toStdString(), expected);
    EXPECT_FALSE(Text::borderlessNote(a4));
    PrintKit::GridPlan plan;
    plan.columns = 3;
    plan.rows = 4;
    EXPECT_EQ(Text::gridSize(plan).toStdString(), "3×4 = 0칸");
    EXPECT_FALSE(Text::cellSize(plan));
}

TEST(PreviewTextTest, DetailLineFlagsPrintsBelowTwoHundredPixelsPerInch) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::tuple<std::optional<double>, const char*, bool> cases[] = {
        {600, "6000×4000 · 600ppi", false}, {199.6, "6000×4000 · 200ppi", true},
        {200, "6000×4000 · 200ppi", false}, {150.5, "6000×4000 · 151ppi", true},
        {std::nullopt, "6000×4000", false}, {inf, "6000×4000", false}};
    for (const auto& [ppi, text, low] : cases) {
        const Text::PhotoDetail detail = Text::photoDetail(6000, 4000, ppi);
        EXPECT_EQ(detail.text.toStdString(), text);
        EXPECT_EQ(detail.lowResolution, low) << text;
    }
    // The resolution counts the part of the photo that is used.
    PrintKit::Placement placement;
    placement.rect = PrintKit::Rect(0, 0, 720, 480); // 254 mm wide
    placement.crop = PrintKit::Rect(0.1, 0, 0.8, 1);
    EXPECT_DOUBLE_EQ(*Text::placementPPI(placement, 6000), 480);
    placement.rect = PrintKit::Rect(0, 0, 0, 480);
    EXPECT_FALSE(Text::placementPPI(placement, 6000));
}
