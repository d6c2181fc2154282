// One photo to a finished PDF, looked at from outside: qpdf checks the file, pdfimages lists its image, and
// pdftoppm paints the page, on which the photo must land where the placement says, the right way up and in
// the right colours.
#include "PrintKit/render/sheet/SheetRenderer.h"

#include "PrintKit/render/layout/CanvasTurn.h"
#include "PrintKit/render/layout/Layout.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "SheetPhotos.h"
#include "SheetProbe.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <lcms2.h>

using namespace PrintKit;
using SheetPhotos::Colour;
using TestSupport::TemporaryDirectory;

namespace {

// 4 × 6 in, rendered at 50 ppi, so one device pixel is one pixel of a 50 dpi raster.
const PPDPageSize page{"4x6", "4x6", {}, 288, 432, std::nullopt};
constexpr double resolution = 50;

// A landscape photo whose quadrants are red, green (top), blue, yellow (bottom).
std::filesystem::path quadrantPhoto(const TemporaryDirectory& folder, const std::string& name = "photo.png",
                                    std::optional<int> orientation = std::nullopt) {
    TestImages::PngOptions options;
    options.icc = ColorSpace::sRGB().icc;
    options.orientation = orientation;
    const auto path = folder / name;
    TestImages::write(path,
                      TestImages::png(SheetPhotos::quadrants(60, 40, SheetPhotos::red, SheetPhotos::green,
                                                             SheetPhotos::blue, SheetPhotos::yellow),
                                      options));
    return path;
}

// Where a page rectangle (points, y up) lies on the 50 dpi raster (pixels, y down).
SheetProbe::Raster::Box onRaster(const Rect& r) {
    const double k = resolution / 72;
    return {static_cast<int>(std::lround(r.minX() * k)),
            static_cast<int>(std::lround((page.height - r.maxY()) * k)),
            static_cast<int>(std::lround(r.width() * k)), static_cast<int>(std::lround(r.height() * k))};
}

// The painter may cover one more raster pixel at an image edge that falls on a pixel boundary.
void expectBox(const SheetProbe::Raster::Box& got, const SheetProbe::Raster::Box& expected) {
    EXPECT_NEAR(got.x, expected.x, 1);
    EXPECT_NEAR(got.y, expected.y, 1);
    EXPECT_NEAR(got.x + got.width, expected.x + expected.width, 1);
    EXPECT_NEAR(got.y + got.height, expected.y + expected.height, 1);
}

// The colour in the middle of one quarter of a box on the raster.
std::array<double, 3> quarter(const SheetProbe::Raster& raster, const SheetProbe::Raster::Box& box,
                              bool right, bool bottom) {
    const int w = box.width / 4, h = box.height / 4;
    const int x = box.x + (right ? box.width / 2 : 0) + w / 2,
              y = box.y + (bottom ? box.height / 2 : 0) + h / 2;
    return {raster.mean(x, y, w, h, 0), raster.mean(x, y, w, h, 1), raster.mean(x, y, w, h, 2)};
}

void expectColour(const std::array<double, 3>& got, const std::array<double, 3>& expected,
                  const char* where) {
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(got[static_cast<std::size_t>(c)], expected[static_cast<std::size_t>(c)], 3)
            << where << ", channel " << c;
    }
}

std::array<double, 3> plain(Colour c) {
    return {static_cast<double>(c.r), static_cast<double>(c.g), static_cast<double>(c.b)};
}

// What Little CMS itself makes of an sRGB colour through the paper profile, 8-bit device values.
std::array<double, 3> onPaper(Colour c, const std::string& paper, int intent, bool bpc) {
    cmsHPROFILE srgb = cmsOpenProfileFromMem(ColorSpace::sRGB().icc.data(),
                                             static_cast<cmsUInt32Number>(ColorSpace::sRGB().icc.size()));
    cmsHPROFILE printer = cmsOpenProfileFromMem(paper.data(), static_cast<cmsUInt32Number>(paper.size()));
    cmsHTRANSFORM t =
        cmsCreateTransform(srgb, TYPE_RGB_16, printer, TYPE_RGB_16, static_cast<cmsUInt32Number>(intent),
                           bpc ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0);
    const cmsUInt16Number in[3] = {static_cast<cmsUInt16Number>(c.r * 257),
                                   static_cast<cmsUInt16Number>(c.g * 257),
                                   static_cast<cmsUInt16Number>(c.b * 257)};
    cmsUInt16Number out[3];
    cmsDoTransform(t, in, out, 1);
    cmsDeleteTransform(t);
    cmsCloseProfile(srgb);
    cmsCloseProfile(printer);
    return {out[0] / 257.0, out[1] / 257.0, out[2] / 257.0};
}

std::vector<std::filesystem::path> folderEntries(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        entries.push_back(entry.path().filename());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

struct Sheet {
    ImageFit fit = ImageFit::fit();
    Margins margins = Margins::all(18);
    Size offset;
    SheetColor color = SheetColor::sRGB();
    std::optional<BorderlessBleed> bleed;
    bool turned = false;
};

Placement render(const std::filesystem::path& photo, const std::filesystem::path& pdf, const Sheet& s) {
    return SheetRenderer::render(photo, page, s.fit, s.margins, resolution, s.offset, s.color,
                                 OutputSharpening::standard, s.bleed, s.turned, pdf);
}

// The checks every finished sheet passes: a sound PDF of the full page with one 16-bit image.
void expectSoundSheet(const std::filesystem::path& pdf, std::int64_t width, std::int64_t height,
                      const char* color) {
    EXPECT_TRUE(SheetProbe::qpdfAccepts(pdf));
    const auto listed = SheetProbe::listed(pdf);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].width, width);
    EXPECT_EQ(listed[0].height, height);
    EXPECT_EQ(listed[0].bpc, 16);
    EXPECT_EQ(listed[0].color, color);
    std::string info;
    TestSupport::run("pdfinfo '" + pdf.string() + "'", &info);
    EXPECT_NE(info.find("Page size:       288 x 432 pts"), std::string::npos) << info;
    EXPECT_EQ(SheetProbe::infoEntry(pdf, "Creator"), "Quilm Print");
    EXPECT_EQ(SheetProbe::infoEntry(pdf, "Producer"), "Quilm Print");
}

} // namespace

TEST(SheetRendererTest, FittedFilledAndExactPhotosLandWhereTheirPlacementsSayInTheirOwnColours) {
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    Sheet filled, exact;
    filled.fit = ImageFit::fill();
    exact.fit = ImageFit::exactSize(144, 108, false);
    exact.offset = Size{20, -30};
    for (const Sheet& sheet : {Sheet{}, filled, exact}) {
        const Placement placement = render(photo, folder / "sheet.pdf", sheet);
        EXPECT_EQ(placement, Layout::place(60, 40, page, sheet.margins, sheet.fit, resolution, sheet.offset));
        expectSoundSheet(folder / "sheet.pdf", placement.pixelWidth, placement.pixelHeight, "icc");
        const auto raster = SheetProbe::raster(folder / "sheet.pdf", resolution);
        const auto box = raster.inked();
        expectBox(box, onRaster(placement.rect));
        expectColour(quarter(raster, box, false, false), plain(SheetPhotos::red), "top left");
        expectColour(quarter(raster, box, true, false), plain(SheetPhotos::green), "top right");
        expectColour(quarter(raster, box, false, true), plain(SheetPhotos::blue), "bottom left");
        expectColour(quarter(raster, box, true, true), plain(SheetPhotos::yellow), "bottom right");
    }
}

TEST(SheetRendererTest, BorderlessPhotoReachesThePageEdgesWhilePlacedOnTheVisiblePart) {
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    Sheet sheet;
    sheet.fit = ImageFit::fill();
    sheet.margins = Margins{};
    sheet.bleed = BorderlessBleed::autoExpand(page, 1.05);
    const Placement placement = render(photo, folder / "borderless.pdf", sheet);
    // The placement is what the user sees: the visible part of the paper, to the device pixel.
    const double pitch = 72 / resolution;
    EXPECT_NEAR(placement.rect.minX(), sheet.bleed->visible.minX(), pitch);
    EXPECT_NEAR(placement.rect.maxX(), sheet.bleed->visible.maxX(), pitch);
    EXPECT_NEAR(placement.rect.minY(), sheet.bleed->visible.minY(), pitch);
    EXPECT_NEAR(placement.rect.maxY(), sheet.bleed->visible.maxY(), pitch);
    const auto raster = SheetProbe::raster(folder / "borderless.pdf", resolution);
    expectBox(raster.inked(), {0, 0, raster.width, raster.height});
    EXPECT_EQ(raster.width, 200);
    EXPECT_EQ(raster.height, 300);
}

TEST(SheetRendererTest, TurnedSheetReturnsTheCanvasPlacementAndPrintsThePhotoTurnedClockwise) {
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    Sheet sheet;
    sheet.fit = ImageFit::fill();
    sheet.turned = true;
    const Placement placement = render(photo, folder / "turned.pdf", sheet);
    const PPDPageSize canvas = CanvasTurn::canvas(page);
    EXPECT_EQ(placement, Layout::place(60, 40, canvas, sheet.margins, sheet.fit, resolution, Size{}));
    EXPECT_GT(placement.pixelWidth, placement.pixelHeight); // as the user sees it: landscape

    const Placement paper = CanvasTurn::paperPlacement(placement, page, resolution);
    expectSoundSheet(folder / "turned.pdf", placement.pixelHeight, placement.pixelWidth, "icc");
    const auto raster = SheetProbe::raster(folder / "turned.pdf", resolution);
    const auto box = raster.inked();
    expectBox(box, onRaster(paper.rect));
    // Turned a quarter clockwise: the photo's top row runs down the right-hand side.
    expectColour(quarter(raster, box, true, false), plain(SheetPhotos::red), "top right");
    expectColour(quarter(raster, box, true, true), plain(SheetPhotos::green), "bottom right");
    expectColour(quarter(raster, box, false, false), plain(SheetPhotos::blue), "top left");
    expectColour(quarter(raster, box, false, true), plain(SheetPhotos::yellow), "bottom left");
}

TEST(SheetRendererTest, PaperColourPrintsTheProfilesDeviceValues) {
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    const std::string paper = TestProfiles::lutPrinter(17);
    TestSupport::writeFile(folder / "paper.icc", paper);
    for (bool perceptual : {true, false}) {
        Sheet sheet;
        sheet.color = SheetColor::paper(
            folder / "paper.icc",
            perceptual ? RenderingIntent::perceptual : RenderingIntent::relativeColorimetric, perceptual);
        const Placement placement = render(photo, folder / "paper.pdf", sheet);
        expectSoundSheet(folder / "paper.pdf", placement.pixelWidth, placement.pixelHeight, "rgb");
        const auto raster = SheetProbe::raster(folder / "paper.pdf", resolution);
        const auto box = raster.inked(255);
        expectBox(box, onRaster(placement.rect));
        const int intent = perceptual ? INTENT_PERCEPTUAL : INTENT_RELATIVE_COLORIMETRIC;
        expectColour(quarter(raster, box, false, false), onPaper(SheetPhotos::red, paper, intent, perceptual),
                     "red");
        expectColour(quarter(raster, box, true, true),
                     onPaper(SheetPhotos::yellow, paper, intent, perceptual), "yellow");
    }
}

TEST(SheetRendererTest, OrientationTagTurnsThePhotoUprightAndValuesOutsideOneToEightLeaveItAsStored) {
    TemporaryDirectory folder;
    const Sheet sheet;
    // Orientation 6: stored landscape, shown portrait, the stored left column on top.
    const auto six = quadrantPhoto(folder, "six.png", 6);
    const Placement upright = render(six, folder / "six.pdf", sheet);
    EXPECT_EQ(upright, Layout::place(40, 60, page, sheet.margins, sheet.fit, resolution, Size{}));
    auto raster = SheetProbe::raster(folder / "six.pdf", resolution);
    auto box = raster.inked();
    expectColour(quarter(raster, box, false, false), plain(SheetPhotos::blue), "six, top left");
    expectColour(quarter(raster, box, true, false), plain(SheetPhotos::red), "six, top right");
    expectColour(quarter(raster, box, true, true), plain(SheetPhotos::green), "six, bottom right");

    for (int odd : {0, 9}) {
        const auto photo = quadrantPhoto(folder, "odd.png", odd);
        const Placement placement = render(photo, folder / "odd.pdf", sheet);
        EXPECT_EQ(placement, Layout::place(60, 40, page, sheet.margins, sheet.fit, resolution, Size{}))
            << odd;
        raster = SheetProbe::raster(folder / "odd.pdf", resolution);
        box = raster.inked();
        expectColour(quarter(raster, box, false, false), plain(SheetPhotos::red), "top left");
        expectColour(quarter(raster, box, true, true), plain(SheetPhotos::yellow), "bottom right");
    }
}

TEST(SheetRendererFailureTest, UnreadablePhotoFailsWithItsPathAndWritesNothing) {
    TemporaryDirectory folder;
    TestSupport::writeFile(folder / "not-a-photo.jpg", "plain text, not an image");
    for (const char* name : {"missing.jpg", "not-a-photo.jpg"}) {
        try {
            render(folder / name, folder / "out.pdf", Sheet{});
            FAIL() << "no error for " << name;
        } catch (const SheetRenderError& error) {
            EXPECT_EQ(error.code(), SheetRenderErrorCode::unreadableImage);
            EXPECT_EQ(std::string(error.what()), "사진을 읽지 못했습니다: " + (folder / name).string());
        }
    }
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::filesystem::path>{"not-a-photo.jpg"});
}

TEST(SheetRendererFailureTest, ExactSizeLargerThanThePrintableAreaWritesNothing) {
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    Sheet sheet;
    sheet.fit = ImageFit::exactSize(400, 300, false);
    EXPECT_THROW(render(photo, folder / "out.pdf", sheet), PlacementError);
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::filesystem::path>{"photo.png"});
}

TEST(SheetRendererFailureTest, MissingFolderFailsWithTheWritersErrorAndLeavesNothing) {
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    const auto target = folder / "no-such-folder" / "out.pdf";
    try {
        render(photo, target, Sheet{});
        FAIL() << "no error";
    } catch (const PDFImageWriterError& error) {
        EXPECT_EQ(error.code(), PDFImageWriterErrorCode::cannotOpen);
        EXPECT_EQ(std::string(error.what()), "PDF를 만들지 못했습니다: " + target.string());
    }
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::filesystem::path>{"photo.png"});
}

TEST(SheetRendererFailureTest, BadPaperProfileFailsAfterTheFileExistedAndKeepsAnEarlierFile) {
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    TestSupport::writeFile(folder / "garbage.icc", std::string(600, 'x'));
    TestSupport::writeFile(folder / "out.pdf", "an earlier export");
    struct Case {
        std::filesystem::path profile;
        std::string message;
    };
    for (const Case& c : {Case{folder / "missing.icc",
                               "ICC 프로파일을 읽지 못했습니다: " + (folder / "missing.icc").string()},
                          Case{folder / "garbage.icc", "ICC 프로파일을 읽지 못했습니다: 용지"}}) {
        Sheet sheet;
        sheet.color = SheetColor::paper(c.profile, RenderingIntent::perceptual, true);
        try {
            render(photo, folder / "out.pdf", sheet);
            FAIL() << "no error";
        } catch (const ColorTransformError& error) {
            EXPECT_EQ(error.code(), ColorTransformErrorCode::unreadableProfile);
            EXPECT_EQ(std::string(error.what()), c.message);
        }
        EXPECT_EQ(TestSupport::readFile(folder / "out.pdf"), "an earlier export");
        EXPECT_EQ(folderEntries(folder.path()),
                  (std::vector<std::filesystem::path>{"garbage.icc", "out.pdf", "photo.png"}));
    }
}

TEST(SheetRendererFailureTest, WriteFailingMidwayKeepsAnEarlierFileAndLeavesNoTemporaryFile) {
    if (!TestSupport::haveProgram("sh")) {
        GTEST_SKIP() << "no shell";
    }
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    TestSupport::writeFile(folder / "out.pdf", "an earlier print file");
    // A file size limit stops the writes partway (with the signal ignored, write() reports the error).
    const std::string tool = std::string(QUILM_BINARY_DIR) + "/tests/render_sheet";
    std::string output;
    const int status =
        TestSupport::run("cd '" + folder.path().string() + "' && trap '' XFSZ && ulimit -f 64 && '" + tool +
                             "' --resolution 300 --fit fill photo.png out.pdf 2>&1",
                         &output);
    EXPECT_NE(status, 0) << output;
    EXPECT_EQ(TestSupport::readFile(folder / "out.pdf"), "an earlier print file");
    EXPECT_EQ(folderEntries(folder.path()), (std::vector<std::filesystem::path>{"out.pdf", "photo.png"}));
}

TEST(SheetRendererFailureTest, FolderWithoutRoomForTheSheetFailsBeforeWritingWithAKoreanMessage) {
    if (TestSupport::run("unshare -rm true 2>/dev/null") != 0) {
        GTEST_SKIP() << "no private mount namespaces here";
    }
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    std::filesystem::create_directory(folder / "small");
    const std::string tool = std::string(QUILM_BINARY_DIR) + "/tests/render_sheet";
    // A 1 MB file system of its own; the 300 ppi sheet needs about 3.7 MB.
    std::string output;
    const int status = TestSupport::run(
        "unshare -rm sh -c \"mount -t tmpfs -o size=1m none '" + (folder / "small").string() + "' && '" +
            tool + "' --resolution 300 --fit fill '" + photo.string() + "' '" +
            (folder / "small" / "out.pdf").string() + "'; echo status=\\$?; ls -A '" +
            (folder / "small").string() + "'\" 2>&1",
        &output);
    ASSERT_EQ(status, 0) << output;
    const std::string expected =
        "인쇄 파일을 저장할 공간이 부족합니다: " + (folder / "small").string() + " (필요: ";
    EXPECT_NE(output.find(expected), std::string::npos) << output;
    EXPECT_NE(output.find("status=1\n"), std::string::npos) << output;
    // Nothing was left in the small folder: the listing after the status is empty.
    EXPECT_EQ(output.substr(output.find("status=1\n") + 9), "") << output;
}
