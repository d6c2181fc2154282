#include "PrintKit/targets/RasterCheck.h"

#include "PrintKit/targets/RasterCheckJSON.h"
#include "PrintKit/targets/TestTargetJSON.h"
#include "TargetFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using TargetFixtures::rgbHeader;
using TargetFixtures::writeRaster;
using TestSupport::TemporaryDirectory;

namespace {

constexpr cups_mode_t everyMode[] = {CUPS_RASTER_WRITE, CUPS_RASTER_WRITE_COMPRESSED, CUPS_RASTER_WRITE_PWG};

// 300 × 250 points: five columns of patches in five rows that end exactly at the bottom edge.
TestTargetManifest smallTarget(const std::filesystem::path& folder) {
    PPDPageSize page;
    page.name = "Small";
    page.width = 300;
    page.height = 250;
    return TestTarget::render(page, TestTargetVariant::deviceRGB(), folder / "small.pdf");
}

TestTargetManifest onePatch(std::vector<double> rect, std::vector<double> rgb = {0, 0, 0}) {
    return TestTargetManifest{"Page", 612, 792, "device", {TestPatch{"p", std::move(rgb), std::move(rect)}}};
}

std::array<std::uint16_t, 3> gray(std::uint16_t v) {
    return {v, v, v};
}

using Failure = std::pair<RasterCheckErrorCode, std::string>;

Failure failure(const std::filesystem::path& raster, const TestTargetManifest& manifest) {
    try {
        RasterCheck::measure(raster, manifest);
    } catch (const RasterCheckError& error) {
        return {error.code(), error.what()};
    }
    ADD_FAILURE() << "measured " << raster;
    return {};
}

} // namespace

TEST(RasterCheckTest, MeasuresAPerfectPrintInEveryWritingModeAndDepth) {
    TemporaryDirectory folder;
    const auto manifest = smallTarget(folder.path());
    for (cups_mode_t mode : everyMode) {
        for (unsigned bits : {8u, 16u}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", " << bits << " bits");
            const auto header = rgbHeader(600, 500, bits, 144);
            ASSERT_TRUE(writeRaster(folder / "page.ras", mode, header,
                                    TargetFixtures::perfectPrint(manifest, header)));
            const auto result = RasterCheck::measure(folder / "page.ras", manifest);
            EXPECT_EQ(std::vector<std::int64_t>(
                          {result.width, result.height, result.bitsPerColor, result.resolution}),
                      std::vector<std::int64_t>({600, 500, bits, 144}));
            EXPECT_EQ(result.imagingBox, (std::vector<double>{0, 0, 300, 250}));
            ASSERT_EQ(result.readings.size(), 24u);
            for (std::size_t i = 0; i < 24; ++i) {
                EXPECT_EQ(result.readings[i].measured, manifest.patches[i].rgb) << manifest.patches[i].name;
            }
            EXPECT_EQ(result.maxDelta(), 0);
        }
    }
}

TEST(RasterCheckTest, SixteenBitSamplesKeepTheirByteOrder) {
    TemporaryDirectory folder;
    for (cups_mode_t mode : everyMode) {
        // High and low bytes differ in every sample, so a swapped read shows.
        ASSERT_TRUE(
            writeRaster(folder / "page.ras", mode, rgbHeader(100, 100, 16, 72), [](unsigned, unsigned) {
                return std::array<std::uint16_t, 3>{0x1234, 0xABCD, 0x00FF};
            }));
        const auto reading =
            RasterCheck::measure(folder / "page.ras", onePatch({0, 0, 100, 100}, {0x12, 0xAB, 0x00}))
                .readings.at(0);
        const double expected[] = {0x1234 / 257.0, 0xABCD / 257.0, 0x00FF / 257.0};
        for (std::size_t c = 0; c < 3; ++c) {
            EXPECT_NEAR(reading.measured.at(c), expected[c], 1e-9) << mode;
        }
        EXPECT_NEAR(reading.maxDelta, expected[2], 1e-9);
    }
}

TEST(RasterCheckTest, SamplesTheMiddleHalfOfEachPatchInTheImagingBox) {
    TemporaryDirectory folder;
    // [18, 734, 40, 40] at 360 dpi under a 792-point box: columns and rows 140 ..< 240. Each pixel holds its
    // column in red and its row in green, so the means tell the window to the pixel.
    auto header = rgbHeader(250, 250, 16, 360);
    header.cupsImagingBBox[2] = 612;
    header.cupsImagingBBox[3] = 792;
    ASSERT_TRUE(writeRaster(folder / "page.ras", CUPS_RASTER_WRITE, header, [](unsigned x, unsigned y) {
        return std::array<std::uint16_t, 3>{static_cast<std::uint16_t>(x * 257),
                                            static_cast<std::uint16_t>(y * 257), 0};
    }));
    auto result = RasterCheck::measure(folder / "page.ras", onePatch({18, 734, 40, 40}));
    EXPECT_EQ(result.imagingBox, (std::vector<double>{0, 0, 612, 792}));
    EXPECT_EQ(result.readings[0].measured, (std::vector<double>{189.5, 189.5, 0}));
    EXPECT_EQ(result.readings[0].maxDelta, 189.5);

    // Without a box in the header, the margins place it: 144 dpi, margins 36 and 18 points give 36, 18,
    // 36 + 100, 18 + 50; a patch at page x 36 … 56 lies over raster columns 0 … 40.
    header = rgbHeader(200, 100, 8, 144);
    header.Margins[0] = 36;
    header.Margins[1] = 18;
    ASSERT_TRUE(writeRaster(folder / "page.ras", CUPS_RASTER_WRITE, header,
                            [](unsigned x, unsigned) { return x < 40 ? gray(10) : gray(200); }));
    result = RasterCheck::measure(folder / "page.ras", onePatch({36, 40, 20, 20}, {10, 10, 10}));
    EXPECT_EQ(result.imagingBox, (std::vector<double>{36, 18, 136, 68}));
    EXPECT_EQ(result.readings[0].measured, (std::vector<double>{10, 10, 10}));
}

TEST(RasterCheckTest, ShortFilesAndPatchesOffThePageReportNothingMeasured) {
    TemporaryDirectory folder;
    const auto manifest = smallTarget(folder.path());
    const auto header = rgbHeader(300, 250, 8, 72);
    ASSERT_TRUE(writeRaster(folder / "page.ras", CUPS_RASTER_WRITE, header,
                            TargetFixtures::perfectPrint(manifest, header)));
    // Keep the sync word, the header and the first 70 lines: the first row of patches (rows 18 … 58) only.
    std::filesystem::resize_file(folder / "page.ras", 4 + sizeof(cups_page_header_t) + 70 * 900);
    const auto result = RasterCheck::measure(folder / "page.ras", manifest);
    for (std::size_t i = 0; i < 24; ++i) {
        EXPECT_EQ(result.readings[i].maxDelta, i < 5 ? 0 : 999) << i;
    }
    EXPECT_EQ(result.readings[5].measured, (std::vector<double>{-1, -1, -1}));
    EXPECT_EQ(result.maxDelta(), 999);

    TestTargetManifest off = onePatch({-500, 100, 40, 40});
    off.patches.push_back(TestPatch{"below", {1, 2, 3}, {10, -400, 40, 40}});
    off.patches.push_back(TestPatch{"far", {1, 2, 3}, {1e300, 1e300, 40, 40}});
    for (const auto& reading : RasterCheck::measure(folder / "page.ras", off).readings) {
        EXPECT_EQ(reading.maxDelta, 999) << reading.name;
    }
    EXPECT_EQ(RasterCheck::measure(folder / "page.ras", TestTargetManifest{}).maxDelta(), 0);
}

TEST(RasterCheckTest, RefusesLayoutsItCannotRead) {
    TemporaryDirectory folder;
    const auto ras = folder / "page.ras";
    const std::string unsupported = "지원하지 않는 래스터 형식입니다: ";
    const struct {
        cups_mode_t mode;
        std::function<void(cups_page_header2_t&)> change;
        std::string detail;
    } cases[] = {
        {CUPS_RASTER_WRITE, [](auto& h) { h.cupsColorOrder = CUPS_ORDER_BANDED, h.cupsBitsPerPixel = 8; },
         "order 1, colors 3, bits 8"},
        {CUPS_RASTER_WRITE,
         [](auto& h) {
             h.cupsColorSpace = CUPS_CSPACE_RGBA, h.cupsNumColors = 0, h.cupsBitsPerPixel = 32,
             h.cupsBytesPerLine = 40;
         },
         "order 0, colors 4, bits 8"},
        {CUPS_RASTER_WRITE_PWG,
         [](auto& h) {
             h.cupsColorSpace = CUPS_CSPACE_SW, h.cupsNumColors = 0, h.cupsBitsPerPixel = 8,
             h.cupsBytesPerLine = 10;
         },
         "order 0, colors 1, bits 8"},
        // Headers libcups takes but whose numbers contradict each other.
        {CUPS_RASTER_WRITE,
         [](auto& h) { h.cupsBitsPerColor = 16, h.cupsBitsPerPixel = 48, h.cupsBytesPerLine = 30; },
         "order 0, colors 3, bits 16, width 10, bytes per line 30"},
        {CUPS_RASTER_WRITE, [](auto& h) { h.HWResolution[1] = 0; },
         "order 0, colors 3, bits 8, resolution 72x0"},
        {CUPS_RASTER_WRITE, [](auto& h) { h.cupsBitsPerPixel = 48, h.cupsBytesPerLine = 60; },
         "order 0, colors 3, bits 8, bits per pixel 48"},
    };
    for (const auto& c : cases) {
        auto header = rgbHeader(10, 10, 8, 72);
        c.change(header);
        ASSERT_TRUE(writeRaster(ras, c.mode, header, [](unsigned, unsigned) { return gray(0); })) << c.detail;
        EXPECT_EQ(failure(ras, onePatch({0, 0, 10, 10})),
                  Failure(RasterCheckErrorCode::unsupported, unsupported + c.detail));
    }
}

TEST(RasterCheckTest, ReportsFilesWithoutAPageAndUnusablePatches) {
    TemporaryDirectory folder;
    const auto patch = onePatch({0, 0, 1, 1});
    for (const char* name : {"none.ras", "text.ras"}) {
        const auto path = folder / name;
        EXPECT_EQ(failure(path, patch), Failure(RasterCheckErrorCode::cannotOpen,
                                                "래스터 파일을 열지 못했습니다: " + path.string()));
        TestSupport::writeFile(folder / "text.ras", "%!PS-Adobe-3.0\n");
    }
    TestSupport::writeFile(folder / "empty.ras", "RaS2");
    EXPECT_EQ(failure(folder / "empty.ras", patch),
              Failure(RasterCheckErrorCode::noPage,
                      "래스터에 페이지가 없습니다: " + (folder / "empty.ras").string()));

    ASSERT_TRUE(writeRaster(folder / "page.ras", CUPS_RASTER_WRITE, rgbHeader(10, 10, 8, 72),
                            [](unsigned, unsigned) { return gray(0); }));
    for (const auto& rect : {std::vector<double>{0, 0, 1}, std::vector<double>{0, NAN, 1, 1}}) {
        EXPECT_EQ(
            failure(folder / "page.ras", onePatch(rect)),
            Failure(RasterCheckErrorCode::invalidPatch, "매니페스트의 패치 위치가 올바르지 않습니다: p"));
    }
}

// A target drawn by Ghostscript's CUPS raster devices, the way a driver's filter chain would, measured
// through the command-line driver.
TEST(RasterCheckTest, GhostscriptRoundTripComesBackWithinAFewUnits) {
    if (!TestSupport::haveProgram("gs")) {
        GTEST_SKIP() << "Ghostscript is needed";
    }
    TemporaryDirectory folder;
    const std::string tool = QUILM_BINARY_DIR "/tests/quilm-targets";
    TestSupport::writeFile(folder / "page.json", R"({"name": "Small", "width": 300, "height": 250})");
    const auto profile =
        TargetFixtures::writeProfile(folder / "Paper Lustre.icc", TargetFixtures::sRGBProfile());
    for (const std::string& variant : {std::string("device"), "'profile=" + profile.string() + "'"}) {
        SCOPED_TRACE(variant);
        const auto pdf = (folder / "target.pdf").string();
        const auto manifest = (folder / "manifest.json").string();
        ASSERT_EQ(TestSupport::run(tool + " target " + (folder / "page.json").string() + " " + variant + " " +
                                   pdf + " " + manifest),
                  0);
        for (const std::string device : {"-sDEVICE=cups -dcupsColorSpace=1 -dcupsBitsPerColor=16",
                                         "-sDEVICE=pwgraster -dcupsColorSpace=19 -dcupsBitsPerColor=16",
                                         "-sDEVICE=pwgraster -dcupsColorSpace=19 -dcupsBitsPerColor=8"}) {
            SCOPED_TRACE(device);
            const auto ras = (folder / "page.ras").string();
            ASSERT_EQ(TestSupport::run("gs -q -dNOPAUSE -dBATCH -dSAFER " + device +
                                       " -r144 -sOutputFile=" + ras + " " + pdf + " >/dev/null 2>&1"),
                      0);
            std::string out;
            ASSERT_EQ(TestSupport::run(tool + " measure " + ras + " " + manifest, &out), 0);
            const auto result = RasterCheckJSON::decodeResult(nlohmann::json::parse(out));
            EXPECT_EQ(result.width, 600);
            EXPECT_EQ(TestTargetJSON::decodeManifest(nlohmann::json::parse(TestSupport::readFile(manifest)))
                          .variant,
                      variant == "device" ? "device" : "profile-Paper Lustre");
            EXPECT_EQ(result.readings.size(), 24u);
            EXPECT_LT(result.maxDelta(), 2.0);
        }
    }
}
