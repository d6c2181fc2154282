#include "PrintKit/render/GridLayout.h"

#include "GermanLocale.h"
#include "PrintKit/render/Layout.h"
#include "PrintKit/support/Rounding.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;

namespace {

PPDPageSize page(double width, double height, std::optional<std::vector<double>> imageable = std::nullopt) {
    PPDPageSize size;
    size.name = "Test";
    size.width = width;
    size.height = height;
    size.imageableArea = std::move(imageable);
    return size;
}

GridSpec cells(double width, double height, double gap = 0) {
    return GridSpec::make(width, height, gap, false, false, false, false, false);
}

} // namespace

TEST(GridLayoutTest, PlansLetterSheetOfTurnedCellsWithMarksAndCaptions) {
    const PPDPageSize letter = page(612, 792, std::vector<double>{9, 9, 603, 783});
    const GridSpec spec = GridSpec::make(144, 108, 9, true, false, false, true, true);
    GridPlan plan = GridLayout::plan(letter, Margins{}, spec, 360);

    EXPECT_EQ(plan.pixelWidth, 2970);
    EXPECT_EQ(plan.pixelHeight, 3870);
    EXPECT_NEAR(plan.rect.minX(), 9, 1e-9);
    EXPECT_NEAR(plan.rect.minY(), 9, 1e-9);
    EXPECT_NEAR(plan.rect.width(), 594, 1e-9);
    EXPECT_NEAR(plan.rect.height(), 774, 1e-9);
    // Unturned 3 × 6 = 18 cells fit, turned 5 × 5 = 25.
    EXPECT_TRUE(plan.turned);
    EXPECT_EQ(plan.columns, 5);
    EXPECT_EQ(plan.rows, 5);
    EXPECT_EQ(plan.count(), 25);
    EXPECT_EQ(plan.cells[0], (PixelRect{45, 45, 540, 720}));
    EXPECT_EQ(plan.cells[1], (PixelRect{630, 45, 540, 720}));
    EXPECT_EQ(plan.cells[5], (PixelRect{45, 810, 540, 720}));
    EXPECT_EQ(plan.cells[24], (PixelRect{45 + 4 * 585, 45 + 4 * 765, 540, 720}));
    EXPECT_EQ(plan.captionHeight, 37);
    EXPECT_EQ(plan.resolution, 360);

    // 10 distinct x and 10 distinct y edges, a mark on each side of the block.
    ASSERT_EQ(plan.marks.size(), 40u);
    EXPECT_EQ(plan.marks[0], (PixelRect{44, 0, 2, 31})); // clipped at the plan's top edge
    EXPECT_EQ(plan.marks[1], (PixelRect{44, 3839, 2, 31}));
    EXPECT_EQ(plan.marks[2], (PixelRect{584, 0, 2, 31})); // the far side of the first gap
    EXPECT_EQ(plan.marks[20], (PixelRect{0, 44, 31, 2}));
    EXPECT_EQ(plan.marks[21], (PixelRect{2939, 44, 31, 2}));
    for (const PixelRect& mark : plan.marks) {
        EXPECT_GE(mark.x, 0);
        EXPECT_GE(mark.y, 0);
        EXPECT_LE(mark.maxX(), plan.pixelWidth);
        EXPECT_LE(mark.maxY(), plan.pixelHeight);
    }
}

TEST(GridLayoutTest, PageRectTurnsPlanRowsUpsideDown) {
    const PPDPageSize letter = page(612, 792, std::vector<double>{9, 9, 603, 783});
    GridPlan plan =
        GridLayout::plan(letter, Margins{}, GridSpec::make(144, 108, 9, true, false, false, true, true), 360);
    Rect first = plan.pageRect(plan.cells[0]);
    EXPECT_NEAR(first.minX(), 18, 1e-9);              // 9 + 0.2 × 45
    EXPECT_NEAR(first.minY(), 783 - 0.2 * 765, 1e-9); // top of the plan less 45 + 720 pixels
    EXPECT_NEAR(first.width(), 108, 1e-9);
    EXPECT_NEAR(first.height(), 144, 1e-9);
    Rect whole = plan.pageRect(PixelRect{0, 0, plan.pixelWidth, plan.pixelHeight});
    EXPECT_NEAR(whole.minY(), plan.rect.minY(), 1e-9);
    EXPECT_NEAR(whole.maxY(), plan.rect.maxY(), 1e-9);
}

TEST(GridLayoutTest, CutMarkLengthRoundsHalfAwayFromZero) {
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
}

TEST(GridLayoutTest, MarksVanishWithoutRoomAndAreOffWhenNotAsked) {
    GridSpec spec = cells(100, 100);
    spec.cutMarks = true;
    // One pixel per point: a 100-point cell filling a 100-point page leaves no room for any mark.
    GridPlan tight = GridLayout::plan(page(100, 100), Margins{}, spec, 72);
    EXPECT_TRUE(tight.marks.empty());
    spec.cutMarks = false;
    EXPECT_TRUE(GridLayout::plan(page(288, 288), Margins{}, spec, 360).marks.empty());
}

TEST(GridLayoutTest, ExactFitLeavesNoOffset) {
    // 3 × 30 + 2 × 5 = 100 pixels at one pixel per point.
    GridPlan plan = GridLayout::plan(page(100, 47), Margins{}, cells(30, 20, 5), 72);
    EXPECT_EQ(plan.columns, 3);
    EXPECT_EQ(plan.rows, 2);
    EXPECT_EQ(plan.cells[0], (PixelRect{0, 1, 30, 20})); // 47 − 45 = 2 spare rows, one above
    EXPECT_EQ(plan.cells[2], (PixelRect{70, 1, 30, 20}));
    EXPECT_EQ(plan.cells[3], (PixelRect{0, 26, 30, 20}));
    // An odd spare pixel goes to the right.
    GridPlan odd = GridLayout::plan(page(101, 50), Margins{}, cells(50, 50), 72);
    EXPECT_EQ(odd.columns, 2);
    EXPECT_EQ(odd.cells[0].x, 0);
    GridPlan single = GridLayout::plan(page(101, 50), Margins{}, cells(60, 50), 72);
    EXPECT_EQ(single.cells[0].x, 20); // 41 spare: 20 left, 21 right
}

TEST(GridLayoutTest, TurnsOnlyForStrictlyMoreCells) {
    // 100 × 60 page, cells 50 × 30: unturned 2 × 2 = 4; turned 3 × 1 = 3.
    GridSpec spec = cells(50, 30);
    spec.turnsToFitMore = true;
    GridPlan plan = GridLayout::plan(page(100, 60), Margins{}, spec, 72);
    EXPECT_FALSE(plan.turned);
    EXPECT_EQ(plan.count(), 4);
    // 100 × 100, cells 50 × 25: unturned 2 × 4 = 8, turned 4 × 2 = 8: a tie stays unturned.
    spec = cells(50, 25);
    spec.turnsToFitMore = true;
    plan = GridLayout::plan(page(100, 100), Margins{}, spec, 72);
    EXPECT_FALSE(plan.turned);
    EXPECT_EQ(plan.cells[0].width, 50);
    // 60 × 100, cells 50 × 30: unturned 1 × 3 = 3, turned 2 × 2 = 4.
    spec = cells(50, 30);
    spec.turnsToFitMore = true;
    plan = GridLayout::plan(page(60, 100), Margins{}, spec, 72);
    EXPECT_TRUE(plan.turned);
    EXPECT_EQ(plan.cells[0], (PixelRect{0, 0, 30, 50}));
    spec.turnsToFitMore = false;
    EXPECT_FALSE(GridLayout::plan(page(60, 100), Margins{}, spec, 72).turned);
}

TEST(GridLayoutTest, NegativeGapCountsAsNone) {
    GridPlan plan = GridLayout::plan(page(100, 100), Margins{}, cells(25, 25, -3), 72);
    EXPECT_EQ(plan.columns, 4);
    EXPECT_EQ(plan.cells[1].x, 25);
}

TEST(GridLayoutTest, CaptionTakesAtMostAThirdOfTheCell) {
    GridSpec spec = cells(40, 15);
    spec.captions = true;
    // 7.4 points would be 7 pixels; a 15-pixel cell allows 5.
    EXPECT_EQ(GridLayout::plan(page(100, 100), Margins{}, spec, 72).captionHeight, 5);
    spec.cellHeight = 30;
    EXPECT_EQ(GridLayout::plan(page(100, 100), Margins{}, spec, 72).captionHeight, 7);
    spec.captions = false;
    EXPECT_EQ(GridLayout::plan(page(100, 100), Margins{}, spec, 72).captionHeight, 0);
}

TEST(GridLayoutTest, RefusesWhenNothingFits) {
    // 250 mm square cells on a 4 × 6 inch sheet.
    const double cell = 250 * 72 / 25.4;
    GridSpec spec = cells(cell, cell);
    spec.turnsToFitMore = true;
    GermanLocale german; // the message's decimal point must not become a comma
    try {
        GridLayout::plan(page(288, 432), Margins{}, spec, 360);
        FAIL();
    } catch (const GridLayoutError& error) {
        EXPECT_EQ(error.code(), GridLayoutErrorCode::noCellFits);
        EXPECT_EQ(error.message(), "250.0×250.0mm 칸이 이 용지의 인쇄 영역에 하나도 들어가지 않습니다");
    }
    // The size in the message is the one asked for, not the turned one.
    try {
        GridLayout::plan(page(100, 50), Margins{}, cells(40, 72), 72);
        FAIL();
    } catch (const GridLayoutError& error) {
        EXPECT_EQ(error.message(), "14.1×25.4mm 칸이 이 용지의 인쇄 영역에 하나도 들어가지 않습니다");
    }
}

TEST(GridLayoutTest, RefusesAreaWithoutAWholePixel) {
    EXPECT_THROW(GridLayout::plan(page(100, 100), Margins{50, 0, 50, 0}, cells(10, 10), 72), PlacementError);
    // 0.7 points wide but between pixel boundaries at 72 ppi: nothing whole is left.
    try {
        GridLayout::plan(page(100, 100, std::vector<double>{0.2, 0, 0.9, 100}), Margins{}, cells(1, 1), 72);
        FAIL();
    } catch (const PlacementError& error) {
        EXPECT_EQ(error.code(), PlacementErrorCode::noPrintableArea);
        EXPECT_EQ(error.message(), "여백을 빼면 인쇄할 공간이 없습니다");
    }
}

TEST(GridLayoutTest, AreaEdgesOnPixelBoundariesSurviveFloatingPointNoise) {
    // 0.1 + 0.2 is a hair above 0.3; at 720 ppi the edge is still pixel 3, not 4.
    GridPlan plan = GridLayout::plan(page(100, 100, std::vector<double>{0.1 + 0.2, 0, 10, 10}), Margins{},
                                     cells(1, 1), 720);
    EXPECT_EQ(plan.pixelWidth, 97);
    EXPECT_NEAR(plan.rect.minX(), 0.3, 1e-12);
}

TEST(GridLayoutTest, FitsPhotoWholeTurningItToTheCell) {
    GridSpec spec = GridSpec::make(108, 144, 0, false, true, true, false, true);
    const PixelRect cell{45, 45, 540, 720};
    // Landscape photo in a portrait photo area of 540 × 683: turned, then fitted to the full height.
    CellFit fit = GridLayout::fit(3000, 2000, cell, spec, 37);
    EXPECT_TRUE(fit.rotated);
    EXPECT_EQ(fit.crop, Rect(0, 0, 1, 1));
    EXPECT_EQ(fit.frame, (PixelRect{42, 0, 455, 683})); // 683 × 2/3 = 455.3; (540 − 455) / 2 = 42
    // Without turning the photo fits the width and is centred in the photo area.
    spec.rotatesToFit = false;
    fit = GridLayout::fit(3000, 2000, cell, spec, 37);
    EXPECT_FALSE(fit.rotated);
    EXPECT_EQ(fit.frame, (PixelRect{0, 161, 540, 360}));
}

TEST(GridLayoutTest, FillsCellWithCentredCrop) {
    GridSpec spec = GridSpec::make(100, 100, 0, false, false, false, false, false);
    CellFit fit = GridLayout::fit(3000, 2000, PixelRect{0, 0, 400, 400}, spec, 0);
    EXPECT_EQ(fit.frame, (PixelRect{0, 0, 400, 400}));
    EXPECT_NEAR(fit.crop.minX(), 1.0 / 6, 1e-12);
    EXPECT_NEAR(fit.crop.width(), 2.0 / 3, 1e-12);
    EXPECT_EQ(fit.crop.minY(), 0);
    EXPECT_EQ(fit.crop.height(), 1);
    fit = GridLayout::fit(1000, 2000, PixelRect{0, 0, 400, 400}, spec, 0);
    EXPECT_NEAR(fit.crop.minY(), 0.25, 1e-12);
    EXPECT_NEAR(fit.crop.height(), 0.5, 1e-12);
}

TEST(GridLayoutTest, SquaresNeverRotate) {
    GridSpec spec = GridSpec::make(100, 100, 0, false, true, true, false, false);
    EXPECT_FALSE(GridLayout::fit(2000, 2000, PixelRect{0, 0, 300, 500}, spec, 0).rotated);
    EXPECT_FALSE(GridLayout::fit(3000, 2000, PixelRect{0, 0, 400, 400}, spec, 0).rotated);
    // The photo area, not the cell, decides: a 400 × 500 cell with a 100-pixel caption is square.
    EXPECT_FALSE(GridLayout::fit(2000, 3000, PixelRect{0, 0, 400, 500}, spec, 100).rotated);
    EXPECT_TRUE(GridLayout::fit(2000, 3000, PixelRect{0, 0, 400, 300}, spec, 0).rotated);
}

TEST(GridLayoutTest, CaptionAsHighAsTheCellLeavesOnePixel) {
    GridSpec spec = GridSpec::make(100, 100, 0, false, true, false, false, true);
    CellFit fit = GridLayout::fit(3000, 2000, PixelRect{0, 0, 90, 30}, spec, 30);
    EXPECT_EQ(fit.frame.height, 1);
    EXPECT_EQ(fit.frame.y, 0);
    EXPECT_EQ(fit.frame.width, 2); // 1.5 rounds away from zero
}

TEST(GridLayoutTest, PixelCountsAndSamplesKeepTheirOwnRounding) {
    // A length becomes pixels halves away from zero: the cut mark's 11.3 / 0.2 = 56.5 is 57 pixels.
    EXPECT_EQ(Rounding::pixelCount(11.3 / 0.2), 57);
    // A printed sample rounds ties to even, so that a smooth gradient gains no bias: 2.5 is 2, and half of
    // full scale (32767.5) is 32768.
    EXPECT_EQ(Rounding::sample16(2.5f), 2);
    EXPECT_EQ(Rounding::sample16(0.5f * 65535.0f), 32768);
    EXPECT_EQ(Rounding::sample16(1.0f * 65535.0f), 65535);
    EXPECT_EQ(Rounding::pixelCount(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(Rounding::sample16(std::numeric_limits<float>::quiet_NaN()), 0);
}
