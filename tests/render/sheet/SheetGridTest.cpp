// Grid pages to finished PDFs: photos in their cells, caption strips, cut marks over the photos, empty
// cells left blank; how often each photo is decoded; and the colour plan shared by the cells.
#include "PrintKit/render/sheet/CellSource.h"
#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/layout/GridLayout.h"
#include "PrintKit/render/sheet/LinearSource.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "SheetPhotos.h"
#include "SheetProbe.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <lcms2.h>

using namespace PrintKit;
using TestSupport::TemporaryDirectory;

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
    TestImages::PngOptions options;
    options.icc = icc;
    TestImages::write(folder / name, TestImages::png(pixels, options));
    return folder / name;
}

std::filesystem::path solid(const TemporaryDirectory& folder, const std::string& name, SheetPhotos::Colour c,
                            int width = 60, int height = 40,
                            const std::string& icc = ColorSpace::sRGB().icc) {
    return png(folder, name, TestImages::solid(width, height, {c.r, c.g, c.b}), icc);
}

struct Decodes {
    std::vector<std::pair<std::string, int>> seen;
    SheetRenderer::Tuning tuning(int band = SheetRenderer::bandRows) {
        SheetRenderer::Tuning t;
        t.bandHeight = band;
        t.decoded = [this](const std::filesystem::path& path, int reduced) {
            seen.emplace_back(path.filename().string(), reduced);
        };
        return t;
    }
};

// The raster pixels of a plan rectangle (the plan's pixels are the raster's at 100 dpi, offset by the plan).
SheetProbe::Raster::Box onRaster(const GridPlan& p, const PixelRect& r) {
    const Rect rect = p.pageRect(r);
    const double k = resolution / 72;
    return {static_cast<int>(std::lround(rect.minX() * k)),
            static_cast<int>(std::lround((page.height - rect.maxY()) * k)), static_cast<int>(r.width),
            static_cast<int>(r.height)};
}

int darkPixels(const SheetProbe::Raster& raster, const SheetProbe::Raster::Box& box, int below = 200,
               int inset = 0) {
    int count = 0;
    for (int y = box.y + inset; y < box.y + box.height - inset; ++y) {
        for (int x = box.x + inset; x < box.x + box.width - inset; ++x) {
            if (raster.at(x, y, 0) < below && raster.at(x, y, 1) < below && raster.at(x, y, 2) < below) {
                ++count;
            }
        }
    }
    return count;
}

int nonWhitePixels(const SheetProbe::Raster& raster, const SheetProbe::Raster::Box& box) {
    int count = 0;
    for (int y = box.y; y < box.y + box.height; ++y) {
        for (int x = box.x; x < box.x + box.width; ++x) {
            if (raster.at(x, y, 0) < 255 || raster.at(x, y, 1) < 255 || raster.at(x, y, 2) < 255) {
                ++count;
            }
        }
    }
    return count;
}

} // namespace

TEST(SheetGridTest, PagePrintsPhotosCaptionsAndCutMarksAndLeavesEmptyCellsBlank) {
    TemporaryDirectory folder;
    const GridPlan p = plan();
    ASSERT_EQ(p.cells.size(), 6u);
    ASSERT_EQ(p.captionHeight, 10);
    ASSERT_FALSE(p.marks.empty());
    const auto a = solid(folder, "a.png", SheetPhotos::green);
    const auto b = solid(folder, "b.png", SheetPhotos::blue);
    // Four entries for six cells: the third is empty, the last two cells get nothing.
    const std::vector<std::optional<GridCellPhoto>> photos = {GridCellPhoto(a, "제주 바다"), GridCellPhoto(b),
                                                              std::nullopt, GridCellPhoto(a, "Jeju 2024")};
    SheetRenderer::renderGrid(photos, p, spec, page, SheetColor::sRGB(), OutputSharpening::standard,
                              std::nullopt, folder / "grid.pdf");

    EXPECT_TRUE(SheetProbe::qpdfAccepts(folder / "grid.pdf"));
    const auto listed = SheetProbe::listed(folder / "grid.pdf");
    // a, its caption, b, a again (the same way, so no decode), its caption.
    ASSERT_EQ(listed.size(), 5u);
    for (const auto& image : listed) {
        EXPECT_EQ(image.bpc, 16);
    }
    EXPECT_EQ(listed[1].width, 150);
    EXPECT_EQ(listed[1].height, 10);

    const auto raster = SheetProbe::raster(folder / "grid.pdf", resolution);
    auto strip = [&](std::size_t i) {
        const PixelRect& c = p.cells[i];
        return onRaster(p, PixelRect{c.x, c.y + c.height - p.captionHeight, c.width, p.captionHeight});
    };
    auto photoArea = [&](std::size_t i) {
        const PixelRect& c = p.cells[i];
        return onRaster(p, PixelRect{c.x, c.y, c.width, c.height - p.captionHeight});
    };
    EXPECT_GT(darkPixels(raster, strip(0), 230), 10) << "Hangul caption";
    EXPECT_GT(darkPixels(raster, strip(3), 230), 10) << "Latin caption";
    // (The painter may let the photo above cover the strip's first row.)
    auto below = strip(1);
    below.y += 1;
    below.height -= 1;
    EXPECT_EQ(nonWhitePixels(raster, below), 0) << "no caption given";
    for (std::size_t empty : {2u, 4u, 5u}) {
        EXPECT_EQ(nonWhitePixels(raster, onRaster(p, p.cells[empty])), 0) << "cell " << empty;
    }
    // The photos fill their areas with their colours (away from the cut marks at the cell corners).
    const auto area = photoArea(1);
    EXPECT_NEAR(raster.mean(area.x + 20, area.y + 20, area.width - 40, area.height - 40, 2),
                SheetPhotos::blue.b, 3);
    // Cut marks: filled black, on top of everything.
    for (const PixelRect& mark : p.marks) {
        const auto box = onRaster(p, mark);
        EXPECT_EQ(darkPixels(raster, box, 30), box.width * box.height)
            << "mark at " << mark.x << "," << mark.y;
    }
}

TEST(SheetGridTest, PageBytesDoNotDependOnTheBandHeight) {
    TemporaryDirectory folder;
    const auto a = png(folder, "a.png", SheetPhotos::scene(90, 70));
    const auto b = png(folder, "b.png", SheetPhotos::scene(50, 80, 16), ColorProfiles::displayP3());
    const std::vector<std::optional<GridCellPhoto>> photos = {GridCellPhoto(a, "하나"),
                                                              GridCellPhoto(b, "둘"), GridCellPhoto(a)};
    TestSupport::writeFile(folder / "paper.icc", TestProfiles::lutPrinter(9));
    for (const SheetColor& color :
         {SheetColor::sRGB(),
          SheetColor::paper(folder / "paper.icc", RenderingIntent::relativeColorimetric, false)}) {
        std::string first;
        for (int band : {256, 7, 1}) {
            SheetRenderer::Tuning tuning;
            tuning.bandHeight = band;
            SheetRenderer::renderGrid(photos, plan(), spec, page, color, OutputSharpening::high, std::nullopt,
                                      folder / "grid.pdf", tuning);
            const std::string bytes = TestSupport::readFile(folder / "grid.pdf");
            if (first.empty()) {
                first = bytes;
            } else {
                EXPECT_TRUE(bytes == first) << "band height " << band;
            }
        }
    }
}

TEST(SheetGridTest, PhotoIsDecodedOnceForARunOfCellsShowingItAlike) {
    TemporaryDirectory folder;
    const auto a = solid(folder, "a.png", SheetPhotos::red);
    const auto b = solid(folder, "b.png", SheetPhotos::blue);
    Decodes run;
    SheetRenderer::renderGrid(std::vector<std::optional<GridCellPhoto>>(6, GridCellPhoto(a)), plan(), spec,
                              page, SheetColor::sRGB(), OutputSharpening::off, std::nullopt,
                              folder / "same.pdf", run.tuning());
    EXPECT_EQ(run.seen, (std::vector<std::pair<std::string, int>>{{"a.png", 0}}));

    // Only the previous cell is remembered: a photo coming back after another one is decoded again.
    Decodes again;
    SheetRenderer::renderGrid({GridCellPhoto(a), GridCellPhoto(a), GridCellPhoto(b), GridCellPhoto(a)},
                              plan(), spec, page, SheetColor::sRGB(), OutputSharpening::off, std::nullopt,
                              folder / "mixed.pdf", again.tuning());
    EXPECT_EQ(again.seen,
              (std::vector<std::pair<std::string, int>>{{"a.png", 0}, {"b.png", 0}, {"a.png", 0}}));
}

TEST(SheetGridTest, PhotosFarLargerThanTheirCellsAreDecodedReduced) {
    TemporaryDirectory folder;
    // 1500 × 1000 into a 150-pixel cell: a tenth of the pixels would do, so about a fifth is decoded.
    const auto big = png(folder, "big.png", SheetPhotos::scene(1500, 1000));
    const auto small = png(folder, "small.png", SheetPhotos::scene(200, 150));
    Decodes run;
    SheetRenderer::renderGrid({GridCellPhoto(big), GridCellPhoto(small)}, plan(), spec, page,
                              SheetColor::sRGB(), OutputSharpening::standard, std::nullopt,
                              folder / "grid.pdf", run.tuning());
    ASSERT_EQ(run.seen.size(), 2u);
    EXPECT_EQ(run.seen[0].first, "big.png");
    EXPECT_GT(run.seen[0].second, 2 * 150);
    EXPECT_LT(run.seen[0].second, 1500 / 2);
    EXPECT_EQ(run.seen[1], (std::pair<std::string, int>{"small.png", 0}));
}

TEST(SheetGridTest, CellsWhoseProfilesShareALinearFormKeepTheirOwnColours) {
    TemporaryDirectory folder;
    // Same primaries, different tone curves: one linear form, two encodings.
    const auto gamma22 =
        TestProfiles::space("gamma 2.2", TestProfiles::srgbPrimaries(), TestProfiles::Curve::gamma, 2.2, 2.1);
    const auto gamma16 =
        TestProfiles::space("gamma 1.6", TestProfiles::srgbPrimaries(), TestProfiles::Curve::gamma, 1.6, 2.1);
    ASSERT_EQ(*ColorProfiles::linearized(gamma22.own), *ColorProfiles::linearized(gamma16.own));
    const SheetPhotos::Colour colour{180, 120, 60};
    const auto a = solid(folder, "a.png", colour, 60, 40, gamma22.own);
    const auto b = solid(folder, "b.png", colour, 60, 40, gamma16.own);
    const std::string paper = TestProfiles::lutPrinter(17);
    TestSupport::writeFile(folder / "paper.icc", paper);
    SheetRenderer::renderGrid(
        {GridCellPhoto(a), GridCellPhoto(b)}, plan(), spec, page,
        SheetColor::paper(folder / "paper.icc", RenderingIntent::relativeColorimetric, false),
        OutputSharpening::off, std::nullopt, folder / "grid.pdf");
    const auto images = SheetProbe::images(folder / "grid.pdf");
    ASSERT_EQ(images.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string& own = i == 0 ? gamma22.own : gamma16.own;
        cmsHPROFILE from = cmsOpenProfileFromMem(own.data(), static_cast<cmsUInt32Number>(own.size()));
        cmsHPROFILE to = cmsOpenProfileFromMem(paper.data(), static_cast<cmsUInt32Number>(paper.size()));
        cmsHTRANSFORM t =
            cmsCreateTransform(from, TYPE_RGB_16, to, TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC, 0);
        const cmsUInt16Number in[3] = {180 * 257, 120 * 257, 60 * 257};
        cmsUInt16Number out[3];
        cmsDoTransform(t, in, out, 1);
        cmsDeleteTransform(t);
        cmsCloseProfile(from);
        cmsCloseProfile(to);
        const auto& image = images[i];
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(image.at(image.width / 2, image.height / 2, c), out[c], 65535 * 0.002)
                << "cell " << i << ", channel " << c;
        }
    }
}

TEST(SheetGridTest, MissingPhotoFailsTheWholePageWithItsPathAndLeavesNoFile) {
    TemporaryDirectory folder;
    const auto a = solid(folder, "a.png", SheetPhotos::red);
    TestSupport::writeFile(folder / "grid.pdf", "the page printed before");
    std::vector<std::optional<GridCellPhoto>> photos(6, GridCellPhoto(a));
    photos[4] = GridCellPhoto(folder / "gone.jpg");
    try {
        SheetRenderer::renderGrid(photos, plan(), spec, page, SheetColor::sRGB(), OutputSharpening::off,
                                  std::nullopt, folder / "grid.pdf");
        FAIL() << "no error";
    } catch (const SheetRenderError& error) {
        EXPECT_EQ(std::string(error.what()), "사진을 읽지 못했습니다: " + (folder / "gone.jpg").string());
    }
    EXPECT_EQ(TestSupport::readFile(folder / "grid.pdf"), "the page printed before");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

TEST(SheetGridTest, BorderlessCellsReachThePageEdgesWhileCaptionsStayPut) {
    TemporaryDirectory folder;
    const auto a = solid(folder, "a.png", SheetPhotos::blue);
    const auto bleed = BorderlessBleed::autoExpand(page, 1.04);
    // Two by two cells that fill the visible part exactly (192 × 288 pixels at 100 ppi).
    const GridSpec edgeToEdge = GridSpec::make(138.24, 207.36, 0, false, false, false, false, true);
    const GridPlan p = GridLayout::plan(bleed.placingPage(page), Margins{}, edgeToEdge, resolution);
    ASSERT_EQ(p.cells.size(), 4u);
    SheetRenderer::renderGrid(std::vector<std::optional<GridCellPhoto>>(4, GridCellPhoto(a, "가장자리")), p,
                              edgeToEdge, page, SheetColor::sRGB(), OutputSharpening::off, bleed,
                              folder / "grid.pdf");
    const auto raster = SheetProbe::raster(folder / "grid.pdf", resolution);
    // The top-left cell's photo reaches the page's corner; the bottom-right cell's caption strip is where
    // the plan put it, inside the visible part, with white paper under its text.
    EXPECT_LT(raster.at(0, 0, 0), 60);
    EXPECT_LT(raster.at(raster.width - 1, 0, 0), 60);
    const PixelRect& last = p.cells[3];
    const auto strip =
        onRaster(p, PixelRect{last.x, last.y + last.height - p.captionHeight, last.width, p.captionHeight});
    EXPECT_GT(raster.at(strip.x + 2, strip.y + strip.height / 2, 0), 240);
    EXPECT_LT(strip.y + strip.height, raster.height - 1);
}

TEST(CellSourceTest, SizeIsUprightAndOddOrientationsLeaveItAsStored) {
    TemporaryDirectory folder;
    for (auto [orientation, width, height] :
         {std::tuple{1, 40, 30}, std::tuple{6, 30, 40}, std::tuple{8, 30, 40}, std::tuple{3, 40, 30},
          std::tuple{9, 40, 30}, std::tuple{0, 40, 30}}) {
        TestImages::JpegOptions options;
        options.orientation = orientation;
        TestImages::write(folder / "photo.jpg",
                          TestImages::jpeg(TestImages::solid(40, 30, {10, 20, 30}), options));
        const CellSource source(folder / "photo.jpg");
        EXPECT_EQ(source.width, width) << "orientation " << orientation;
        EXPECT_EQ(source.height, height) << "orientation " << orientation;
    }
    try {
        CellSource missing(folder / "missing.heic");
        FAIL() << "no error";
    } catch (const SheetRenderError& error) {
        EXPECT_EQ(std::string(error.what()), "사진을 읽지 못했습니다: " + (folder / "missing.heic").string());
    }
}

TEST(CellSourceTest, DecodesReducedOnlyWhenTheFrameNeedsLessThanHalfThePixels) {
    const CellSource photo("photo.jpg", 6000, 4000);
    // Whole into 600 × 400: ratio 0.1, a long side of 1200 keeps twice the pixels the frame needs.
    EXPECT_EQ(photo.reducedSize(CellFit{false, Rect(0, 0, 1, 1), {0, 0, 600, 400}}), 1200);
    // Ratio exactly 0.5: in full.
    EXPECT_EQ(photo.reducedSize(CellFit{false, Rect(0, 0, 1, 1), {0, 0, 3000, 2000}}), 0);
    // The more demanding axis decides: a crop of half the width needs twice the pixels across.
    EXPECT_EQ(photo.reducedSize(CellFit{false, Rect(0.25, 0, 0.5, 1), {0, 0, 600, 400}}), 2400);
    // Turned: the photo's height runs across the frame.
    EXPECT_EQ(photo.reducedSize(CellFit{true, Rect(0, 0, 1, 1), {0, 0, 400, 600}}), 1200);
    // An empty crop cannot be reduced sensibly: decode in full.
    EXPECT_EQ(photo.reducedSize(CellFit{false, Rect(0, 0, 0, 1), {0, 0, 600, 400}}), 0);
}
