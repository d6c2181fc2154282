#include "PrintKit/render/LinearSource.h"

#include "PrintKit/render/ColorProfiles.h"
#include "PrintKit/render/ImageDecoder.h"
#include "PrintKit/render/SheetRenderError.h"
#include "TestImages.h"
#include "TestSupport.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <thread>
#include <tiffio.h>

using namespace PrintKit;

namespace {

// The Part's tolerance between the tone tables and the transforms they stand for.
constexpr float tolerance = 2e-5f;

double srgbToLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

std::shared_ptr<const DecodedImage> shared(DecodedImage image) {
    return std::make_shared<const DecodedImage>(std::move(image));
}

std::shared_ptr<const DecodedImage> tagged(const TestImages::Pixels& pixels, const std::string& icc,
                                           ColorModel model = ColorModel::rgb,
                                           AlphaMode alpha = AlphaMode::none, bool littleEndian = true) {
    DecodedImage image = TestImages::decoded(pixels, model, alpha, littleEndian);
    image.icc = icc;
    return shared(std::move(image));
}

std::vector<Pixel> drawAll(LinearSource& source) {
    std::vector<Pixel> pixels(static_cast<std::size_t>(source.width()) *
                              static_cast<std::size_t>(source.height()));
    source.draw({0, source.width()}, {0, source.height()}, pixels.data());
    return pixels;
}

// The stored pixel a presented position shows, from the tag table and the turn, written out here.
std::pair<int, int> storedOf(int orientation, bool turned, int x, int y, int w, int h) {
    const int uh = orientation >= 5 ? w : h;
    if (turned) {
        int ux = y, uy = uh - 1 - x;
        x = ux;
        y = uy;
    }
    switch (orientation) {
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {y, h - 1 - x};
    case 7:
        return {w - 1 - y, h - 1 - x};
    case 8:
        return {w - 1 - y, x};
    default:
        return {x, y};
    }
}

// Little CMS directly: float pixels from one profile to another, relative colorimetric.
std::vector<float> lcmsFloat(const std::string& from, cmsUInt32Number inFormat, const std::string& to,
                             const void* samples, int count) {
    cmsHPROFILE a = cmsOpenProfileFromMem(from.data(), static_cast<cmsUInt32Number>(from.size()));
    cmsHPROFILE b = cmsOpenProfileFromMem(to.data(), static_cast<cmsUInt32Number>(to.size()));
    cmsHTRANSFORM t = cmsCreateTransform(a, inFormat, b, TYPE_RGB_FLT, INTENT_RELATIVE_COLORIMETRIC, 0);
    std::vector<float> out(static_cast<std::size_t>(count) * 3);
    cmsDoTransform(t, samples, out.data(), static_cast<cmsUInt32Number>(count));
    cmsDeleteTransform(t);
    cmsCloseProfile(a);
    cmsCloseProfile(b);
    return out;
}

// Little CMS directly: pixels into the working space at 8 or 16 bits (perceptual, as a photo is drawn).
std::vector<std::uint16_t> lcmsInto(const std::string& from, cmsUInt32Number inFormat, const std::string& to,
                                    bool deep, const void* samples, int count) {
    cmsHPROFILE a = cmsOpenProfileFromMem(from.data(), static_cast<cmsUInt32Number>(from.size()));
    cmsHPROFILE b = cmsOpenProfileFromMem(to.data(), static_cast<cmsUInt32Number>(to.size()));
    cmsHTRANSFORM t =
        cmsCreateTransform(a, inFormat, b, deep ? TYPE_RGB_16 : TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    std::vector<std::uint16_t> out(static_cast<std::size_t>(count) * 3);
    std::vector<std::uint8_t> narrow(static_cast<std::size_t>(count) * 3);
    cmsDoTransform(t, samples, deep ? static_cast<void*>(out.data()) : narrow.data(),
                   static_cast<cmsUInt32Number>(count));
    if (!deep) {
        std::copy(narrow.begin(), narrow.end(), out.begin());
    }
    cmsDeleteTransform(t);
    cmsCloseProfile(a);
    cmsCloseProfile(b);
    return out;
}

// A matrix-and-curves RGB profile whose curve is a fine sawtooth: linearisable, but no table with 4097
// entries can follow its inverse.
std::string sawtoothProfile() {
    std::vector<cmsUInt16Number> table(4096);
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<cmsUInt16Number>(std::min<std::size_t>(65535, i * 16 + (i % 2 ? 600 : 0)));
    }
    cmsToneCurve* curve =
        cmsBuildTabulatedToneCurve16(nullptr, static_cast<cmsUInt32Number>(table.size()), table.data());
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsCIExyY white{0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

} // namespace

TEST(LinearSourceTest, PresentedSizeFollowsOrientationAndTurn) {
    DecodedImage big;
    big.width = 4000;
    big.height = 3000;
    big.channels = 3;
    big.bytesPerRow = 12000; // no pixels: a source decodes nothing until it is drawn
    auto image = shared(std::move(big));
    LinearSource six(image, 6, false);
    EXPECT_EQ(six.width(), 3000);
    EXPECT_EQ(six.height(), 4000);
    LinearSource turned(image, 6, true);
    EXPECT_EQ(turned.width(), 4000);
    EXPECT_EQ(turned.height(), 3000);
    for (int odd : {0, 9, -3}) {
        LinearSource upright(image, odd, false);
        EXPECT_EQ(upright.orientation(), 1);
        EXPECT_EQ(upright.width(), 4000);
    }
    EXPECT_EQ(LinearSource(image, 3, true).width(), 3000);
}

TEST(LinearSourceTest, EveryOrientationAndTurnShowsTheTablePixel) {
    const auto pixels = TestImages::distinct(7, 5, 3, 8);
    // The raw route (sRGB-tagged) and the cached route (untagged, worked in sRGB) must agree pixel for pixel.
    for (const std::string& icc : {ColorSpace::sRGB().icc, std::string()}) {
        auto image = tagged(pixels, icc);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            for (bool turned : {false, true}) {
                SCOPED_TRACE(std::to_string(orientation) + (turned ? " turned" : "") +
                             (icc.empty() ? " untagged" : ""));
                LinearSource source(image, orientation, turned);
                EXPECT_EQ(source.space().icc, ColorSpace::sRGB().icc);
                std::vector<Pixel> out = drawAll(source);
                EXPECT_EQ(source.readsDecodedBytes(), !icc.empty());
                for (int y = 0; y < source.height(); ++y) {
                    for (int x = 0; x < source.width(); ++x) {
                        auto [u, v] = storedOf(orientation, turned, x, y, 7, 5);
                        const Pixel& p = out[static_cast<std::size_t>(y * source.width() + x)];
                        ASSERT_NEAR(p.r, srgbToLinear(pixels.at(u, v, 0) / 255.0), tolerance);
                        ASSERT_NEAR(p.g, srgbToLinear(pixels.at(u, v, 1) / 255.0), tolerance);
                        ASSERT_NEAR(p.b, srgbToLinear(pixels.at(u, v, 2) / 255.0), tolerance);
                        ASSERT_EQ(p.a, 1.0f);
                    }
                }
            }
        }
    }
}

TEST(LinearSourceTest, OnlyPlainRgbInItsOwnSpaceIsReadRaw) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    const ColorSpace space = ColorSpace::sRGB();
    auto rgb8 = TestImages::distinct(4, 3, 3, 8);
    auto rgbx8 = TestImages::distinct(4, 3, 4, 8);
    auto rgb16 = TestImages::distinct(4, 3, 3, 16);
    auto rgbx16 = TestImages::distinct(4, 3, 4, 16);
    EXPECT_EQ(RawLayout::make(*tagged(rgb8, srgb), space), (RawLayout{3, 0, 1, 2, false, false}));
    EXPECT_EQ(RawLayout::make(*tagged(rgbx8, srgb), space), (RawLayout{4, 0, 1, 2, false, false}));
    EXPECT_EQ(RawLayout::make(*tagged(rgb16, srgb), space), (RawLayout{6, 0, 2, 4, true, true}));
    EXPECT_EQ(RawLayout::make(*tagged(rgb16, srgb, ColorModel::rgb, AlphaMode::none, false), space),
              (RawLayout{6, 0, 2, 4, true, false}));
    EXPECT_EQ(RawLayout::make(*tagged(rgbx16, srgb), space), (RawLayout{8, 0, 2, 4, true, true}));
    // Real alpha, another model, another space, no profile, or floats: never raw.
    EXPECT_EQ(RawLayout::make(*tagged(rgbx8, srgb, ColorModel::rgb, AlphaMode::straight), space),
              std::nullopt);
    EXPECT_EQ(RawLayout::make(*tagged(rgbx8, srgb, ColorModel::cmyk), space), std::nullopt);
    EXPECT_EQ(RawLayout::make(*tagged(TestImages::distinct(4, 3, 1, 8), srgb, ColorModel::gray), space),
              std::nullopt);
    EXPECT_EQ(RawLayout::make(*tagged(rgb8, TestImages::adobeRGBLikeProfile()), space), std::nullopt);
    EXPECT_EQ(RawLayout::make(*tagged(rgb8, ""), space), std::nullopt);
    DecodedImage floats = TestImages::decoded(rgbx8, ColorModel::rgb);
    floats.channels = 1;
    floats.sample = SampleType::float32;
    floats.icc = srgb;
    EXPECT_EQ(RawLayout::make(floats, space), std::nullopt);

    LinearSource withAlpha(tagged(rgbx8, srgb, ColorModel::rgb, AlphaMode::straight), 1, false);
    withAlpha.cache({0, 4}, {0, 3});
    EXPECT_FALSE(withAlpha.readsDecodedBytes());
    EXPECT_EQ(withAlpha.cachedColumns(), (IndexRange{0, 4}));
}

TEST(LinearSourceTest, TaggedSpacesAreWorkedInAndLinearised) {
    // A gamma 2.2 profile: the working space is the photo's own, and linear light is the sample to the 2.2.
    const std::string gamma22 = TestImages::adobeRGBLikeProfile();
    for (int bits : {8, 16}) {
        auto pixels = TestImages::distinct(6, 4, 3, bits);
        LinearSource source(tagged(pixels, gamma22), 1, false);
        EXPECT_EQ(source.space().icc, gamma22);
        EXPECT_NE(source.linearSpace().icc, gamma22);
        std::vector<Pixel> out = drawAll(source);
        EXPECT_TRUE(source.readsDecodedBytes());
        ASSERT_NE(source.curves(), nullptr);
        EXPECT_EQ(source.curves()->levels(), bits == 8 ? 256 : 65536);
        const double top = bits == 8 ? 255.0 : 65535.0;
        for (int i = 0; i < 24; ++i) {
            ASSERT_NEAR(out[static_cast<std::size_t>(i)].g, std::pow(pixels.at(i % 6, i / 6, 1) / top, 2.2),
                        tolerance);
        }
    }
    // A table-based RGB profile has no linear form: the photo is matched into Display P3.
    const std::string lut = TestImages::lutRGBProfile();
    auto pixels = TestImages::distinct(6, 4, 3, 8);
    LinearSource p3(tagged(pixels, lut), 1, false);
    EXPECT_EQ(p3.space().icc, ColorProfiles::displayP3());
    EXPECT_EQ(p3.space().name, "Display P3");
    std::vector<Pixel> out = drawAll(p3);
    EXPECT_FALSE(p3.readsDecodedBytes());
    std::vector<std::uint8_t> samples(pixels.samples.begin(), pixels.samples.end());
    auto inP3 = lcmsInto(lut, TYPE_RGB_8, ColorProfiles::displayP3(), false, samples.data(), 24);
    for (int i = 0; i < 24; ++i) {
        // The same curve as sRGB's; one code of difference allowed between two evaluations of the table.
        for (int c = 0; c < 3; ++c) {
            const float got = c == 0   ? out[static_cast<std::size_t>(i)].r
                              : c == 1 ? out[static_cast<std::size_t>(i)].g
                                       : out[static_cast<std::size_t>(i)].b;
            const int code = inP3[static_cast<std::size_t>(i * 3 + c)];
            EXPECT_TRUE(std::fabs(got - srgbToLinear(code / 255.0)) < tolerance ||
                        std::fabs(got - srgbToLinear((code + 1) / 255.0)) < tolerance ||
                        std::fabs(got - srgbToLinear((code - 1) / 255.0)) < tolerance)
                << i << " channel " << c;
        }
    }
}

TEST(LinearSourceTest, GreyCmykAndLabArriveInSrgb) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    auto expectCodes = [&](const Pixel& p, const std::uint16_t* codes, double top, const char* what) {
        const float got[3] = {p.r, p.g, p.b};
        for (int c = 0; c < 3; ++c) {
            bool near = false;
            for (int d = -1; d <= 1; ++d) {
                near = near || std::fabs(got[c] - srgbToLinear((codes[c] + d) / top)) < tolerance;
            }
            EXPECT_TRUE(near) << what << " channel " << c << ": " << got[c] << " vs code " << codes[c];
        }
    };
    // Untagged grey lies on the sRGB curve: a grey level keeps its sRGB level.
    auto grey = TestImages::distinct(5, 3, 1, 8);
    LinearSource untaggedGrey(tagged(grey, "", ColorModel::gray), 1, false);
    EXPECT_EQ(untaggedGrey.space().icc, ColorSpace::sRGB().icc);
    std::vector<Pixel> g = drawAll(untaggedGrey);
    for (int i = 0; i < 15; ++i) {
        std::uint16_t codes[3] = {grey.samples[static_cast<std::size_t>(i)],
                                  grey.samples[static_cast<std::size_t>(i)],
                                  grey.samples[static_cast<std::size_t>(i)]};
        expectCodes(g[static_cast<std::size_t>(i)], codes, 255.0, "untagged grey");
    }
    // Tagged grey (gamma 1.8), 16-bit: matched by its own profile.
    const std::string gamma18 = TestImages::grayGamma18Profile();
    auto deepGrey = TestImages::distinct(5, 3, 1, 16);
    LinearSource taggedGrey(tagged(deepGrey, gamma18, ColorModel::gray), 1, false);
    std::vector<Pixel> tg = drawAll(taggedGrey);
    auto greyInSrgb = lcmsInto(gamma18, TYPE_GRAY_16, srgb, true, deepGrey.samples.data(), 15);
    for (int i = 0; i < 15; ++i) {
        expectCodes(tg[static_cast<std::size_t>(i)], &greyInSrgb[static_cast<std::size_t>(3 * i)], 65535.0,
                    "grey 1.8");
    }
    // Untagged CMYK: no ink is white, full cyan leaves no red, full black is black.
    TestImages::Pixels inks{4, 1, 4, 8, {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 255, 0, 128, 0, 0}};
    LinearSource cmyk(tagged(inks, "", ColorModel::cmyk), 1, false);
    std::vector<Pixel> k = drawAll(cmyk);
    EXPECT_NEAR(k[0].r, 1.0f, 1e-3);
    EXPECT_NEAR(k[0].b, 1.0f, 1e-3);
    EXPECT_LT(k[1].r, 0.01f);
    EXPECT_GT(k[1].g, 0.9f);
    EXPECT_LT(k[2].g, 0.01f);
    std::vector<std::uint8_t> inkBytes(inks.samples.begin(), inks.samples.end());
    auto inkInSrgb = lcmsInto(ColorProfiles::defaultCMYK(), TYPE_CMYK_8, srgb, false, inkBytes.data(), 4);
    for (int i = 0; i < 4; ++i) {
        expectCodes(k[static_cast<std::size_t>(i)], &inkInSrgb[static_cast<std::size_t>(3 * i)], 255.0,
                    "cmyk");
    }
    // A CMYK photo with a profile of its own is matched by that profile (here the grey one does not suit CMYK
    // and is passed over for the default).
    LinearSource wrongProfile(tagged(inks, gamma18, ColorModel::cmyk), 1, false);
    EXPECT_EQ(drawAll(wrongProfile)[1].r, k[1].r);

    // CIELAB from a TIFF: L* 100 is white, L* 50 a mid grey.
    TestImages::Pixels lab{2, 1, 3, 8, {255, 0, 0, 128, 0, 0}};
    std::string tiff = TestImages::tiff(lab, {.photometric = PHOTOMETRIC_CIELAB});
    ByteSource bytes(std::span(reinterpret_cast<const std::uint8_t*>(tiff.data()), tiff.size()), "lab");
    LinearSource labSource(shared(ImageDecoder::decode(bytes)), 1, false);
    std::vector<Pixel> l = drawAll(labSource);
    const float labSamples[6] = {100.0f, 0, 0, 128 * 100.0f / 255.0f, 0, 0};
    auto labInSrgb = lcmsInto(ColorProfiles::lab(), TYPE_Lab_FLT, srgb, true, labSamples, 2);
    expectCodes(l[0], &labInSrgb[0], 65535.0, "L* 100");
    expectCodes(l[1], &labInSrgb[3], 65535.0, "L* 50");
    EXPECT_NEAR(l[0].g, 1.0f, 2e-3);
}

TEST(LinearSourceTest, TransparencyIsCompositedOverWhite) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    TestImages::Pixels rgba{3, 1, 4, 8, {255, 0, 0, 0, 255, 0, 0, 128, 10, 20, 30, 255}};
    LinearSource straight(tagged(rgba, srgb, ColorModel::rgb, AlphaMode::straight), 1, false);
    std::vector<Pixel> s = drawAll(straight);
    EXPECT_NEAR(s[0].r, 1.0f, tolerance); // fully transparent: white
    EXPECT_NEAR(s[0].g, 1.0f, tolerance);
    // Half-covered red over white, in the space's own values: 0 × 128/255 + 255 × 127/255 = 127.
    EXPECT_NEAR(s[1].r, 1.0f, tolerance);
    EXPECT_NEAR(s[1].g, srgbToLinear(127 / 255.0), tolerance);
    EXPECT_NEAR(s[2].b, srgbToLinear(30 / 255.0), tolerance);
    // The same colours stored premultiplied.
    TestImages::Pixels premultiplied{3, 1, 4, 8, {0, 0, 0, 0, 128, 0, 0, 128, 10, 20, 30, 255}};
    LinearSource pre(tagged(premultiplied, srgb, ColorModel::rgb, AlphaMode::premultiplied), 1, false);
    std::vector<Pixel> p = drawAll(pre);
    EXPECT_NEAR(p[0].b, 1.0f, tolerance);
    EXPECT_NEAR(p[1].r, 1.0f, tolerance);
    EXPECT_NEAR(p[1].g, srgbToLinear(127 / 255.0), tolerance);
    EXPECT_NEAR(p[2].r, srgbToLinear(10 / 255.0), tolerance);
    // Grey with alpha, matched through a profile, composited after matching: transparent is still white.
    TestImages::Pixels greyAlpha{2, 1, 2, 16, {0, 0, 30000, 65535}};
    LinearSource matched(
        tagged(greyAlpha, TestImages::grayGamma18Profile(), ColorModel::gray, AlphaMode::straight), 1, false);
    std::vector<Pixel> m = drawAll(matched);
    EXPECT_NEAR(m[0].r, 1.0f, tolerance);
    EXPECT_NEAR(m[0].b, 1.0f, tolerance);
    EXPECT_LT(m[1].g, 0.5f);
}

TEST(LinearSourceTest, SixteenBitByteOrdersGiveTheSameLight) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    auto pixels = TestImages::distinct(9, 7, 3, 16);
    for (int orientation : {1, 6}) {
        LinearSource little(tagged(pixels, srgb, ColorModel::rgb, AlphaMode::none, true), orientation, false);
        LinearSource big(tagged(pixels, srgb, ColorModel::rgb, AlphaMode::none, false), orientation, false);
        std::vector<Pixel> a = drawAll(little), b = drawAll(big);
        EXPECT_TRUE(little.readsDecodedBytes());
        EXPECT_TRUE(big.readsDecodedBytes());
        EXPECT_EQ(a, b);
        EXPECT_NEAR(a[0].r,
                    srgbToLinear(pixels.at(orientation == 1 ? 0 : 0, orientation == 1 ? 0 : 6, 0) / 65535.0),
                    tolerance);
    }
    // Through files: PNG stores big-endian, TIFF either way.
    TestSupport::TemporaryDirectory folder;
    TestImages::write(folder / "a.png", TestImages::png(pixels, {.icc = srgb}));
    TestImages::write(folder / "le.tif", TestImages::tiff(pixels, {.icc = srgb}));
    TestImages::write(folder / "be.tif", TestImages::tiff(pixels, {.bigEndian = true, .icc = srgb}));
    std::vector<std::vector<Pixel>> results;
    for (const char* name : {"a.png", "le.tif", "be.tif"}) {
        auto decoded = LinearSource::read(folder / name);
        LinearSource source(decoded.image, decoded.orientation, false);
        results.push_back(drawAll(source));
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

TEST(LinearSourceTest, TablesMatchTheTransformRouteWithinTolerance) {
    // Where the tables exist, each linear value agrees with the transform they replace.
    const std::string gamma22 = TestImages::adobeRGBLikeProfile();
    auto pixels = TestImages::distinct(16, 16, 3, 16);
    LinearSource tables(tagged(pixels, gamma22), 1, false);
    std::vector<Pixel> viaTables = drawAll(tables);
    ASSERT_NE(tables.curves(), nullptr);
    auto direct = lcmsFloat(gamma22, TYPE_RGB_16, tables.linearSpace().icc, pixels.samples.data(), 256);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_NEAR(viaTables[i].r, direct[3 * i], tolerance);
        ASSERT_NEAR(viaTables[i].g, direct[3 * i + 1], tolerance);
        ASSERT_NEAR(viaTables[i].b, direct[3 * i + 2], tolerance);
    }
    // Where they fail their check, drawing still works, through the transforms.
    const std::string sawtooth = sawtoothProfile();
    auto eight = TestImages::distinct(16, 16, 3, 8);
    LinearSource transforms(tagged(eight, sawtooth), 1, false);
    std::vector<Pixel> viaTransforms = drawAll(transforms);
    EXPECT_EQ(transforms.space().icc, sawtooth);
    EXPECT_EQ(transforms.curves(), nullptr);
    EXPECT_FALSE(transforms.readsDecodedBytes());
    std::vector<std::uint8_t> bytes(eight.samples.begin(), eight.samples.end());
    auto expected = lcmsFloat(sawtooth, TYPE_RGB_8, transforms.linearSpace().icc, bytes.data(), 256);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_NEAR(viaTransforms[i].r, expected[3 * i], tolerance);
        ASSERT_NEAR(viaTransforms[i].b, expected[3 * i + 2], tolerance);
    }
}

TEST(LinearSourceTest, TheCachedWindowIsKeptAndReplacedOnlyWhenLeft) {
    auto pixels = TestImages::distinct(20, 12, 3, 8);
    LinearSource source(tagged(pixels, ""), 6, false); // 12 × 20 presented
    source.cache({2, 10}, {3, 15});
    EXPECT_EQ(source.cachedColumns(), (IndexRange{2, 10}));
    EXPECT_EQ(source.cachedRows(), (IndexRange{3, 15}));
    std::vector<Pixel> inside(4 * 5);
    source.draw({4, 8}, {5, 10}, inside.data());
    EXPECT_EQ(source.cachedColumns(), (IndexRange{2, 10}));
    EXPECT_EQ(source.cachedRows(), (IndexRange{3, 15}));
    std::vector<Pixel> outside(3 * 2);
    source.draw({9, 12}, {0, 2}, outside.data());
    EXPECT_EQ(source.cachedColumns(), (IndexRange{9, 12}));
    EXPECT_EQ(source.cachedRows(), (IndexRange{0, 2}));
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

TEST(LinearSourceTest, ReadersKeepTheOrientationOrApplyIt) {
    TestSupport::TemporaryDirectory folder;
    auto pixels = TestImages::distinct(40, 30, 3, 8);
    TestImages::write(folder / "six.jpg", TestImages::jpeg(pixels, {.orientation = 6}));
    TestImages::write(folder / "six.heic", TestImages::heif(pixels, {.orientation = 6}));
    auto jpeg = LinearSource::read(folder / "six.jpg");
    EXPECT_EQ(jpeg.orientation, 6);
    EXPECT_EQ(LinearSource(jpeg.image, jpeg.orientation, false).width(), 30);
    auto heif = LinearSource::read(folder / "six.heic");
    EXPECT_EQ(heif.orientation, 1); // already turned by its decoder
    EXPECT_EQ(LinearSource(heif.image, heif.orientation, false).width(), 30);
    auto reduced = LinearSource::readReduced(folder / "six.jpg", 20);
    EXPECT_EQ(reduced->orientation, 1);
    EXPECT_EQ(reduced->width, 15);
    EXPECT_EQ(reduced->height, 20);
    try {
        LinearSource::read(folder / "missing.jpg");
        ADD_FAILURE();
    } catch (const SheetRenderError& error) {
        EXPECT_EQ(error.message(), "사진을 읽지 못했습니다: " + (folder / "missing.jpg").string());
    }
}

TEST(LinearSourceTest, ConcurrentSourcesShareOneImage) {
    auto image = tagged(TestImages::distinct(64, 48, 3, 16), TestImages::adobeRGBLikeProfile());
    LinearSource reference(image, 8, true);
    std::vector<Pixel> expected = drawAll(reference);
    std::vector<std::thread> threads;
    std::vector<std::vector<Pixel>> results(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            LinearSource source(image, 8, true);
            results[static_cast<std::size_t>(t)] = drawAll(source);
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& result : results) {
        EXPECT_EQ(result, expected);
    }
}

TEST(LinearSourceTest, EachFormatsTagReachesThePresentedPixels) {
    // The file's tag, read by its decoder and applied by the source, turned or not, shows the pixels of the
    // untagged file at the places the table names. JPEG is lossy: its untagged twin was coded from the same
    // samples and decodes to the same values.
    TestSupport::TemporaryDirectory folder;
    const std::string& srgb = ColorSpace::sRGB().icc;
    const auto pixels16 = TestImages::distinct(6, 4, 3, 16);
    const auto pixels8 = TestImages::distinct(6, 4, 3, 8);
    const auto jpegPixels = TestImages::distinct(16, 8, 3, 8);
    struct Format {
        const char* name;
        std::function<std::string(std::optional<int>)> write;
        int width, height;
    };
    const std::vector<Format> formats = {
        {"tif",
         [&](std::optional<int> o) {
             return TestImages::tiff(pixels16, {.bigEndian = true, .orientation = o, .icc = srgb});
         },
         6, 4},
        {"png", [&](std::optional<int> o) { return TestImages::png(pixels8, {.orientation = o}); }, 6, 4},
        {"jpg",
         [&](std::optional<int> o) { return TestImages::jpeg(jpegPixels, {.icc = srgb, .orientation = o}); },
         16, 8},
    };
    for (const Format& format : formats) {
        TestImages::write(folder / (std::string("plain.") + format.name), format.write(std::nullopt));
        auto plain = LinearSource::read(folder / (std::string("plain.") + format.name));
        ASSERT_EQ(plain.orientation, 1);
        LinearSource reference(plain.image, 1, false);
        std::vector<Pixel> stored = drawAll(reference);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            TestImages::write(folder / (std::string("tagged.") + format.name), format.write(orientation));
            auto tagged = LinearSource::read(folder / (std::string("tagged.") + format.name));
            ASSERT_EQ(tagged.orientation, orientation) << format.name;
            for (bool turned : {false, true}) {
                LinearSource source(tagged.image, tagged.orientation, turned);
                std::vector<Pixel> presented = drawAll(source);
                for (int y = 0; y < source.height(); ++y) {
                    for (int x = 0; x < source.width(); ++x) {
                        auto [u, v] = storedOf(orientation, turned, x, y, format.width, format.height);
                        ASSERT_EQ(presented[static_cast<std::size_t>(y * source.width() + x)],
                                  stored[static_cast<std::size_t>(v * format.width + u)])
                            << format.name << " orientation " << orientation << (turned ? " turned" : "");
                    }
                }
            }
        }
    }
}
