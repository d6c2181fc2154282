#include "PrintKit/render/Layout.h"

#include "GermanLocale.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;

namespace {

PPDPageSize page(double width, double height, std::optional<std::vector<double>> imageable = std::nullopt) {
    PPDPageSize size;
    size.name = "Test";
    size.label = "Test";
    size.width = width;
    size.height = height;
    size.imageableArea = std::move(imageable);
    return size;
}

const PPDPageSize fourBySix = page(288, 432, std::vector<double>{0, 0, 288, 432});
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

void expectRect(const Rect& actual, double x, double y, double w, double h, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.minX(), x, tolerance);
    EXPECT_NEAR(actual.minY(), y, tolerance);
    EXPECT_NEAR(actual.width(), w, tolerance);
    EXPECT_NEAR(actual.height(), h, tolerance);
}

std::string messageOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const PlacementError& error) {
        return error.message();
    }
    return "(no error)";
}

} // namespace

TEST(LayoutTest, FitsLandscapePhotoOnFourBySixPage) {
    Placement p = Layout::place(3000, 2000, fourBySix, Margins{}, ImageFit::fit(), 360, Size{});
    EXPECT_EQ(p.rect, Rect(0, 120, 288, 192));
    EXPECT_EQ(p.pixelWidth, 1440);
    EXPECT_EQ(p.pixelHeight, 960);
    EXPECT_EQ(p.crop, Rect(0, 0, 1, 1));
    // The area's left edge wins the three-way tie, and a photo as wide as the area reports no edge bit.
    EXPECT_EQ(p.snapped.rawValue, 33);
    EXPECT_EQ(p.snapped, SnapGuides::left | SnapGuides::centerY);
}

TEST(LayoutTest, PrintableAreaComesFromImageableAreaOrWholePage) {
    Margins margins{10, 20, 30, 40}; // top, left, bottom, right
    auto area = Layout::printableArea(page(288, 432), margins);
    ASSERT_TRUE(area);
    EXPECT_EQ(*area, Rect(20, 30, 228, 392));

    area = Layout::printableArea(page(288, 432, std::vector<double>{8.5, 12, 279.5, 420}), margins);
    ASSERT_TRUE(area);
    EXPECT_EQ(*area, Rect(28.5, 42, 211, 368));

    EXPECT_FALSE(Layout::printableArea(page(288, 432), Margins{216, 0, 216, 0})); // exactly zero high
    EXPECT_FALSE(Layout::printableArea(page(288, 432), Margins{0, 144, 0, 144}));
    EXPECT_FALSE(Layout::printableArea(page(288, 432), Margins{notANumber, 0, 0, 0}));
}

TEST(LayoutTest, UniformMarginsInsetEverySide) {
    EXPECT_EQ(Margins::all(7.5), (Margins{7.5, 7.5, 7.5, 7.5}));
    EXPECT_EQ(Layout::printableArea(page(288, 432), Margins::all(18)), Rect(18, 18, 252, 396));
    EXPECT_EQ(Margins{}, Margins::all(0));
}

TEST(LayoutTest, RefusesPhotoWithoutRoomOrPixels) {
    const std::string expected = "여백을 빼면 인쇄할 공간이 없습니다";
    auto marginsEatPage = [] {
        Layout::place(100, 100, page(288, 432), Margins{0, 144, 0, 144}, ImageFit::fit(), 360, {});
    };
    EXPECT_EQ(messageOf(marginsEatPage), expected);
    EXPECT_EQ(messageOf([] { Layout::place(0, 100, fourBySix, Margins{}, ImageFit::fit(), 360, {}); }),
              expected);
    EXPECT_EQ(messageOf([] { Layout::place(100, -1, fourBySix, Margins{}, ImageFit::fill(), 360, {}); }),
              expected);
    try {
        Layout::place(100, 100, page(10, 10), Margins{5, 5, 5, 5}, ImageFit::fit(), 360, {});
        FAIL();
    } catch (const PlacementError& error) {
        EXPECT_EQ(error.code(), PlacementErrorCode::noPrintableArea);
    }
}

TEST(LayoutTest, ExactSizeTurnsToPhotoOrientation) {
    const ImageFit size = ImageFit::exactSize(288, 216, true);
    auto placed = [&](std::int64_t w, std::int64_t h, const ImageFit& fit) {
        Placement p = Layout::place(w, h, fourBySix, Margins{}, fit, 360, Size{});
        return std::pair{p.rect.width(), p.rect.height()};
    };
    EXPECT_EQ(placed(2000, 3000, size), (std::pair{216.0, 288.0})); // portrait photo
    EXPECT_EQ(placed(2000, 2000, size), (std::pair{216.0, 288.0})); // a square photo counts as portrait
    EXPECT_EQ(placed(3000, 2000, size), (std::pair{288.0, 216.0})); // landscape stays
    EXPECT_EQ(placed(2000, 3000, ImageFit::exactSize(288, 216, false)), (std::pair{288.0, 216.0}));
    EXPECT_EQ(placed(3000, 2000, ImageFit::exactSize(216, 216, true)), (std::pair{216.0, 216.0}));
    // A landscape photo turns a portrait size.
    EXPECT_EQ(placed(3000, 2000, ImageFit::exactSize(216, 288, true)), (std::pair{288.0, 216.0}));
}

TEST(LayoutTest, ExactSizeMayExceedAreaByHalfAPixel) {
    // At 360 pixels per inch half a pixel is 0.1 point.
    const PPDPageSize small = page(100, 100);
    EXPECT_NO_THROW(
        Layout::place(1000, 1000, small, Margins{}, ImageFit::exactSize(100.1, 50, false), 360, {}));
    try {
        Layout::place(1000, 1000, small, Margins{}, ImageFit::exactSize(100.1000001, 50, false), 360, {});
        FAIL();
    } catch (const PlacementError& error) {
        EXPECT_EQ(error.code(), PlacementErrorCode::tooLarge);
        EXPECT_EQ(error.message(), "35×18mm는 이 용지의 인쇄 영역보다 큽니다");
    }
    // The message shows the size after turning: 300 × 100 points for a landscape photo.
    GermanLocale german;
    EXPECT_EQ(messageOf([] {
                  Layout::place(3000, 2000, fourBySix, Margins{}, ImageFit::exactSize(100, 300, true), 360,
                                {});
              }),
              "106×35mm는 이 용지의 인쇄 영역보다 큽니다");
}

TEST(LayoutTest, SnapsWithinFourPointsInclusive) {
    const Rect area(0, 0, 288, 432);
    Layout::Settled snapped = Layout::settle(4.0, 100, 100, 100, area, fourBySix);
    EXPECT_EQ(snapped.x, 0);
    EXPECT_EQ(snapped.y, 100);
    EXPECT_EQ(snapped.guides, SnapGuides::left);

    Layout::Settled free = Layout::settle(4.0001, 100, 100, 100, area, fourBySix);
    EXPECT_EQ(free.x, 4.0001);
    EXPECT_TRUE(free.guides.isEmpty());

    // The page's own edges and centre are guides too, beyond the area's.
    const Rect offCentre(20, 20, 200, 392);
    Layout::Settled pageCentre = Layout::settle(95, 300, 100, 100, offCentre, fourBySix);
    EXPECT_EQ(pageCentre.x, 94); // the page's centre line; the area's would put it at 70
    EXPECT_EQ(pageCentre.guides, SnapGuides::centerX);
    // Snapped to the page's left edge, then clamped back into the area; the guide stays.
    Layout::Settled pageEdge = Layout::settle(2, 300, 10, 10, Rect(21, 21, 246, 390), fourBySix);
    EXPECT_EQ(pageEdge.x, 21);
    EXPECT_EQ(pageEdge.guides, SnapGuides::left);
}

TEST(LayoutTest, EqualCandidatesPreferTheEarlierOne) {
    // As high as the area: bottom wins over top and centre; as wide: left wins.
    Placement p = Layout::place(2000, 3000, fourBySix, Margins{}, ImageFit::fit(), 360, Size{});
    EXPECT_EQ(p.rect, Rect(0, 0, 288, 432));
    EXPECT_EQ(p.snapped, SnapGuides::left | SnapGuides::bottom);
}

TEST(LayoutTest, UnmovedSmallPhotoReportsBothCentres) {
    Placement p =
        Layout::place(1000, 1000, fourBySix, Margins{}, ImageFit::exactSize(100, 100, false), 360, {});
    EXPECT_EQ(p.snapped, SnapGuides::centerX | SnapGuides::centerY);
    EXPECT_EQ(p.snapped.rawValue, 48);
    expectRect(p.rect, 94, 166, 100, 100);
}

TEST(LayoutTest, OffsetPastTheEdgeIsClampedAndReportsTouchedEdges) {
    Placement p = Layout::place(1000, 1000, fourBySix, Margins{}, ImageFit::exactSize(100, 100, false), 360,
                                Size{200, -300});
    expectRect(p.rect, 188, 0, 100, 100);
    EXPECT_EQ(p.snapped, SnapGuides::right | SnapGuides::bottom);

    // A small drag stays where it was put, on the pixel grid.
    Placement moved = Layout::place(1000, 1000, fourBySix, Margins{}, ImageFit::exactSize(100, 100, false),
                                    360, Size{-30.05, 12.33});
    expectRect(moved.rect, 64, 178.4, 100, 100);
    EXPECT_TRUE(moved.snapped.isEmpty());
}

TEST(LayoutTest, FillLargerThanAreaByAFractionStaysCentred) {
    // One pixel per point: 100.5 points round to 101 pixels, half a point wider than the area.
    const PPDPageSize narrow = page(100.5, 300);
    Placement p = Layout::place(1000, 3000, narrow, Margins{}, ImageFit::fill(), 72, Size{});
    EXPECT_EQ(p.pixelWidth, 101);
    EXPECT_TRUE(p.snapped.contains(SnapGuides::centerX));
    EXPECT_FALSE(p.snapped.contains(SnapGuides::left));
    EXPECT_FALSE(p.snapped.contains(SnapGuides::right));
    // Centred at −0.25, to the nearest pixel 0; pushed to the right edge it would be at −1.
    EXPECT_EQ(p.rect.minX(), 0);
    EXPECT_EQ(p.rect.maxX(), 101);
}

TEST(LayoutTest, PixelCountsRoundHalvesAwayFromZero) {
    // One pixel per point: 2.5 points are 3 pixels, 1.5 are 2.
    Placement p =
        Layout::place(10, 10, page(100, 100), Margins{}, ImageFit::exactSize(2.5, 1.5, false), 72, {});
    EXPECT_EQ(p.pixelWidth, 3);
    EXPECT_EQ(p.pixelHeight, 2);
    EXPECT_EQ(p.rect.width(), 3);
    // A vanishing size still covers one pixel.
    Placement tiny =
        Layout::place(10, 10, page(100, 100), Margins{}, ImageFit::exactSize(0.1, 0.1, false), 72, {});
    EXPECT_EQ(tiny.pixelWidth, 1);
    EXPECT_EQ(tiny.pixelHeight, 1);
}

TEST(LayoutTest, CropCutsOverhangEquallyFromBothSides) {
    Placement filled = Layout::place(3000, 2000, fourBySix, Margins{}, ImageFit::fill(), 360, {});
    EXPECT_EQ(filled.pixelWidth, 1440);
    EXPECT_EQ(filled.pixelHeight, 2160);
    expectRect(filled.crop, (1 - 4.0 / 9) / 2, 0, 4.0 / 9, 1, 1e-12);

    Placement tall =
        Layout::place(1000, 3000, fourBySix, Margins{}, ImageFit::exactSize(144, 144, false), 360, {});
    expectRect(tall.crop, 0, 1.0 / 3, 1, 1.0 / 3, 1e-12);
}

TEST(LayoutTest, RectangleLiesOnThePixelGridOfThePage) {
    const PPDPageSize odd = page(287.3, 431.1, std::vector<double>{3.3, 5.1, 284.0, 425.7});
    for (auto fit : {ImageFit::fit(), ImageFit::fill(), ImageFit::exactSize(123.4, 98.7, true)}) {
        Placement p = Layout::place(4032, 3024, odd, Margins{7, 7, 7, 7}, fit, 720, Size{3.3, -2.2});
        const double pitch = 0.1;
        EXPECT_NEAR(p.rect.minX() / pitch, std::round(p.rect.minX() / pitch), 1e-6);
        EXPECT_NEAR(p.rect.minY() / pitch, std::round(p.rect.minY() / pitch), 1e-6);
        EXPECT_NEAR(p.rect.width(), pitch * static_cast<double>(p.pixelWidth), 1e-9);
        EXPECT_NEAR(p.rect.height(), pitch * static_cast<double>(p.pixelHeight), 1e-9);
    }
}

TEST(LayoutTest, OffsetThatIsNotANumberIsIgnored) {
    const Placement centred = Layout::place(3000, 2000, fourBySix, Margins{10, 10, 10, 10},
                                            ImageFit::exactSize(100, 80, false), 360, {});
    for (Size offset : std::vector<Size>{Size{notANumber, 5}, Size{5, notANumber},
                                         Size{std::numeric_limits<double>::infinity(), 0},
                                         Size{0, -std::numeric_limits<double>::infinity()}}) {
        Placement p = Layout::place(3000, 2000, fourBySix, Margins{10, 10, 10, 10},
                                    ImageFit::exactSize(100, 80, false), 360, offset);
        EXPECT_TRUE(p.rect.isFinite());
        EXPECT_EQ(p, centred);
    }
}
