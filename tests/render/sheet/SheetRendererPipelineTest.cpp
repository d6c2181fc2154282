// The band pipeline against the steps it is made of, each run once over the whole image: resampling,
// encoding, sharpening, rounding and the paper conversion. The printed bytes must be identical, whatever
// the band height, the halo and the colour route.
#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/resample/LanczosResampler.h"
#include "PrintKit/render/sheet/LinearSource.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "PrintKit/support/Rounding.h"
#include "SheetProbe.h"
#include "TestImages.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using TestSupport::TemporaryDirectory;

namespace {

struct Case {
    const char* name;
    bool displayP3 = false; // else sRGB
    int bits = 8;
    bool paper = false;
    OutputSharpening sharpening = OutputSharpening::off;
    double resolution = 720;
    Rect crop{0, 0, 1, 1};
    int photoWidth = 40, photoHeight = 30;
    int width = 97, height = 71;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::filesystem::path makePhoto(const TemporaryDirectory& folder, const Case& c) {
    TestImages::write(
        folder / "photo.png",
        TestImages::png(TestImages::scene(c.photoWidth, c.photoHeight, c.bits),
                        {.icc = c.displayP3 ? ColorProfiles::displayP3() : ColorSpace::sRGB().icc}));
    return folder / "photo.png";
}

std::shared_ptr<LinearSource> sourceOf(const std::filesystem::path& path) {
    LinearSource::Decoded decoded = LinearSource::read(path);
    return std::make_shared<LinearSource>(decoded.image, decoded.orientation, false);
}

// Every step once over the whole image, in the order and precision the pipeline promises.
std::string reference(const std::filesystem::path& photo, const Case& c, const std::string& paper) {
    auto source = sourceOf(photo);
    LanczosResampler resampler(source, c.crop, c.width, c.height);
    std::vector<Pixel> image(static_cast<std::size_t>(c.width) * c.height);
    resampler.render({0, c.height}, image.data());

    const std::string& srgb = ColorSpace::sRGB().icc;
    const std::string& own = source->space().icc;
    const bool toOwn = c.paper || own == srgb;
    if (toOwn && source->curves()) {
        for (Pixel& p : image) {
            p = Pixel{source->curves()->encode(0, p.r), source->curves()->encode(1, p.g),
                      source->curves()->encode(2, p.b), 1.0f};
        }
    } else {
        const ColorTransform encode(source->linearSpace().icc, toOwn ? own : srgb,
                                    RenderingIntent::relativeColorimetric, false);
        encode.convert(image.data(), ColorTransform::Layout::floatRGBA, image.data(),
                       ColorTransform::Layout::floatRGBA, c.width, c.height);
    }
    apply(c.sharpening, image.data(), c.width, c.height, c.resolution);

    // Clamped, rounded to 16 bits, then through the paper profile or written big-endian.
    std::vector<std::uint16_t> padded;
    std::string bytes;
    for (const Pixel& p : image) {
        for (float v : {p.r, p.g, p.b}) {
            padded.push_back(Rounding::sample16((v > 0 ? (v < 1 ? v : 1) : 0) * 65535.0f));
            bytes += {static_cast<char>(padded.back() >> 8), static_cast<char>(padded.back() & 0xFF)};
        }
        padded.push_back(0);
    }
    if (c.paper) {
        std::vector<std::uint16_t> out(image.size() * 3);
        ColorTransform(own, paper, RenderingIntent::perceptual, true)
            .convert(padded.data(), true, out.data(), true, c.width, c.height);
        bytes.assign(reinterpret_cast<const char*>(out.data()), out.size() * 2);
    }
    return bytes;
}

std::string rendered(const std::filesystem::path& photo, const Case& c, const std::filesystem::path& profile,
                     const std::filesystem::path& pdf, int band) {
    Colorizer colors(c.paper ? SheetColor::paper(profile, RenderingIntent::perceptual, true)
                             : SheetColor::sRGB());
    {
        PDFImageWriter writer(pdf, Size{300, 300}, "Quilm Print");
        SheetRenderer::write(sourceOf(photo), c.crop, c.width, c.height, Rect(10, 20, 100, 80), c.sharpening,
                             c.resolution, colors, writer, band);
        writer.finish();
    }
    auto images = SheetProbe::images(pdf);
    return images.size() == 1 ? images[0].samples : std::string();
}

class SheetPipelineTest : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(SheetPipelineTest, PrintsTheBytesOfTheWholeImageStepsWhateverTheBandHeight) {
    const Case c = GetParam();
    TemporaryDirectory folder;
    const auto photo = makePhoto(folder, c);
    const std::string paper = TestProfiles::lutPrinter(17);
    TestSupport::writeFile(folder / "paper.icc", paper);
    const std::string expected = reference(photo, c, paper);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(c.width) * c.height * 6);
    for (int band : {256, 16, 7, 1}) {
        EXPECT_TRUE(rendered(photo, c, folder / "paper.icc", folder / "sheet.pdf", band) == expected)
            << c.name << ", band height " << band;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Routes, SheetPipelineTest,
    ::testing::Values(
        // sRGB photo to sRGB: tone tables encode; the halo (6 rows at 720 ppi) crosses every band edge.
        Case{"tables, sharpened", false, 8, false, OutputSharpening::standard, 720, Rect(0, 0, 1, 1), 40, 30,
             97, 71},
        // No sharpening: encoding is fused with the rounding.
        Case{"tables, fused", false, 8, false, OutputSharpening::off, 720, Rect(0, 0, 1, 1), 40, 30, 97, 71},
        // Display P3 to sRGB: the colour engine encodes, then the rows are sharpened.
        Case{"engine encodes, sharpened", true, 16, false, OutputSharpening::high, 300, Rect(0, 0, 1, 1), 40,
             30, 97, 71},
        // Not sharpened: each row is rounded right after the colour engine encodes it.
        Case{"engine encodes, unsharpened", true, 16, false, OutputSharpening::off, 300, Rect(0, 0, 1, 1), 40,
             30, 97, 71},
        // Paper: the photo's own space by tables, then through the paper profile; a reduced crop.
        Case{"paper, reduced crop", false, 8, true, OutputSharpening::standard, 720, Rect(0.1, 0.2, 0.7, 0.6),
             200, 150, 61, 45},
        Case{"paper from Display P3", true, 8, true, OutputSharpening::off, 360, Rect(0, 0, 1, 1), 40, 30, 13,
             64},
        // A crop that reaches past the photo, as after a borderless extension.
        Case{"crop past the edges", false, 8, false, OutputSharpening::low, 360,
             Rect(-0.05, -0.02, 1.1, 1.04), 40, 30, 90, 60}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return name;
    });

TEST(SheetPipelineBandsTest, StreamsEveryRowOfALargeImageOnce) {
    // 1440 × 960 at 360 ppi with standard sharpening: four bands (256, 256, 256, 192) with a halo of 3.
    TemporaryDirectory folder;
    Case c{"large", false, 16, false, OutputSharpening::standard, 360, Rect(0, 0, 1, 1), 480, 320, 1440, 960};
    const auto photo = makePhoto(folder, c);
    EXPECT_EQ(halo(OutputSharpening::standard, 360), 3);
    const std::string got = rendered(photo, c, {}, folder / "large.pdf", SheetRenderer::bandRows);
    EXPECT_EQ(got.size(), 8'294'400u);
}
