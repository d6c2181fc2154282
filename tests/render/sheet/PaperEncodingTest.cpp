// A sheet printed through a paper profile reaches the paper from the photo's own colour space, whichever
// way the resampled light is encoded back into it (the space's tone tables, or the colour engine where the
// tables fail their check): the printed samples are what Little CMS makes of the photo's pixel from that
// space. A detour through sRGB clips colours the photo's space holds, or hands the paper conversion values
// of another space.
#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "SheetProbe.h"
#include "TestImages.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <tuple>

using namespace PrintKit;

TEST(PaperEncodingTest, ThePhotoReachesThePaperFromItsOwnSpace) {
    TestSupport::TemporaryDirectory folder;
    // A wide paper, so that colours outside sRGB stay apart on it.
    const std::string paper = TestProfiles::matrixShaper(TestProfiles::proPhotoPrimaries,
                                                         TestProfiles::Curve::gamma, 1.8, 4.3, "Wide paper");
    TestSupport::writeFile(folder / "paper.icc", paper);
    const PPDPageSize page{"4x6", "4x6", {}, 288, 432, std::nullopt};
    // Display P3's pure green, far outside sRGB (8 bits); a colour in a space whose tone tables fail their
    // check at 16 bits, so that the colour engine encodes.
    const std::tuple<std::string, std::vector<std::uint16_t>, int> photos[] = {
        {ColorProfiles::displayP3(), {0, 255, 0}, 8},
        {TestProfiles::tabulatedGamma12().own, {128 * 257, 90 * 257, 200 * 257}, 16}};
    for (const auto& [icc, colour, bits] : photos) {
        TestImages::write(folder / "photo.png",
                          TestImages::png(TestImages::solid(40, 40, colour, bits), {.icc = icc}));
        SheetRenderer::render(
            folder / "photo.png", page, ImageFit::fit(), Margins::all(18), 50, {},
            SheetColor::paper(folder / "paper.icc", RenderingIntent::relativeColorimetric, false),
            OutputSharpening::off, std::nullopt, false, folder / "sheet.pdf");
        const std::vector<SheetProbe::Image> images = SheetProbe::images(folder / "sheet.pdf");
        ASSERT_EQ(images.size(), 1u);
        const int scale = bits == 8 ? 257 : 1;
        const std::uint16_t pixel[3] = {std::uint16_t(colour[0] * scale), std::uint16_t(colour[1] * scale),
                                        std::uint16_t(colour[2] * scale)};
        const auto expected = TestProfiles::convert<std::uint16_t>(
            icc, TYPE_RGB_16, paper, TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC, false, pixel, 1);
        const SheetProbe::Image& image = images[0];
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(image.at(image.width / 2, image.height / 2, c), expected[c], 300)
                << (icc == ColorProfiles::displayP3() ? "Display P3" : "gamma 1.2 tables") << ", channel "
                << c;
    }
}
