#include "PrintKit/render/layout/BorderlessBleed.h"

#include "LayoutCases.h"
#include "PrintKit/render/layout/CanvasTurn.h"
#include "PrintKit/render/layout/Layout.h"

#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;
using namespace LayoutCases;

namespace {

const PPDPageSize fourBySix = page(288, 432, std::vector<double>{0, 0, 288, 432});

std::optional<BorderlessBleed> withRatio(std::optional<double> ratio, const PPDPageSize& on = fourBySix) {
    return BorderlessBleed::forSheet(on, fourBySix, [ratio] { return ratio; });
}

} // namespace

TEST(BorderlessBleedTest, AutoExpandPushesFilledPhotoToThePageEdges) {
    const BorderlessBleed bleed = withRatio(1.02).value();
    expectRect(bleed.visible, 2.8235, 4.2353, 282.3529, 423.5294, 1e-4);

    const PPDPageSize placing = bleed.placingPage(fourBySix);
    EXPECT_EQ(placing.name, fourBySix.name);
    EXPECT_EQ(placing.localizedLabels, fourBySix.localizedLabels);
    Placement placed = Layout::place(3000, 4500, placing, Margins{}, ImageFit::fill(), 360, Size{});
    EXPECT_EQ(placed.pixelWidth, 1412);
    EXPECT_EQ(placed.pixelHeight, 2118);
    expectRect(placed.rect, 2.8, 4.2, 282.4, 423.6);
    EXPECT_EQ(placed.crop, Rect(0, 0, 1, 1));

    Placement extended = bleed.extend(placed, fourBySix, 360);
    expectRect(extended.rect, 0, 0, 288, 432);
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
               432.5 / 1.02);
}

TEST(BorderlessBleedTest, RatioThatIsMissingSmallOrNotANumberGivesNoBleed) {
    EXPECT_TRUE(withRatio(1.0006));
    EXPECT_FALSE(withRatio(1.0005));
    EXPECT_FALSE(withRatio(0.98));
    EXPECT_FALSE(withRatio(std::nullopt)); // still being measured
    const double inf = std::numeric_limits<double>::infinity();
    for (double ratio : {std::numeric_limits<double>::quiet_NaN(), inf, -inf}) {
        EXPECT_FALSE(withRatio(ratio)) << ratio;
        // Asked directly, such a ratio shrinks nothing rather than making NaN rectangles.
        EXPECT_EQ(BorderlessBleed::autoExpand(fourBySix, ratio).visible, Rect(0, 0, 288, 432)) << ratio;
    }
}

TEST(BorderlessBleedTest, OnlyEdgesTouchingThePaperMove) {
    const BorderlessBleed bleed = withRatio(1.02).value();
    // Edges further than a pixel inside the paper's: margins, or a small exact size.
    Placement inside =
        Layout::place(3000, 4500, bleed.placingPage(fourBySix), Margins::all(10), ImageFit::fill(), 360, {});
    EXPECT_EQ(bleed.extend(inside, fourBySix, 360), inside);
    Placement small = Layout::place(3000, 4500, bleed.placingPage(fourBySix), Margins{},
                                    ImageFit::exactSize(100, 150, false), 360, {});
    EXPECT_EQ(bleed.extend(small, fourBySix, 360), small);

    Placement placed;
    placed.rect = Rect(100, 327.8, 50, 100); // top edge 427.8, 0.035 point from the paper's top edge
    placed.pixelWidth = 250;
    placed.pixelHeight = 500;
    placed.crop = Rect(0.1, 0.2, 0.5, 0.6);
    placed.snapped = SnapGuides::top;
    Placement grown = bleed.extend(placed, fourBySix, 360);
    expectRect(grown.rect, 100, 327.8, 50, 104.2);
    EXPECT_EQ(grown.pixelWidth, 250);
    EXPECT_EQ(grown.pixelHeight, 521);
    expectRect(grown.crop, 0.1, 0.2 - 0.006 * 4.2, 0.5, 0.6 + 0.006 * 4.2, 1e-12);
    EXPECT_EQ(grown.snapped, SnapGuides::top);

    // 288.1 points at 360 ppi end inside pixel 1441: the far edge covers it.
    const PPDPageSize odd = page(288.1, 432);
    const BorderlessBleed oddBleed = BorderlessBleed::autoExpand(odd, 1.02);
    Placement far = oddBleed.extend(
        Layout::place(3000, 4500, oddBleed.placingPage(odd), Margins{}, ImageFit::fill(), 360, {}), odd, 360);
    EXPECT_EQ(far.pixelWidth, 1441);
    EXPECT_GE(far.rect.maxX(), 288.1);
}

TEST(CanvasTurnTest, TurnsPageAndBleed) {
    const PPDPageSize original = page(288, 432, std::vector<double>{10, 20, 270, 400});
    const PPDPageSize once = CanvasTurn::canvas(original);
    EXPECT_EQ(once.width, 432);
    EXPECT_EQ(once.height, 288);
    EXPECT_EQ(once.localizedLabels, original.localizedLabels);
    EXPECT_EQ(once.imageableArea, (std::vector<double>{32, 10, 412, 270}));
    // Twice is a half turn, because the turn is always the same quarter turn.
    EXPECT_EQ(CanvasTurn::canvas(once).imageableArea, (std::vector<double>{18, 32, 278, 412}));
    EXPECT_FALSE(CanvasTurn::canvas(page(288, 432)).imageableArea);

    EXPECT_EQ(CanvasTurn::canvas(*withRatio(std::nullopt, page(300, 444)), page(300, 444)).visible,
              Rect(6, 6, 432, 288));
    // A bleed turned with its page equals the bleed of the turned page.
    const PPDPageSize uneven = page(288, 432);
    const BorderlessBleed turned = CanvasTurn::canvas(BorderlessBleed::autoExpand(uneven, 1.03), uneven);
    const Rect ofTurned = BorderlessBleed::autoExpand(CanvasTurn::canvas(uneven), 1.03).visible;
    expectRect(turned.visible, ofTurned.minX(), ofTurned.minY(), ofTurned.width(), ofTurned.height());
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
    expectRect(onPaper.rect, 20, 222, 100, 200);
    EXPECT_EQ(onPaper.pixelWidth, 500);
    EXPECT_EQ(onPaper.pixelHeight, 1000);
    expectRect(onPaper.crop, 0.2, 0.1, 0.6, 0.5, 1e-12);
    EXPECT_EQ(onPaper.snapped, onCanvas.snapped);
}
