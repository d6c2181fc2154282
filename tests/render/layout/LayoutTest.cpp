#include "PrintKit/render/layout/Layout.h"

#include "GermanLocale.h"
#include "LayoutCases.h"
#include "PrintKit/render/layout/LayoutJSON.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>

using namespace PrintKit;
using namespace LayoutCases;
using nlohmann::json;

namespace {

const PPDPageSize fourBySix = page(288, 432, std::vector<double>{0, 0, 288, 432});

Placement place(std::int64_t w, std::int64_t h, const ImageFit& fit, Size offset = {},
                const PPDPageSize& on = fourBySix, double resolution = 360) {
    return Layout::place(w, h, on, Margins{}, fit, resolution, offset);
}

std::string pixels(const Placement& p) {
    return std::to_string(p.pixelWidth) + "x" + std::to_string(p.pixelHeight);
}

PlacementError placementError(const std::function<void()>& body) {
    try {
        body();
    } catch (const PlacementError& error) {
        return error;
    }
    ADD_FAILURE() << "no PlacementError";
    return PlacementError(PlacementErrorCode::noPrintableArea);
}

} // namespace

TEST(LayoutTest, PrintableAreaComesFromImageableAreaOrWholePage) {
    const Margins margins{10, 20, 30, 40}; // top, left, bottom, right
    EXPECT_EQ(Layout::printableArea(page(288, 432), margins), Rect(20, 30, 228, 392));
    EXPECT_EQ(Layout::printableArea(page(288, 432, std::vector<double>{8.5, 12, 279.5, 420}), margins),
              Rect(28.5, 42, 211, 368));
    EXPECT_EQ(Layout::printableArea(page(288, 432), Margins::all(18)), Rect(18, 18, 252, 396));
    EXPECT_FALSE(Layout::printableArea(page(288, 432), Margins{216, 0, 216, 0})); // exactly zero high
    EXPECT_FALSE(Layout::printableArea(page(288, 432), Margins{0, 144, 0, 144}));
    EXPECT_FALSE(Layout::printableArea(page(288, 432), Margins{std::nan(""), 0, 0, 0}));
    // A photo without room or without pixels.
    for (auto body : std::vector<std::function<void()>>{
             [] {
                 Layout::place(9, 9, page(288, 432), Margins{0, 144, 0, 144}, ImageFit::fit(), 360, {});
             },
             [] { place(0, 100, ImageFit::fit()); }, [] { place(100, -1, ImageFit::fill()); }}) {
        PlacementError error = placementError(body);
        EXPECT_EQ(error.code(), PlacementErrorCode::noPrintableArea);
        EXPECT_EQ(error.message(), "여백을 빼면 인쇄할 공간이 없습니다");
    }
}

TEST(LayoutTest, ExactSizeTurnsToPhotoOrientationAndMayExceedAreaByHalfAPixel) {
    // A square photo counts as portrait; a square size never turns.
    EXPECT_EQ(place(2000, 3000, ImageFit::exactSize(288, 216, true)).rect.size, (Size{216, 288}));
    EXPECT_EQ(place(2000, 2000, ImageFit::exactSize(288, 216, true)).rect.size, (Size{216, 288}));
    EXPECT_EQ(place(3000, 2000, ImageFit::exactSize(288, 216, true)).rect.size, (Size{288, 216}));
    EXPECT_EQ(place(2000, 3000, ImageFit::exactSize(288, 216, false)).rect.size, (Size{288, 216}));
    EXPECT_EQ(place(3000, 2000, ImageFit::exactSize(216, 288, true)).rect.size, (Size{288, 216}));
    EXPECT_EQ(place(3000, 2000, ImageFit::exactSize(216, 216, true)).rect.size, (Size{216, 216}));

    // At 360 pixels per inch half a pixel is 0.1 point.
    EXPECT_NO_THROW(place(1000, 1000, ImageFit::exactSize(100.1, 50, false), {}, page(100, 100)));
    PlacementError error = placementError(
        [] { place(1000, 1000, ImageFit::exactSize(100.1000001, 50, false), {}, page(100, 100)); });
    EXPECT_EQ(error.code(), PlacementErrorCode::tooLarge);
    EXPECT_EQ(error.message(), "35×18mm는 이 용지의 인쇄 영역보다 큽니다");
    // The message shows the size after turning (300 × 100 points for a landscape photo), whatever the locale.
    GermanLocale german;
    EXPECT_EQ(placementError([] { place(3000, 2000, ImageFit::exactSize(100, 300, true)); }).message(),
              "106×35mm는 이 용지의 인쇄 영역보다 큽니다");
}

TEST(LayoutTest, SnapsWithinFourPointsInclusiveAndReportsTheGuidesItTouches) {
    const Rect area(0, 0, 288, 432);
    EXPECT_EQ(Layout::settle(4.0, 100, 100, 100, area, fourBySix),
              (Layout::Settled{0, 100, SnapGuides::left}));
    EXPECT_EQ(Layout::settle(4.0001, 100, 100, 100, area, fourBySix), (Layout::Settled{4.0001, 100, {}}));
    // The page's centre line is a guide too (the area's would put it at 70).
    EXPECT_EQ(Layout::settle(95, 300, 100, 100, Rect(20, 20, 200, 392), fourBySix),
              (Layout::Settled{94, 300, SnapGuides::centerX}));
    // Snapped to the page's left edge, then clamped back into the area; the guide stays.
    EXPECT_EQ(Layout::settle(2, 300, 10, 10, Rect(21, 21, 246, 390), fourBySix),
              (Layout::Settled{21, 300, SnapGuides::left}));

    // Raw values are written out: the set is stored and compared as a number.
    const ImageFit square = ImageFit::exactSize(100, 100, false);
    const struct {
        std::int64_t width, height;
        ImageFit fit;
        Size offset;
        Rect rect;
        std::int64_t guides;
    } cases[] = {
        {2000, 3000, ImageFit::fit(), {}, Rect(0, 0, 288, 432), 8 | 1},      // as high and wide as the area
        {1000, 1000, square, {}, Rect(94, 166, 100, 100), 16 | 32},          // unmoved, smaller both ways
        {1000, 1000, square, {200, -300}, Rect(188, 0, 100, 100), 2 | 8},    // dragged past two edges
        {1000, 1000, square, {0, 300}, Rect(94, 332, 100, 100), 4 | 16},     // dragged past the top
        {1000, 1000, square, {-30.05, 12.33}, Rect(64, 178.4, 100, 100), 0}, // stays, on the pixel grid
    };
    for (const auto& c : cases) {
        Placement p = place(c.width, c.height, c.fit, c.offset);
        expectRect(p.rect, c.rect);
        EXPECT_EQ(p.snapped.rawValue, c.guides) << &c - cases;
    }
    // One pixel per point: 100.5 points round to 101 pixels, half a point wider than the area. The centre
    // wins: centred at −0.25, to the nearest pixel 0; pushed to the right edge it would be at −1.
    Placement wider = place(1000, 3000, ImageFit::fill(), {}, page(100.5, 300), 72);
    expectRect(wider.rect, Rect(0, 0, 101, 300));
    EXPECT_EQ(wider.snapped, SnapGuides::centerX | SnapGuides::bottom);
}

TEST(LayoutTest, PixelCountsRoundHalvesAwayFromZeroAndCropsAreCentred) {
    // One pixel per point: 2.5 points are 3 pixels, 1.5 are 2, and a vanishing size still covers one.
    EXPECT_EQ(pixels(place(10, 10, ImageFit::exactSize(2.5, 1.5, false), {}, page(100, 100), 72)), "3x2");
    EXPECT_EQ(pixels(place(10, 10, ImageFit::exactSize(0.1, 0.1, false), {}, page(100, 100), 72)), "1x1");

    Placement filled = place(3000, 2000, ImageFit::fill());
    EXPECT_EQ(pixels(filled), "1440x2160");
    expectRect(filled.crop, Rect((1 - 4.0 / 9) / 2, 0, 4.0 / 9, 1), 1e-12);
    expectRect(place(1000, 3000, ImageFit::exactSize(144, 144, false)).crop, Rect(0, 1.0 / 3, 1, 1.0 / 3),
               1e-12);
}

TEST(LayoutTest, OffsetThatIsNotANumberIsIgnored) {
    const ImageFit fit = ImageFit::exactSize(100, 80, false);
    const Placement centred = place(3000, 2000, fit);
    const double inf = std::numeric_limits<double>::infinity();
    for (Size offset : {Size{std::nan(""), 5}, Size{5, std::nan("")}, Size{inf, 0}, Size{0, -inf}}) {
        Placement p = place(3000, 2000, fit, offset);
        EXPECT_TRUE(p.rect.isFinite());
        EXPECT_EQ(p, centred);
    }
}
