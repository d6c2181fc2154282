#include "PrintKit/render/sheet/LinearSource.h"

#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/decode/ImageDecoder.h"
#include "PrintKit/render/decode/Orientation.h"
#include "TestImages.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <array>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <thread>
#include <tiffio.h>

using namespace PrintKit;
using TestProfiles::srgbToLinear;

namespace {

// The tolerance between the tone tables and the transforms they stand for.
constexpr float tolerance = 2e-5f;

std::shared_ptr<const DecodedImage> tagged(const TestImages::Pixels& pixels, const std::string& icc,
                                           ColorModel model = ColorModel::rgb,
                                           AlphaMode alpha = AlphaMode::none, bool littleEndian = true) {
    DecodedImage image = TestImages::decoded(pixels, model, alpha, littleEndian);
    image.icc = icc;
    return std::make_shared<const DecodedImage>(std::move(image));
}

std::vector<Pixel> drawAll(LinearSource& source) {
    std::vector<Pixel> pixels(static_cast<std::size_t>(source.width()) *
                              static_cast<std::size_t>(source.height()));
    source.draw({0, source.width()}, {0, source.height()}, pixels.data());
    return pixels;
}

// The pixel is the linear light of the working-space codes, give or take one code: matching through a
// table-based profile is evaluated once here and once by the engine.
template <typename Code>
void expectCodes(const Pixel& p, const Code* codes, double top, const std::string& what) {
    const float got[3] = {p.r, p.g, p.b};
    for (int c = 0; c < 3; ++c) {
        bool near = false;
        for (int d = -1; d <= 1; ++d) {
            near = near || std::fabs(got[c] - srgbToLinear((codes[c] + d) / top)) < tolerance;
        }
        EXPECT_TRUE(near) << what << " channel " << c << ": " << got[c] << " vs code " << codes[c];
    }
}

// The pixel is the linear light of sRGB codes (0…255, not rounded) give or take one code.
void expectWithinACode(const Pixel& p, const std::array<double, 3>& codes, const std::string& what) {
    const float got[3] = {p.r, p.g, p.b};
    for (std::size_t c = 0; c < 3; ++c) {
        EXPECT_GE(got[c], srgbToLinear(std::max(codes[c] - 1, 0.0) / 255) - tolerance) << what << " " << c;
        EXPECT_LE(got[c], srgbToLinear(std::min(codes[c] + 1, 255.0) / 255) + tolerance) << what << " " << c;
    }
}

} // namespace

TEST(LinearSourceTest, EachFormatsTagReachesThePresentedAndTheReducedPixels) {
    // The file's tag, read by its decoder and applied by the source (turned or not) or by a reduced read,
    // shows the pixels of the untagged file at the places the orientation table (checked on its own) names.
    // The tagged TIFF and JPEG are read raw, the untagged PNG through the cached bitmap. JPEG is lossy: its
    // untagged twin was coded from the same samples and decodes to the same values.
    TestSupport::TemporaryDirectory folder;
    const std::string& srgb = ColorSpace::sRGB().icc;
    const auto pixels16 = TestImages::distinct(6, 4, 3, 16);
    const auto pixels8 = TestImages::distinct(6, 4, 3, 8);
    const auto jpegPixels = TestImages::distinct(16, 8, 3, 8);
    const std::pair<std::string, std::function<std::string(std::optional<int>)>> formats[] = {
        {"tif",
         [&](auto o) {
             return TestImages::tiff(pixels16, {.bigEndian = true, .orientation = o, .icc = srgb});
         }},
        {"png", [&](auto o) { return TestImages::png(pixels8, {.orientation = o}); }},
        {"jpg", [&](auto o) { return TestImages::jpeg(jpegPixels, {.icc = srgb, .orientation = o}); }}};
    for (const auto& [name, write] : formats) {
        const auto plainPath = folder / ("plain." + name), taggedPath = folder / ("tagged." + name);
        TestImages::write(plainPath, write(std::nullopt));
        const auto plain = LinearSource::read(plainPath);
        ASSERT_EQ(plain.orientation, 1);
        EXPECT_EQ(LinearSource(plain.image, 9, false).orientation(), 1);
        const int w = plain.image->width, h = plain.image->height;
        LinearSource reference(plain.image, 1, false);
        const std::vector<Pixel> stored = drawAll(reference);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(name + " orientation " + std::to_string(orientation));
            TestImages::write(taggedPath, write(orientation));
            const auto tagged = LinearSource::read(taggedPath);
            ASSERT_EQ(tagged.orientation, orientation);
            for (bool turned : {false, true}) {
                LinearSource source(tagged.image, tagged.orientation, turned);
                ASSERT_EQ(source.width(), (orientation >= 5) != turned ? h : w);
                const std::vector<Pixel> presented = drawAll(source);
                EXPECT_EQ(source.readsDecodedBytes(), name != "png");
                for (int y = 0; y < source.height(); ++y) {
                    for (int x = 0; x < source.width(); ++x) {
                        auto [u, v] = Orientation::mapping(w, h, orientation, turned).stored(x, y);
                        ASSERT_EQ(presented[static_cast<std::size_t>(y * source.width() + x)],
                                  stored[static_cast<std::size_t>(v * w + u)])
                            << (turned ? "turned " : "") << x << "," << y;
                    }
                }
            }
            // A reduced read at full size is the upright image, in the file's own samples.
            const auto reduced = LinearSource::readReduced(taggedPath, 1000);
            ASSERT_EQ(reduced->orientation, 1);
            ASSERT_EQ(reduced->width, orientation >= 5 ? h : w);
            for (int y = 0; y < reduced->height; ++y) {
                for (int x = 0; x < reduced->width; ++x) {
                    auto [u, v] = Orientation::mapping(w, h, orientation, false).stored(x, y);
                    for (int c = 0; c < 3; ++c) {
                        ASSERT_EQ(TestImages::sampleOf(*reduced, x, y, c),
                                  TestImages::sampleOf(*plain.image, u, v, c))
                            << "reduced " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(LinearSourceTest, TaggedSpacesAreWorkedInThroughTablesOrTransforms) {
    // A gamma 2.2 profile is worked in through tone tables; tabulated sRGB curves fail the tables' check and
    // go through the transforms. Either way each linear value agrees with Little CMS.
    const std::string gamma22 = TestProfiles::adobeRGBLike().own;
    const std::string tabulated = TestProfiles::tabulatedSRGB().own;
    for (const std::string& profile : {gamma22, tabulated}) {
        for (int bits : {8, 16}) {
            SCOPED_TRACE(std::to_string(bits) + (profile == gamma22 ? " gamma 2.2" : " tabulated sRGB"));
            const auto pixels = TestImages::distinct(16, 16, 3, bits);
            LinearSource source(tagged(pixels, profile), 1, false);
            const std::vector<Pixel> out = drawAll(source);
            EXPECT_EQ(source.space().icc, profile);
            const bool tables = profile == gamma22;
            EXPECT_EQ(source.readsDecodedBytes(), tables);
            ASSERT_EQ(source.curves() != nullptr, tables);
            EXPECT_EQ(tables ? source.curves()->levels() : 0, tables ? 1 << bits : 0);
            const std::vector<std::uint8_t> narrow(pixels.samples.begin(), pixels.samples.end());
            const auto direct = TestProfiles::convert<float>(
                profile, bits == 8 ? TYPE_RGB_8 : TYPE_RGB_16, source.linearSpace().icc, TYPE_RGB_FLT,
                INTENT_RELATIVE_COLORIMETRIC, false,
                bits == 8 ? static_cast<const void*>(narrow.data()) : pixels.samples.data(), 256);
            for (std::size_t i = 0; i < 256; ++i) {
                ASSERT_NEAR(out[i].r, direct[3 * i], tolerance) << i;
                ASSERT_NEAR(out[i].g, direct[3 * i + 1], tolerance) << i;
                ASSERT_NEAR(out[i].b, direct[3 * i + 2], tolerance) << i;
            }
        }
    }
    // A table-based RGB profile has no linear form: the photo is matched into Display P3, whose curve is
    // sRGB's.
    const std::string lut = TestProfiles::channelMixing();
    const auto pixels = TestImages::distinct(6, 4, 3, 8);
    LinearSource p3(tagged(pixels, lut), 1, false);
    EXPECT_EQ(p3.space().icc, ColorProfiles::displayP3());
    EXPECT_EQ(p3.space().name, "Display P3");
    const std::vector<Pixel> out = drawAll(p3);
    EXPECT_FALSE(p3.readsDecodedBytes());
    const std::vector<std::uint8_t> samples(pixels.samples.begin(), pixels.samples.end());
    const auto inP3 =
        TestProfiles::convert<std::uint8_t>(lut, TYPE_RGB_8, ColorProfiles::displayP3(), TYPE_RGB_8,
                                            INTENT_PERCEPTUAL, false, samples.data(), 24);
    for (std::size_t i = 0; i < 24; ++i) {
        expectCodes(out[i], &inP3[3 * i], 255.0, "P3 " + std::to_string(i));
    }
}

TEST(LinearSourceTest, GreyCmykAndLabArriveInSrgb) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    // Untagged grey lies on the sRGB curve: a grey level keeps its sRGB level.
    const auto grey = TestImages::distinct(5, 3, 1, 8);
    LinearSource untaggedGrey(tagged(grey, "", ColorModel::gray), 1, false);
    EXPECT_EQ(untaggedGrey.space().icc, srgb);
    const std::vector<Pixel> g = drawAll(untaggedGrey);
    for (std::size_t i = 0; i < 15; ++i) {
        const std::uint16_t codes[3] = {grey.samples[i], grey.samples[i], grey.samples[i]};
        expectCodes(g[i], codes, 255.0, "untagged grey");
    }
    // Tagged grey (gamma 2.2), 16-bit: matched by its own profile.
    const std::string grayProfile = TestProfiles::gray();
    const auto deepGrey = TestImages::distinct(5, 3, 1, 16);
    LinearSource taggedGrey(tagged(deepGrey, grayProfile, ColorModel::gray), 1, false);
    const std::vector<Pixel> tg = drawAll(taggedGrey);
    const auto greyInSrgb = TestProfiles::convert<std::uint16_t>(
        grayProfile, TYPE_GRAY_16, srgb, TYPE_RGB_16, INTENT_PERCEPTUAL, false, deepGrey.samples.data(), 15);
    for (std::size_t i = 0; i < 15; ++i) {
        expectCodes(tg[i], &greyInSrgb[3 * i], 65535.0, "grey 2.2");
    }
    // Untagged CMYK follows the plain ink formula, sRGB code = 255 (1 − ink)(1 − black), within a code at
    // either depth, into the deep shadows: no ink, cyan, half magenta, then ever more black.
    const std::vector<std::array<int, 4>> patches = {{0, 0, 0, 0},      {255, 0, 0, 0},    {0, 128, 0, 0},
                                                     {0, 120, 0, 120},  {200, 0, 30, 190}, {250, 90, 0, 225},
                                                     {30, 60, 90, 240}, {0, 0, 0, 250},    {0, 0, 0, 255}};
    TestImages::Pixels inks{static_cast<int>(patches.size()), 1, 4, 8, {}};
    for (const auto& patch : patches) {
        inks.samples.insert(inks.samples.end(), patch.begin(), patch.end());
    }
    TestImages::Pixels deepInks = inks;
    deepInks.bits = 16;
    for (auto& sample : deepInks.samples) {
        sample = static_cast<std::uint16_t>(sample * 257);
    }
    std::vector<Pixel> k;
    for (const auto& pixels : {inks, deepInks}) {
        LinearSource cmyk(tagged(pixels, "", ColorModel::cmyk), 1, false);
        k = drawAll(cmyk);
        for (std::size_t i = 0; i < patches.size(); ++i) {
            std::array<double, 3> codes;
            for (int c = 0; c < 3; ++c) {
                codes[static_cast<std::size_t>(c)] =
                    (255.0 - patches[i][c]) * (255.0 - patches[i][3]) / 255.0;
            }
            expectWithinACode(k[i], codes, "cmyk " + std::to_string(i));
        }
    }
    // A profile that does not suit CMYK (the grey one) is passed over for the default.
    LinearSource wrongProfile(tagged(deepInks, grayProfile, ColorModel::cmyk), 1, false);
    EXPECT_EQ(drawAll(wrongProfile)[4].r, k[4].r);

    // CIELAB from a TIFF, on D50 unless the file names its white. sRGB colours written as D65 Lab (as
    // software working in D65 writes them) come back as the same sRGB codes; a neutral stays neutral.
    const std::vector<std::array<double, 3>> colours = {{255, 255, 255}, {128, 128, 128}, {20, 20, 20},
                                                        {255, 0, 0},     {0, 0, 255},     {51, 102, 204},
                                                        {230, 178, 153}};
    const double d65[3] = {0.3127 / 0.3290, 1.0, (1 - 0.3127 - 0.3290) / 0.3290};
    TestImages::Pixels lab{static_cast<int>(colours.size()), 1, 3, 16, {}};
    for (const auto& colour : colours) {
        double linear[3], xyz[3], f[3];
        for (int c = 0; c < 3; ++c) {
            linear[c] = srgbToLinear(colour[c] / 255);
        }
        xyz[0] = 0.4124 * linear[0] + 0.3576 * linear[1] + 0.1805 * linear[2];
        xyz[1] = 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2];
        xyz[2] = 0.0193 * linear[0] + 0.1192 * linear[1] + 0.9505 * linear[2];
        for (int c = 0; c < 3; ++c) {
            const double t = xyz[c] / d65[c];
            f[c] = t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116;
        }
        // 16-bit CIELab: L* over 0…65535, a* and b* signed in 1/256 units.
        lab.samples.push_back(static_cast<std::uint16_t>(std::lround((116 * f[1] - 16) / 100 * 65535)));
        lab.samples.push_back(static_cast<std::uint16_t>(std::lround(500 * (f[0] - f[1]) * 256)));
        lab.samples.push_back(static_cast<std::uint16_t>(std::lround(200 * (f[1] - f[2]) * 256)));
    }
    const std::string tiff =
        TestImages::tiff(lab, {.photometric = PHOTOMETRIC_CIELAB, .whitePoint = {{0.3127f, 0.3290f}}});
    LinearSource labSource(
        std::make_shared<const DecodedImage>(ImageDecoder::decode(TestImages::memory(tiff))), 1, false);
    const std::vector<Pixel> l = drawAll(labSource);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        expectWithinACode(l[i], colours[i], "D65 Lab " + std::to_string(i));
    }
    // Without the tag the same values are D50's: the white stays white, the blue turns violet.
    const std::string d50 = TestImages::tiff(lab, {.photometric = PHOTOMETRIC_CIELAB});
    LinearSource d50Source(
        std::make_shared<const DecodedImage>(ImageDecoder::decode(TestImages::memory(d50))), 1, false);
    const std::vector<Pixel> plain = drawAll(d50Source);
    EXPECT_NEAR(plain[0].g, 1.0f, 2e-3);
    EXPECT_GT(plain[4].r, srgbToLinear(60 / 255.0));
}

TEST(LinearSourceTest, TransparencyIsCompositedOverWhite) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    // Transparent, half-covered red, opaque; the same colours straight and premultiplied. Over white, in the
    // space's own values: 0 × 128/255 + 255 × 127/255 = 127.
    const TestImages::Pixels straight{3, 1, 4, 8, {255, 0, 0, 0, 255, 0, 0, 128, 10, 20, 30, 255}};
    const TestImages::Pixels premultiplied{3, 1, 4, 8, {0, 0, 0, 0, 128, 0, 0, 128, 10, 20, 30, 255}};
    for (auto [pixels, mode] :
         {std::pair(straight, AlphaMode::straight), std::pair(premultiplied, AlphaMode::premultiplied)}) {
        LinearSource source(tagged(pixels, srgb, ColorModel::rgb, mode), 1, false);
        const std::vector<Pixel> p = drawAll(source);
        EXPECT_NEAR(p[0].g, 1.0f, tolerance);
        EXPECT_NEAR(p[1].r, 1.0f, tolerance);
        EXPECT_NEAR(p[1].g, srgbToLinear(127 / 255.0), tolerance);
        EXPECT_NEAR(p[2].b, srgbToLinear(30 / 255.0), tolerance);
    }
    // Grey with alpha, matched through a profile, composited after matching: transparent is still white.
    TestImages::Pixels greyAlpha{2, 1, 2, 16, {0, 0, 30000, 65535}};
    LinearSource matched(tagged(greyAlpha, TestProfiles::gray(), ColorModel::gray, AlphaMode::straight), 1,
                         false);
    const std::vector<Pixel> m = drawAll(matched);
    EXPECT_NEAR(m[0].b, 1.0f, tolerance);
    EXPECT_LT(m[1].g, 0.5f);
}

TEST(LinearSourceTest, SixteenBitByteOrdersGiveTheSameLight) {
    const auto pixels = TestImages::distinct(9, 7, 3, 16);
    for (int orientation : {1, 6}) {
        LinearSource little(tagged(pixels, ColorSpace::sRGB().icc, ColorModel::rgb, AlphaMode::none, true),
                            orientation, false);
        LinearSource big(tagged(pixels, ColorSpace::sRGB().icc, ColorModel::rgb, AlphaMode::none, false),
                         orientation, false);
        const std::vector<Pixel> a = drawAll(little);
        EXPECT_EQ(a, drawAll(big));
        EXPECT_TRUE(little.readsDecodedBytes() && big.readsDecodedBytes());
        EXPECT_NEAR(a[0].r, srgbToLinear(pixels.at(0, orientation == 1 ? 0 : 6, 0) / 65535.0), tolerance);
    }
}

TEST(LinearSourceTest, AnyWindowGivesThePixelsOfAWholeDraw) {
    LinearSource source(tagged(TestImages::distinct(20, 12, 3, 8), ""), 6, false); // 12 × 20 presented
    source.cache({2, 10}, {3, 15});
    std::vector<Pixel> inside(4 * 5);
    source.draw({4, 8}, {5, 10}, inside.data());
    std::vector<Pixel> outside(3 * 2);
    source.draw({9, 12}, {0, 2}, outside.data());
    // Whatever window served them, the pixels are those of a whole draw.
    std::vector<Pixel> whole = drawAll(source);
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 4; ++c) {
            ASSERT_EQ(inside[static_cast<std::size_t>(r * 4 + c)],
                      whole[static_cast<std::size_t>((5 + r) * 12 + 4 + c)]);
        }
    }
    EXPECT_EQ(outside[5], whole[static_cast<std::size_t>(1 * 12 + 11)]);
    EXPECT_THROW(source.draw({0, 13}, {0, 1}, whole.data()), std::out_of_range);
}

TEST(LinearSourceTest, ConcurrentSourcesShareOneImage) {
    auto image = tagged(TestImages::distinct(64, 48, 3, 16), TestProfiles::adobeRGBLike().own);
    LinearSource reference(image, 8, true);
    const std::vector<Pixel> expected = drawAll(reference);
    std::vector<std::thread> threads;
    std::vector<std::vector<Pixel>> results(4);
    for (std::size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&, t] {
            LinearSource source(image, 8, true);
            results[t] = drawAll(source);
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& result : results) {
        EXPECT_EQ(result, expected);
    }
}

TEST(LinearSourceTest, FloatSamplesRoundedWhileDecodingDrawTheSame) {
    // A photo read for printing keeps floating-point samples as 16-bit ones; whatever route its pixels
    // take (read raw, painted with alpha, inverted grey, CMYK matched), they must draw exactly as the
    // floating-point decode does. Values below 0, above 1 and NaN included.
    TestSupport::TemporaryDirectory folder;
    const struct {
        int channels, photometric, extra;
        std::string icc;
    } variants[] = {{3, -1, -1, ColorSpace::sRGB().icc},
                    {4, -1, EXTRASAMPLE_UNASSALPHA, ColorSpace::sRGB().icc},
                    {4, -1, EXTRASAMPLE_ASSOCALPHA, TestImages::adobeRGBLikeProfile()},
                    {1, PHOTOMETRIC_MINISWHITE, -1, ""},
                    {4, PHOTOMETRIC_SEPARATED, -1, ""}};
    for (const auto& v : variants) {
        std::vector<float> samples;
        for (int i = 0; i < 9 * 7 * v.channels; ++i) {
            samples.push_back(i % 23 == 0 ? std::nanf("") : static_cast<float>(i % 41) / 37.0f - 0.05f);
        }
        const auto path = folder / "float.tif";
        TestImages::write(path, TestImages::tiffFloat(
                                    9, 7, v.channels, samples,
                                    {.icc = v.icc, .photometric = v.photometric, .extraSample = v.extra}));
        const LinearSource::Decoded printed = LinearSource::read(path);
        EXPECT_EQ(printed.image->sample, SampleType::uint16) << v.channels;
        LinearSource rounded(printed.image, 1, false);
        LinearSource kept(std::make_shared<const DecodedImage>(ImageDecoder::decode(path)), 1, false);
        EXPECT_EQ(drawAll(rounded), drawAll(kept)) << v.channels << ' ' << v.photometric;
    }
}
