// Grid pages to finished PDFs: photos in their cells, caption strips, cut marks over the photos, empty
// cells left blank; how often each photo is decoded; and the colour plan shared by the cells.
#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/layout/GridLayout.h"
#include "PrintKit/render/sheet/CellSource.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "SheetProbe.h"
#include "TestImages.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <lcms2.h>

using namespace PrintKit;
using TestSupport::TemporaryDirectory;
using Cells = std::vector<std::optional<GridCellPhoto>>;

namespace {

const PPDPageSize page{"4x6", "4x6", {}, 288, 432, std::nullopt};
constexpr double resolution = 100;
// 1.5 in cells, a quarter inch apart: two columns and three rows on the sheet, each cell 150 pixels, of
// which the bottom 10 are the caption strip.
const GridSpec spec = GridSpec::make(108, 108, 18, false, false, false, true, true);

GridPlan plan() {
    return GridLayout::plan(page, Margins::all(18), spec, resolution);
}

std::filesystem::path png(const TemporaryDirectory& folder, const std::string& name,
                          const TestImages::Pixels& pixels, const std::string& icc = ColorSpace::sRGB().icc) {
    TestImages::write(folder / name, TestImages::png(pixels, {.icc = icc}));
    return folder / name;
}

std::filesystem::path solid(const TemporaryDirectory& folder, const std::string& name, TestImages::Colour c,
                            const std::string& icc = ColorSpace::sRGB().icc) {
    return png(folder, name, TestImages::solid(60, 40, {c[0], c[1], c[2]}), icc);
}

void render(const Cells& photos, const GridPlan& p, const std::filesystem::path& pdf,
            SheetColor color = SheetColor::sRGB(), OutputSharpening sharpening = OutputSharpening::off,
            SheetRenderer::Tuning tuning = {}, std::optional<BorderlessBleed> bleed = std::nullopt,
            const GridSpec& with = spec) {
    SheetRenderer::renderGrid(photos, p, with, page, color, sharpening, bleed, pdf, tuning);
}

// What each render decoded: the file name and the reduced size asked for (0: in full).
struct Decodes {
    std::vector<std::pair<std::string, int>> seen;
    SheetRenderer::Tuning tuning() {
        SheetRenderer::Tuning t;
        t.decoded = [this](const std::filesystem::path& path, int reduced) {
            seen.emplace_back(path.filename().string(), reduced);
        };
        return t;
    }
};

// The raster pixels of a plan rectangle (the plan's pixels are the raster's at 100 dpi, offset by the plan).
SheetProbe::Raster::Box onRaster(const GridPlan& p, const PixelRect& r, int captionOnly = 0) {
    const Rect rect = p.pageRect(r);
    const double k = resolution / 72;
    SheetProbe::Raster::Box box{static_cast<int>(std::lround(rect.minX() * k)),
                                static_cast<int>(std::lround((page.height - rect.maxY()) * k)),
                                static_cast<int>(r.width), static_cast<int>(r.height)};
    if (captionOnly) { // the strip at the bottom of a cell
        box.y += box.height - captionOnly;
        box.height = captionOnly;
    }
    return box;
}

} // namespace

TEST(SheetGridTest, PagePrintsPhotosCaptionsAndCutMarksAndLeavesEmptyCellsBlank) {
    TemporaryDirectory folder;
    const GridPlan p = plan();
    ASSERT_EQ(std::tuple(p.cells.size(), p.captionHeight, p.marks.empty()), std::tuple(6u, 10, false));
    const auto a = solid(folder, "a.png", TestImages::green), b = solid(folder, "b.png", TestImages::blue);
    // Four entries for six cells: the third is empty, the last two cells get nothing.
    render({GridCellPhoto(a, "제주 바다"), GridCellPhoto(b), std::nullopt, GridCellPhoto(a, "Jeju 2024")}, p,
           folder / "grid.pdf", SheetColor::sRGB(), OutputSharpening::standard);
    EXPECT_TRUE(SheetProbe::qpdfAccepts(folder / "grid.pdf"));
    // a, its caption, b, a again (the same way, so no decode), its caption.
    EXPECT_EQ(SheetProbe::listed(folder / "grid.pdf"),
              (std::vector<std::string>{"150 140 icc 16", "150 10 icc 16", "150 140 icc 16", "150 140 icc 16",
                                        "150 10 icc 16"}));
    const auto raster = SheetProbe::raster(folder / "grid.pdf", resolution);
    EXPECT_GT(raster.dark(onRaster(p, p.cells[0], p.captionHeight), 230), 10) << "Hangul caption";
    EXPECT_GT(raster.dark(onRaster(p, p.cells[3], p.captionHeight), 230), 10) << "Latin caption";
    // (The painter may let the photo above cover the strip's first row.)
    EXPECT_EQ(raster.dark(onRaster(p, p.cells[1], p.captionHeight - 1), 255), 0) << "no caption given";
    for (std::size_t empty : {2u, 4u, 5u}) {
        EXPECT_EQ(raster.dark(onRaster(p, p.cells[empty]), 255), 0) << "cell " << empty;
    }
    // The photos fill their areas with their colours (away from the cut marks at the cell corners).
    auto area = onRaster(p, p.cells[1]);
    EXPECT_NEAR(raster.mean({area.x + 20, area.y + 20, area.width - 40, area.height - 50}, 2),
                TestImages::blue[2], 3);
    // Cut marks: filled black, on top of everything.
    for (const PixelRect& mark : p.marks) {
        const auto box = onRaster(p, mark);
        EXPECT_EQ(raster.dark(box, 30), box.width * box.height) << "mark at " << mark.x << "," << mark.y;
    }
}

TEST(SheetGridTest, CellsWhoseProfilesShareALinearFormKeepTheirOwnColours) {
    TemporaryDirectory folder;
    // Same primaries, different tone curves: one linear form, two encodings.
    const auto gamma22 =
        TestProfiles::space("gamma 2.2", TestProfiles::srgbPrimaries, TestProfiles::Curve::gamma, 2.2, 2.1);
    const auto gamma16 =
        TestProfiles::space("gamma 1.6", TestProfiles::srgbPrimaries, TestProfiles::Curve::gamma, 1.6, 2.1);
    ASSERT_EQ(*ColorProfiles::linearized(gamma22.own), *ColorProfiles::linearized(gamma16.own));
    const std::string paper = TestProfiles::lutPrinter(17);
    TestSupport::writeFile(folder / "paper.icc", paper);
    render({GridCellPhoto(solid(folder, "a.png", {180, 120, 60}, gamma22.own)),
            GridCellPhoto(solid(folder, "b.png", {180, 120, 60}, gamma16.own))},
           plan(), folder / "grid.pdf",
           SheetColor::paper(folder / "paper.icc", RenderingIntent::relativeColorimetric, false));
    const auto images = SheetProbe::images(folder / "grid.pdf");
    ASSERT_EQ(images.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string& own = i == 0 ? gamma22.own : gamma16.own;
        const std::uint16_t in[3] = {180 * 257, 120 * 257, 60 * 257};
        const auto out = TestProfiles::convert<std::uint16_t>(own, TYPE_RGB_16, paper, TYPE_RGB_16,
                                                              INTENT_RELATIVE_COLORIMETRIC, false, in, 1);
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(images[i].at(images[i].width / 2, images[i].height / 2, c), out[c], 65535 * 0.002)
                << i;
        }
    }
}

TEST(SheetGridTest, MissingPhotoFailsTheWholePageWithItsPathAndLeavesNoFile) {
    TemporaryDirectory folder;
    TestSupport::writeFile(folder / "grid.pdf", "the page printed before");
    Cells photos(6, GridCellPhoto(solid(folder, "a.png", TestImages::red)));
    photos[4] = GridCellPhoto(folder / "gone.jpg");
    TestSupport::expectFailure<SheetRenderError>([&] { render(photos, plan(), folder / "grid.pdf"); },
                                                 SheetRenderErrorCode::unreadableImage,
                                                 "사진을 읽지 못했습니다: " + (folder / "gone.jpg").string());
    EXPECT_EQ(TestSupport::readFile(folder / "grid.pdf"), "the page printed before");
    EXPECT_EQ(TestSupport::filesIn(folder.path()), (std::vector<std::string>{"a.png", "grid.pdf"}));
}

TEST(SheetGridTest, BorderlessCellsReachThePageEdgesWhileCaptionsStayPut) {
    TemporaryDirectory folder;
    const auto bleed = BorderlessBleed::autoExpand(page, 1.04);
    // Two by two cells that fill the visible part exactly (192 × 288 pixels at 100 ppi).
    const GridSpec edgeToEdge = GridSpec::make(138.24, 207.36, 0, false, false, false, false, true);
    const GridPlan p = GridLayout::plan(bleed.placingPage(page), Margins{}, edgeToEdge, resolution);
    ASSERT_EQ(p.cells.size(), 4u);
    render(Cells(4, GridCellPhoto(solid(folder, "a.png", TestImages::blue), "가장자리")), p,
           folder / "grid.pdf", SheetColor::sRGB(), {}, {}, bleed, edgeToEdge);
    const auto raster = SheetProbe::raster(folder / "grid.pdf", resolution);
    // The top-left cell's photo reaches the page's corner; the bottom-right cell's caption strip is where
    // the plan put it, inside the visible part, with white paper under its text.
    EXPECT_LT(raster.at(0, 0, 0), 60);
    EXPECT_LT(raster.at(raster.width - 1, 0, 0), 60);
    const auto strip = onRaster(p, p.cells[3], p.captionHeight);
    EXPECT_GT(raster.at(strip.x + 2, strip.y + strip.height / 2, 0), 240);
    EXPECT_LT(strip.y + strip.height, raster.height - 1);
}

TEST(CellSourceTest, SizeIsUprightAndFarSmallerFramesAskForReducedDecodes) {
    TemporaryDirectory folder;
    for (auto [orientation, width] : {std::pair{1, 40}, std::pair{6, 30}, std::pair{8, 30}, std::pair{3, 40},
                                      std::pair{9, 40}, std::pair{0, 40}}) {
        TestImages::write(folder / "photo.jpg", TestImages::jpeg(TestImages::solid(40, 30, {10, 20, 30}),
                                                                 {.orientation = orientation}));
        const CellSource source(folder / "photo.jpg");
        EXPECT_EQ(source.width * 100 + source.height, width * 100 + 70 - width) << orientation;
    }
    EXPECT_THROW(CellSource(folder / "missing.heic"), SheetRenderError);
    const CellSource photo("photo.jpg", 6000, 4000);
    const Rect whole(0, 0, 1, 1);
    // Ratio 0.1: a long side of 1200 keeps twice the pixels the frame needs; exactly 0.5: in full; a crop
    // of half the width needs twice the pixels across; turned, the height runs across; an empty crop: in
    // full.
    EXPECT_EQ(photo.reducedSize(CellFit{false, whole, {0, 0, 600, 400}}), 1200);
    EXPECT_EQ(photo.reducedSize(CellFit{false, whole, {0, 0, 3000, 2000}}), 0);
    EXPECT_EQ(photo.reducedSize(CellFit{false, Rect(0.25, 0, 0.5, 1), {0, 0, 600, 400}}), 2400);
    EXPECT_EQ(photo.reducedSize(CellFit{true, whole, {0, 0, 400, 600}}), 1200);
    EXPECT_EQ(photo.reducedSize(CellFit{false, Rect(0, 0, 0, 1), {0, 0, 600, 400}}), 0);
}
