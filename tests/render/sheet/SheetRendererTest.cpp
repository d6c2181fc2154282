// One photo to a finished PDF, looked at from outside: qpdf checks the file, pdfimages lists its image, and
// pdftoppm paints the page, on which the photo must land where the placement says, the right way up and in
// the right colours. And every way a render can fail leaves no partial file and keeps an earlier one.
#include "PrintKit/render/sheet/SheetRenderer.h"

#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/layout/CanvasTurn.h"
#include "PrintKit/render/layout/Layout.h"
#include "SheetProbe.h"
#include "TestImages.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <lcms2.h>

using namespace PrintKit;
using TestImages::Colour;
using TestSupport::TemporaryDirectory;

namespace {

// 4 × 6 in, rendered at 50 ppi, so one device pixel is one pixel of a 50 dpi raster.
const PPDPageSize page{"4x6", "4x6", {}, 288, 432, std::nullopt};
constexpr double resolution = 50;

// A landscape photo whose quadrants are red, green (top), blue, yellow (bottom).
std::filesystem::path quadrantPhoto(const TemporaryDirectory& folder, const std::string& name = "photo.png",
                                    std::optional<int> orientation = std::nullopt) {
    TestImages::write(folder / name,
                      TestImages::png(TestImages::quadrants(60, 40, TestImages::red, TestImages::green,
                                                            TestImages::blue, TestImages::yellow),
                                      {.icc = ColorSpace::sRGB().icc, .orientation = orientation}));
    return folder / name;
}

// The colour in the middle of one quarter of the inked box, against the expected one.
void expectQuarter(const SheetProbe::Raster& raster, bool right, bool bottom,
                   const std::array<double, 3>& expected, const std::string& where) {
    const auto box = raster.inked(255);
    const int w = box.width / 4, h = box.height / 4;
    const SheetProbe::Raster::Box middle{box.x + (right ? box.width / 2 : 0) + w / 2,
                                         box.y + (bottom ? box.height / 2 : 0) + h / 2, w, h};
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(raster.mean(middle, c), expected[c], 3) << where << ", channel " << c;
    }
}

std::array<double, 3> plain(Colour c) {
    return {static_cast<double>(c[0]), static_cast<double>(c[1]), static_cast<double>(c[2])};
}

// What Little CMS itself makes of an sRGB colour through the paper profile, 8-bit device values.
std::array<double, 3> onPaper(Colour c, const std::string& paper, bool perceptual) {
    const std::uint16_t in[3] = {static_cast<std::uint16_t>(c[0] * 257),
                                 static_cast<std::uint16_t>(c[1] * 257),
                                 static_cast<std::uint16_t>(c[2] * 257)};
    const auto out = TestProfiles::convert<std::uint16_t>(
        ColorSpace::sRGB().icc, TYPE_RGB_16, paper, TYPE_RGB_16,
        perceptual ? INTENT_PERCEPTUAL : INTENT_RELATIVE_COLORIMETRIC, perceptual, in, 1);
    return {out[0] / 257.0, out[1] / 257.0, out[2] / 257.0};
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

} // namespace

TEST(SheetRendererTest, FittedFilledExactTurnedAndPaperSheetsShowThePhotoWhereAndAsItShould) {
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    const std::string paper = TestProfiles::lutPrinter(17);
    TestSupport::writeFile(folder / "paper.icc", paper);
    const std::array<Colour, 4> quadrants{TestImages::red, TestImages::green, TestImages::blue,
                                          TestImages::yellow};
    struct Case {
        const char* name;
        Sheet sheet;
        std::array<int, 4> shown; // which quadrant of the photo lands top left, top right, bottom left, right
    };
    std::vector<Case> cases = {
        {"fit", {}, {0, 1, 2, 3}},
        {"fill", {.fit = ImageFit::fill()}, {0, 1, 2, 3}},
        {"exact", {.fit = ImageFit::exactSize(144, 108, false), .offset = {20, -30}}, {0, 1, 2, 3}},
        // Turned a quarter clockwise: the photo's top row runs down the right-hand side.
        {"turned", {.fit = ImageFit::fill(), .turned = true}, {2, 0, 3, 1}}};
    for (bool perceptual : {true, false}) {
        cases.push_back({perceptual ? "paper, perceptual" : "paper, relative",
                         {.color = SheetColor::paper(folder / "paper.icc",
                                                     perceptual ? RenderingIntent::perceptual
                                                                : RenderingIntent::relativeColorimetric,
                                                     perceptual)},
                         {0, 1, 2, 3}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pdf = folder / "sheet.pdf";
        const Placement placement = render(photo, pdf, c.sheet);
        const PPDPageSize placing = c.sheet.turned ? CanvasTurn::canvas(page) : page;
        EXPECT_EQ(placement,
                  Layout::place(60, 40, placing, c.sheet.margins, c.sheet.fit, resolution, c.sheet.offset));
        const Placement onPage =
            c.sheet.turned ? CanvasTurn::paperPlacement(placement, page, resolution) : placement;
        const bool isPaper = std::string(c.name).starts_with("paper");
        EXPECT_TRUE(SheetProbe::qpdfAccepts(pdf));
        EXPECT_EQ(SheetProbe::listed(pdf), std::vector<std::string>{std::to_string(onPage.pixelWidth) + " " +
                                                                    std::to_string(onPage.pixelHeight) +
                                                                    (isPaper ? " rgb 16" : " icc 16")});
        const std::string bytes = TestSupport::readFile(pdf);
        EXPECT_NE(bytes.find("/MediaBox [0 0 288.0000 432.0000]"), std::string::npos);
        EXPECT_NE(bytes.find("/Creator (Quilm Print) /Producer (Quilm Print)"), std::string::npos);
        // The inked box lies where the placement says (a painter may cover one more pixel at an edge).
        const auto raster = SheetProbe::raster(pdf, resolution);
        const auto box = raster.inked(isPaper ? 255 : 250);
        const double k = resolution / 72;
        EXPECT_NEAR(box.x, onPage.rect.minX() * k, 1.01);
        EXPECT_NEAR(box.y, (page.height - onPage.rect.maxY()) * k, 1.01);
        EXPECT_NEAR(box.x + box.width, onPage.rect.maxX() * k, 1.01);
        EXPECT_NEAR(box.y + box.height, (page.height - onPage.rect.minY()) * k, 1.01);
        for (int q = 0; q < 4; ++q) {
            const Colour colour = quadrants[c.shown[q]];
            expectQuarter(raster, q % 2 == 1, q >= 2,
                          isPaper ? onPaper(colour, paper, std::string(c.name).ends_with("perceptual"))
                                  : plain(colour),
                          "quarter " + std::to_string(q));
        }
    }
}

TEST(SheetRendererTest, BorderlessPhotoReachesThePageEdgesWhilePlacedOnTheVisiblePart) {
    TemporaryDirectory folder;
    const Sheet sheet{
        .fit = ImageFit::fill(), .margins = Margins{}, .bleed = BorderlessBleed::autoExpand(page, 1.05)};
    const Placement placement = render(quadrantPhoto(folder), folder / "borderless.pdf", sheet);
    // The placement is what the user sees: the visible part of the paper, to the device pixel.
    const double pitch = 72 / resolution;
    EXPECT_NEAR(placement.rect.minX(), sheet.bleed->visible.minX(), pitch);
    EXPECT_NEAR(placement.rect.maxY(), sheet.bleed->visible.maxY(), pitch);
    const auto raster = SheetProbe::raster(folder / "borderless.pdf", resolution);
    const auto box = raster.inked();
    EXPECT_EQ(std::vector<int>({box.x, box.y, box.width, box.height}), std::vector<int>({0, 0, 200, 300}));
}

TEST(SheetRendererTest, OrientationTagTurnsThePhotoUprightAndValuesOutsideOneToEightLeaveItAsStored) {
    TemporaryDirectory folder;
    // Orientation 6: stored landscape, shown portrait, the stored left column on top.
    EXPECT_EQ(render(quadrantPhoto(folder, "six.png", 6), folder / "six.pdf", {}),
              Layout::place(40, 60, page, Margins::all(18), ImageFit::fit(), resolution, Size{}));
    const auto six = SheetProbe::raster(folder / "six.pdf", resolution);
    expectQuarter(six, false, false, plain(TestImages::blue), "six, top left");
    expectQuarter(six, true, false, plain(TestImages::red), "six, top right");
    expectQuarter(six, true, true, plain(TestImages::green), "six, bottom right");
    for (int odd : {0, 9}) {
        EXPECT_EQ(
            render(quadrantPhoto(folder, "odd.png", odd), folder / "odd.pdf", {}).pixelWidth,
            Layout::place(60, 40, page, Margins::all(18), ImageFit::fit(), resolution, Size{}).pixelWidth);
        const auto raster = SheetProbe::raster(folder / "odd.pdf", resolution);
        expectQuarter(raster, false, false, plain(TestImages::red), "top left");
        expectQuarter(raster, true, true, plain(TestImages::yellow), "bottom right");
    }
}

TEST(SheetRendererFailureTest, EveryFailureNamesItsCauseAndLeavesNoFileButTheEarlierOne) {
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    TestSupport::writeFile(folder / "not-a-photo.jpg", "plain text, not an image");
    TestSupport::writeFile(folder / "garbage.icc", std::string(600, 'x'));
    TestSupport::writeFile(folder / "out.pdf", "an earlier export");
    for (const char* name : {"missing.jpg", "not-a-photo.jpg"}) {
        TestSupport::expectFailure<SheetRenderError>([&] { render(folder / name, folder / "out.pdf", {}); },
                                                     SheetRenderErrorCode::unreadableImage,
                                                     "사진을 읽지 못했습니다: " + (folder / name).string());
    }
    EXPECT_THROW(render(photo, folder / "out.pdf", {.fit = ImageFit::exactSize(400, 300, false)}),
                 PlacementError);
    const auto missingFolder = folder / "no-such-folder" / "out.pdf";
    TestSupport::expectFailure<PDFImageWriterError>([&] { render(photo, missingFolder, {}); },
                                                    PDFImageWriterErrorCode::cannotOpen,
                                                    "PDF를 만들지 못했습니다: " + missingFolder.string());
    // A bad profile is found after the file was begun.
    for (auto [profile, message] : {std::pair(folder / "missing.icc", (folder / "missing.icc").string()),
                                    std::pair(folder / "garbage.icc", std::string("용지"))}) {
        const Sheet sheet{.color = SheetColor::paper(profile, RenderingIntent::perceptual, true)};
        TestSupport::expectFailure<ColorTransformError>([&] { render(photo, folder / "out.pdf", sheet); },
                                                        ColorTransformErrorCode::unreadableProfile,
                                                        "ICC 프로파일을 읽지 못했습니다: " + message);
    }
    // A file size limit stops the writes partway (with the signal ignored, write() reports the error).
    const std::string tool = std::string(QUILM_BINARY_DIR) + "/tests/render_sheet";
    std::string output;
    EXPECT_NE(TestSupport::run("cd '" + folder.path().string() + "' && trap '' XFSZ && ulimit -f 64 && '" +
                                   tool + "' --resolution 300 --fit fill photo.png out.pdf 2>&1",
                               &output),
              0)
        << output;
    EXPECT_EQ(TestSupport::readFile(folder / "out.pdf"), "an earlier export");
    EXPECT_EQ(TestSupport::filesIn(folder.path()),
              (std::vector<std::string>{"garbage.icc", "not-a-photo.jpg", "out.pdf", "photo.png"}));
}

TEST(SheetRendererFailureTest, FolderWithoutRoomForTheSheetFailsBeforeWritingWithAKoreanMessage) {
    if (TestSupport::run("unshare -rm true 2>/dev/null") != 0) {
        GTEST_SKIP() << "no private mount namespaces here";
    }
    TemporaryDirectory folder;
    const auto photo = quadrantPhoto(folder);
    const auto small = folder / "small";
    std::filesystem::create_directory(small);
    // A 1 MB file system of its own; the 300 ppi sheet needs about 3.7 MB.
    std::string output;
    ASSERT_EQ(TestSupport::run("unshare -rm sh -c \"mount -t tmpfs -o size=1m none '" + small.string() +
                                   "' && '" + QUILM_BINARY_DIR +
                                   "/tests/render_sheet' --resolution 300 --fit fill '" + photo.string() +
                                   "' '" + (small / "out.pdf").string() + "'; echo status=\\$?; ls -A '" +
                                   small.string() + "'\" 2>&1",
                               &output),
              0)
        << output;
    EXPECT_NE(output.find("인쇄 파일을 저장할 공간이 부족합니다: " + small.string() + " (필요: "),
              std::string::npos)
        << output;
    // Status 1 and nothing left in the small folder: the listing after the status is empty.
    EXPECT_EQ(output.substr(output.find("status=")), "status=1\n") << output;
}
