#include "PrintKit/render/BorderlessBleed.h"

#include "PrintKit/render/CanvasTurn.h"
#include "PrintKit/render/Layout.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;

namespace {

PPDPageSize page(double width, double height, std::optional<std::vector<double>> imageable = std::nullopt) {
    PPDPageSize size;
    size.name = "4x6.Borderless";
    size.label = "4 x 6 in (borderless)";
    size.localizedLabels = {{"ko", "4 x 6 인치 (무테)"}};
    size.width = width;
    size.height = height;
    size.imageableArea = std::move(imageable);
    return size;
}

const PPDPageSize fourBySix = page(288, 432, std::vector<double>{0, 0, 288, 432});

void expectRect(const Rect& actual, double x, double y, double w, double h, double tolerance) {
    EXPECT_NEAR(actual.minX(), x, tolerance);
    EXPECT_NEAR(actual.minY(), y, tolerance);
    EXPECT_NEAR(actual.width(), w, tolerance);
    EXPECT_NEAR(actual.height(), h, tolerance);
}

BorderlessBleed expanded(double ratio) {
    auto bleed =
        BorderlessBleed::forSheet(fourBySix, fourBySix, [ratio] { return std::optional<double>(ratio); });
    EXPECT_TRUE(bleed);
    return bleed.value_or(BorderlessBleed{});
}

} // namespace

TEST(BorderlessBleedTest, AutoExpandPushesFilledPhotoToThePageEdges) {
    BorderlessBleed bleed = expanded(1.02);
    expectRect(bleed.visible, 2.8235, 4.2353, 282.3529, 423.5294, 1e-4);

    PPDPageSize placing = bleed.placingPage(fourBySix);
    EXPECT_EQ(placing.name, fourBySix.name);
    EXPECT_EQ(placing.localizedLabels, fourBySix.localizedLabels);
    EXPECT_EQ(placing.width, 288);
    Placement placed = Layout::place(3000, 4500, placing, Margins{}, ImageFit::fill(), 360, Size{});
    EXPECT_EQ(placed.pixelWidth, 1412);
    EXPECT_EQ(placed.pixelHeight, 2118);
    expectRect(placed.rect, 2.8, 4.2, 282.4, 423.6, 1e-9);
    EXPECT_EQ(placed.crop, Rect(0, 0, 1, 1));

    Placement extended = bleed.extend(placed, fourBySix, 360);
    expectRect(extended.rect, 0, 0, 288, 432, 1e-9);
    EXPECT_EQ(extended.pixelWidth, 1440);
    EXPECT_EQ(extended.pixelHeight, 2160);
    expectRect(extended.crop, -0.009915, -0.009915, 1.019830, 1.019830, 1e-6);
    EXPECT_EQ(extended.snapped, placed.snapped);
}

TEST(BorderlessBleedTest, LargerPageRetainsItsSizeWithoutMeasuring) {
    int asked = 0;
    auto expansion = [&asked] {
        ++asked;
        return std::optional<double>(1.02);
    };
    auto bleed = BorderlessBleed::forSheet(page(300, 444), fourBySix, expansion);
    ASSERT_TRUE(bleed);
    EXPECT_EQ(bleed->visible, Rect(6, 6, 288, 432));
    EXPECT_EQ(asked, 0);

    // Exactly half a point larger is not larger: the measured ratio decides, asked once.
    bleed = BorderlessBleed::forSheet(page(288.5, 432.5), fourBySix, expansion);
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(bleed);
    expectRect(bleed->visible, (288.5 - 288.5 / 1.02) / 2, (432.5 - 432.5 / 1.02) / 2, 288.5 / 1.02,
               432.5 / 1.02, 1e-9);
}

TEST(BorderlessBleedTest, SmallOrMissingRatioGivesNoBleed) {
    auto with = [](std::optional<double> ratio) {
        return BorderlessBleed::forSheet(fourBySix, fourBySix, [ratio] { return ratio; });
    };
    EXPECT_FALSE(with(std::nullopt)); // still being measured
    EXPECT_FALSE(with(1.0005));
    EXPECT_TRUE(with(1.0006));
    EXPECT_FALSE(with(0.98));
}

TEST(BorderlessBleedTest, RatioThatIsNotANumberGivesNoBleed) {
    for (double ratio : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(BorderlessBleed::forSheet(fourBySix, fourBySix, [ratio] {
            return std::optional<double>(ratio);
        })) << ratio;
        // Asked directly, such a ratio shrinks nothing rather than making NaN rectangles.
        BorderlessBleed direct = BorderlessBleed::autoExpand(fourBySix, ratio);
        EXPECT_EQ(direct.visible, Rect(0, 0, 288, 432)) << ratio;
    }
}

TEST(BorderlessBleedTest, PlacementInsideThePaperComesBackUnchanged) {
    BorderlessBleed bleed = expanded(1.02);
    // Margins of 10 points keep every edge far more than a pixel from the paper's edges.
    Placement placed = Layout::place(3000, 4500, bleed.placingPage(fourBySix), Margins{10, 10, 10, 10},
                                     ImageFit::fill(), 360, {});
    EXPECT_EQ(bleed.extend(placed, fourBySix, 360), placed);
    Placement small = Layout::place(3000, 4500, bleed.placingPage(fourBySix), Margins{},
                                    ImageFit::exactSize(100, 150, false), 360, {});
    EXPECT_EQ(bleed.extend(small, fourBySix, 360), small);
}

TEST(BorderlessBleedTest, OnlyTouchingEdgesMove) {
    BorderlessBleed bleed = expanded(1.02);
    Placement placed;
    placed.rect = Rect(100, 327.8, 50, 100); // top edge 427.8, 0.035 point from the paper's top edge
    placed.pixelWidth = 250;
    placed.pixelHeight = 500;
    placed.crop = Rect(0.1, 0.2, 0.5, 0.6);
    placed.snapped = SnapGuides::top;
    Placement grown = bleed.extend(placed, fourBySix, 360);
    expectRect(grown.rect, 100, 327.8, 50, 104.2, 1e-9);
    EXPECT_EQ(grown.pixelWidth, 250);
    EXPECT_EQ(grown.pixelHeight, 521);
    EXPECT_EQ(grown.crop.minX(), 0.1);
    EXPECT_EQ(grown.crop.width(), 0.5);
    EXPECT_NEAR(grown.crop.minY(), 0.2 - 0.006 * 4.2, 1e-12);
    EXPECT_NEAR(grown.crop.height(), 0.6 + 0.006 * 4.2, 1e-12);
    EXPECT_EQ(grown.snapped, SnapGuides::top);
}

TEST(BorderlessBleedTest, FarEdgesReachThePageRoundedUpToWholePixels) {
    // 288.1 points at 360 ppi end inside pixel 1441: the photo must cover it.
    const PPDPageSize odd = page(288.1, 432);
    BorderlessBleed bleed = BorderlessBleed::autoExpand(odd, 1.02);
    Placement placed =
        Layout::place(3000, 4500, bleed.placingPage(odd), Margins{}, ImageFit::fill(), 360, {});
    Placement grown = bleed.extend(placed, odd, 360);
    EXPECT_EQ(grown.pixelWidth, 1441);
    EXPECT_GE(grown.rect.maxX(), 288.1);
}

TEST(CanvasTurnTest, TurnsPageAndItsImageableArea) {
    const PPDPageSize original = page(288, 432, std::vector<double>{10, 20, 270, 400});
    PPDPageSize once = CanvasTurn::canvas(original);
    EXPECT_EQ(once.width, 432);
    EXPECT_EQ(once.height, 288);
    EXPECT_EQ(once.name, original.name);
    EXPECT_EQ(once.localizedLabels, original.localizedLabels);
    EXPECT_EQ(once.imageableArea, (std::vector<double>{32, 10, 412, 270}));
    // Twice is a half turn, because the turn is always the same quarter turn.
    PPDPageSize twice = CanvasTurn::canvas(once);
    EXPECT_EQ(twice.width, 288);
    EXPECT_EQ(twice.height, 432);
    EXPECT_EQ(twice.imageableArea, (std::vector<double>{18, 32, 278, 412}));

    EXPECT_FALSE(CanvasTurn::canvas(page(288, 432)).imageableArea);
    EXPECT_EQ(CanvasTurn::canvas(page(288, 432, std::vector<double>{1, 2, 3})).imageableArea,
              (std::vector<double>{1, 2, 3}));
}

TEST(CanvasTurnTest, TurnsBleedWithThePage) {
    auto retained = BorderlessBleed::forSheet(page(300, 444), fourBySix, [] { return std::nullopt; });
    ASSERT_TRUE(retained);
    BorderlessBleed visible = CanvasTurn::canvas(*retained, page(300, 444));
    EXPECT_EQ(visible.visible, Rect(6, 6, 432, 288));

    // A bleed turned with its page equals the bleed of the turned page.
    const PPDPageSize uneven = page(288, 432);
    BorderlessBleed turned = CanvasTurn::canvas(BorderlessBleed::autoExpand(uneven, 1.03), uneven);
    BorderlessBleed ofTurned = BorderlessBleed::autoExpand(CanvasTurn::canvas(uneven), 1.03);
    expectRect(turned.visible, ofTurned.visible.minX(), ofTurned.visible.minY(), ofTurned.visible.width(),
               ofTurned.visible.height(), 1e-9);
}

TEST(CanvasTurnTest, MapsCanvasPlacementBackOntoThePaper) {
    Placement onCanvas;
    onCanvas.rect = Rect(10, 20, 200, 100); // on the 432 × 288 canvas of a 288 × 432 page
    onCanvas.pixelWidth = 1000;
    onCanvas.pixelHeight = 500;
    onCanvas.crop = Rect(0.1, 0.2, 0.5, 0.6);
    onCanvas.snapped = SnapGuides::left | SnapGuides::centerY;
    Placement onPaper = CanvasTurn::paperPlacement(onCanvas, fourBySix, 360);
    // Canvas point (X, Y) is page point (Y, 432 − X): x from 20 to 120, y from 222 to 422.
    expectRect(onPaper.rect, 20, 222, 100, 200, 1e-9);
    EXPECT_EQ(onPaper.pixelWidth, 500);
    EXPECT_EQ(onPaper.pixelHeight, 1000);
    expectRect(onPaper.crop, 0.2, 0.1, 0.6, 0.5, 1e-12);
    EXPECT_EQ(onPaper.snapped, onCanvas.snapped);
}

TEST(CanvasTurnTest, TurnedBorderlessSheetCoversThePaper) {
    // The renderer's road for a landscape photo on a portrait borderless page: place on the turned placing
    // page, map back to the paper, then extend over the bleed.
    BorderlessBleed bleed = expanded(1.02);
    PPDPageSize canvas = CanvasTurn::canvas(bleed.placingPage(fourBySix));
    Placement placed = Layout::place(4500, 3000, canvas, Margins{}, ImageFit::fill(), 360, {});
    EXPECT_EQ(placed.pixelWidth, 2118);
    EXPECT_EQ(placed.pixelHeight, 1412);
    Placement drawn = bleed.extend(CanvasTurn::paperPlacement(placed, fourBySix, 360), fourBySix, 360);
    expectRect(drawn.rect, 0, 0, 288, 432, 1e-9);
    EXPECT_EQ(drawn.pixelWidth, 1440);
    EXPECT_EQ(drawn.pixelHeight, 2160);
}
