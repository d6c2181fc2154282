#include "PrintKit/render/layout/GridLayout.h"

#include "GermanLocale.h"
#include "LayoutCases.h"
#include "PrintKit/render/layout/Layout.h"

#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;
using namespace LayoutCases;

namespace {

GridSpec cells(double width, double height, double gap = 0, bool turnsToFitMore = false,
               bool captions = false) {
    return GridSpec::make(width, height, gap, turnsToFitMore, false, false, false, captions);
}

} // namespace

TEST(GridLayoutTest, PlansLetterSheetOfTurnedCellsWithMarksAndCaptions) {
    const PPDPageSize letter = page(612, 792, std::vector<double>{9, 9, 603, 783});
    const GridPlan plan =
        GridLayout::plan(letter, Margins{}, GridSpec::make(144, 108, 9, true, false, false, true, true), 360);
    EXPECT_EQ(plan.pixelWidth, 2970);
    EXPECT_EQ(plan.pixelHeight, 3870);
    expectRect(plan.rect, 9, 9, 594, 774);
    // Unturned 3 × 6 = 18 cells fit, turned 5 × 5 = 25.
    EXPECT_TRUE(plan.turned);
    EXPECT_EQ(plan.columns, 5);
    EXPECT_EQ(plan.rows, 5);
    ASSERT_EQ(plan.count(), 25);
    EXPECT_EQ(plan.cells[0], (PixelRect{45, 45, 540, 720}));
    EXPECT_EQ(plan.cells[1], (PixelRect{630, 45, 540, 720}));
    EXPECT_EQ(plan.cells[5], (PixelRect{45, 810, 540, 720}));
    EXPECT_EQ(plan.captionHeight, 37);

    // 10 distinct x and 10 distinct y edges, a mark on each side of the block.
    ASSERT_EQ(plan.marks.size(), 40u);
    EXPECT_EQ(plan.marks[0], (PixelRect{44, 0, 2, 31})); // clipped at the plan's top edge
    EXPECT_EQ(plan.marks[1], (PixelRect{44, 3839, 2, 31}));
    EXPECT_EQ(plan.marks[2], (PixelRect{584, 0, 2, 31})); // the far side of the first gap
    EXPECT_EQ(plan.marks[20], (PixelRect{0, 44, 31, 2}));
    EXPECT_EQ(plan.marks[21], (PixelRect{2939, 44, 31, 2}));
    for (const PixelRect& mark : plan.marks) {
        EXPECT_TRUE(mark.x >= 0 && mark.y >= 0 && mark.maxX() <= plan.pixelWidth &&
                    mark.maxY() <= plan.pixelHeight);
    }

    // Plan rows run down the page: the first cell's top is the plan's top less 45 pixels.
    expectRect(plan.pageRect(plan.cells[0]), 9 + 0.2 * 45, 783 - 0.2 * 765, 108, 144);
    expectRect(plan.pageRect(PixelRect{0, 0, plan.pixelWidth, plan.pixelHeight}), 9, 9, 594, 774);
}

TEST(GridLayoutTest, CutMarkLengthRoundsHalfAwayFromZeroAndMarksNeedRoom) {
    // One 720-pixel cell in the middle of a 1250-pixel square at 360 ppi: the marks are not clipped, so their
    // length shows 11.3 / 0.2 = 56.5 rounded to 57, beside an offset of 2.8 / 0.2 = 14 and a thickness of
    // 0.36 / 0.2 = 1.8 → 2 centred on the edge.
    GridSpec spec = cells(144, 144);
    spec.cutMarks = true;
    GridPlan plan = GridLayout::plan(page(250, 250), Margins{}, spec, 360);
    ASSERT_EQ(plan.cells.size(), 1u);
    EXPECT_EQ(plan.cells[0], (PixelRect{265, 265, 720, 720}));
    const std::vector<PixelRect> expected{
        {264, 194, 2, 57}, {264, 999, 2, 57}, {984, 194, 2, 57}, {984, 999, 2, 57}, // vertical: above, below
        {194, 264, 57, 2}, {999, 264, 57, 2}, {194, 984, 57, 2}, {999, 984, 57, 2}, // horizontal: left, right
    };
    EXPECT_EQ(plan.marks, expected);
    // One pixel per point: a 100-point cell filling a 100-point page leaves no room for any mark.
    spec = cells(100, 100);
    spec.cutMarks = true;
    EXPECT_TRUE(GridLayout::plan(page(100, 100), Margins{}, spec, 72).marks.empty());
}

TEST(GridLayoutTest, CountsTurnsAndCentresTheCells) {
    // One pixel per point throughout.
    const struct {
        double pageWidth, pageHeight;
        GridSpec spec;
        int columns, rows;
        bool turned;
        PixelRect first, last;
        std::int64_t captionHeight;
    } cases[] = {
        // Exactly 3 × 30 + 2 × 5 = 100 across; 47 − 45 = 2 spare rows, one above.
        {100, 47, cells(30, 20, 5), 3, 2, false, {0, 1, 30, 20}, {70, 26, 30, 20}, 0},
        {101, 50, cells(60, 50), 1, 1, false, {20, 0, 60, 50}, {20, 0, 60, 50}, 0}, // the odd pixel: right
        // Turned 3 × 1 is fewer than 2 × 2; unturned 1 × 3 is fewer than turned 2 × 2.
        {100, 60, cells(50, 30, 0, true), 2, 2, false, {0, 0, 50, 30}, {50, 30, 50, 30}, 0},
        {60, 100, cells(50, 30, 0, true), 2, 2, true, {0, 0, 30, 50}, {30, 50, 30, 50}, 0},
        {60, 100, cells(50, 30), 1, 3, false, {5, 5, 50, 30}, {5, 65, 50, 30}, 0},       // not turned unasked
        {100, 100, cells(25, 25, -3), 4, 4, false, {0, 0, 25, 25}, {75, 75, 25, 25}, 0}, // gap below zero
        {100, 100, cells(50, 25, 0, true), 2, 4, false, {0, 0, 50, 25}, {50, 75, 50, 25}, 0}, // a tie
        // A caption takes at most a third of a 15-pixel cell; in a 30-pixel one 7.4 points round to 7.
        {100, 100, cells(40, 15, 0, false, true), 2, 6, false, {10, 5, 40, 15}, {50, 80, 40, 15}, 5},
        {100, 100, cells(40, 30, 0, false, true), 2, 3, false, {10, 5, 40, 30}, {50, 65, 40, 30}, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        GridPlan plan = GridLayout::plan(page(c.pageWidth, c.pageHeight), Margins{}, c.spec, 72);
        EXPECT_EQ(std::tuple(plan.columns, plan.rows, plan.turned), std::tuple(c.columns, c.rows, c.turned));
        ASSERT_EQ(plan.count(), c.columns * c.rows);
        EXPECT_EQ(plan.cells.front(), c.first);
        EXPECT_EQ(plan.cells.back(), c.last);
        EXPECT_EQ(plan.captionHeight, c.captionHeight);
    }
    // 0.1 + 0.2 is a hair above 0.3; at 720 ppi the area's edge is still pixel 3, not 4.
    GridPlan noisy = GridLayout::plan(page(100, 100, std::vector<double>{0.1 + 0.2, 0, 10, 10}), Margins{},
                                      cells(1, 1), 720);
    EXPECT_EQ(noisy.pixelWidth, 97);
    EXPECT_NEAR(noisy.rect.minX(), 0.3, 1e-12);
}

TEST(GridLayoutTest, RefusesWhenNothingFitsOrNoWholePixelIsLeft) {
    auto refusal = [](const PPDPageSize& on, const Margins& margins, const GridSpec& spec,
                      double resolution) {
        try {
            GridLayout::plan(on, margins, spec, resolution);
        } catch (const GridLayoutError& error) {
            EXPECT_EQ(error.code(), GridLayoutErrorCode::noCellFits);
            return error.message();
        } catch (const PlacementError& error) {
            EXPECT_EQ(error.code(), PlacementErrorCode::noPrintableArea);
            return error.message();
        }
        return std::string("(planned)");
    };
    // 250 mm square cells on a 4 × 6 inch sheet; the message's decimal point must not become a comma.
    GermanLocale german;
    const double cell = 250 * 72 / 25.4;
    EXPECT_EQ(refusal(page(288, 432), Margins{}, cells(cell, cell, 0, true), 360),
              "250.0×250.0mm 칸이 이 용지의 인쇄 영역에 하나도 들어가지 않습니다");
    // The size in the message is the one asked for, not the turned one.
    EXPECT_EQ(refusal(page(100, 50), Margins{}, cells(40, 72), 72),
              "14.1×25.4mm 칸이 이 용지의 인쇄 영역에 하나도 들어가지 않습니다");
    EXPECT_EQ(refusal(page(100, 100), Margins{50, 0, 50, 0}, cells(10, 10), 72),
              "여백을 빼면 인쇄할 공간이 없습니다");
    // 0.7 points wide but between pixel boundaries at 72 ppi: nothing whole is left.
    EXPECT_EQ(refusal(page(100, 100, std::vector<double>{0.2, 0, 0.9, 100}), Margins{}, cells(1, 1), 72),
              "여백을 빼면 인쇄할 공간이 없습니다");
}

TEST(GridLayoutTest, FitsPhotoInItsCellWholeOrCropped) {
    const GridSpec turning = GridSpec::make(108, 144, 0, false, true, true, false, true);
    const GridSpec still = GridSpec::make(108, 144, 0, false, true, false, false, true);
    const GridSpec filling = GridSpec::make(100, 100, 0, false, false, false, false, false);
    const Rect whole(0, 0, 1, 1);
    const struct {
        std::int64_t width, height;
        PixelRect cell;
        GridSpec spec;
        std::int64_t caption;
        bool rotated;
        PixelRect frame;
        Rect crop;
    } cases[] = {
        // Landscape into a 540 × 683 photo area: turned and fitted to the full height, 683 × 2/3 = 455.3,
        // (540 − 455) / 2 = 42; or not turned and fitted to the width.
        {3000, 2000, {45, 45, 540, 720}, turning, 37, true, {42, 0, 455, 683}, whole},
        {3000, 2000, {45, 45, 540, 720}, still, 37, false, {0, 161, 540, 360}, whole},
        {2000, 3000, {0, 0, 400, 300}, turning, 0, true, {0, 16, 400, 267}, whole},
        // A square photo, or a square photo area (the cell less its caption), never turns.
        {2000, 2000, {0, 0, 300, 500}, turning, 0, false, {0, 100, 300, 300}, whole},
        {3000, 2000, {0, 0, 400, 400}, turning, 0, false, {0, 66, 400, 267}, whole},
        {2000, 3000, {0, 0, 400, 500}, turning, 100, false, {66, 0, 267, 400}, whole},
        // A caption as high as the cell leaves one row; 1.5 pixels wide round to 2.
        {3000, 2000, {0, 0, 90, 30}, still, 30, false, {44, 0, 2, 1}, whole},
        // Filling crops the overhang from both sides.
        {3000, 2000, {0, 0, 400, 400}, filling, 0, false, {0, 0, 400, 400}, Rect(1.0 / 6, 0, 2.0 / 3, 1)},
        {1000, 2000, {0, 0, 400, 400}, filling, 0, false, {0, 0, 400, 400}, Rect(0, 0.25, 1, 0.5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        CellFit fit = GridLayout::fit(c.width, c.height, c.cell, c.spec, c.caption);
        EXPECT_EQ(fit.rotated, c.rotated);
        EXPECT_EQ(fit.frame, c.frame);
        expectRect(fit.crop, c.crop.minX(), c.crop.minY(), c.crop.width(), c.crop.height(), 1e-12);
    }
}
