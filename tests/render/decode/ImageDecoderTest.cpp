#include "PrintKit/render/decode/ImageDecoder.h"

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/decode/JpegDecoder.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "TestImages.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <tiffio.h>

using namespace PrintKit;
using TestImages::sampleOf;

namespace {

DecodedImage fromBytes(const std::string& bytes) {
    return ImageDecoder::decode(TestImages::memory(bytes));
}

// Every sample of the decoded image equals the written one.
void expectSamples(const DecodedImage& image, const TestImages::Pixels& pixels) {
    ASSERT_EQ(std::tuple(image.width, image.height, image.channels),
              std::tuple(pixels.width, pixels.height, pixels.channels));
    for (std::size_t i = 0; i < pixels.samples.size(); ++i) {
        const int x = static_cast<int>(i / pixels.channels % pixels.width),
                  y = static_cast<int>(i / pixels.channels / pixels.width);
        ASSERT_EQ(sampleOf(image, x, y, static_cast<int>(i % pixels.channels)), pixels.samples[i])
            << x << "," << y;
    }
}

} // namespace

TEST(ImageDecoderTest, TheFormatComesFromTheBytesAndWhatIsNoPhotoFailsWithItsPath) {
    TestSupport::TemporaryDirectory folder;
    const auto pixels = TestImages::distinct(40, 30, 3, 8);
    const std::pair<std::string, ImageFormat> files[] = {
        {TestImages::png(pixels, {.orientation = 8}), ImageFormat::png},
        {TestImages::tiff(pixels), ImageFormat::tiff},
        {TestImages::jpeg(pixels, {.orientation = 6}), ImageFormat::jpeg},
        {TestImages::heif(pixels), ImageFormat::heif}};
    for (const auto& [bytes, format] : files) {
        TestImages::write(folder / "photo.jpg", bytes); // names mean nothing
        EXPECT_EQ(ImageDecoder::decode(folder / "photo.jpg").format, format);
    }
    const std::uint8_t bigTiff[] = {'M', 'M', 0, 43, 0, 8, 0, 0};
    EXPECT_EQ(ImageDecoder::recognize(bigTiff), ImageFormat::tiff);
    // An MP4 video is an ISO media file too, but names no HEIF brand.
    const std::uint8_t video[] = {0,   0,   0, 20, 'f', 't', 'y', 'p', 'i', 's',
                                  'o', 'm', 0, 0,  2,   0,   'm', 'p', '4', '1'};
    EXPECT_EQ(ImageDecoder::recognize(video), std::nullopt);
    // The probe reads the headers only: cut just past them, it still answers while the decode cannot.
    TestImages::write(folder / "a.jpg", files[2].first.substr(0, files[2].first.size() / 2));
    TestImages::write(folder / "a.png", files[0].first.substr(0, files[0].first.find("IDAT") + 8));
    EXPECT_EQ(ImageDecoder::probe(folder / "a.jpg"), (ImageInfo{ImageFormat::jpeg, 40, 30, 6}));
    EXPECT_EQ(ImageDecoder::probe(folder / "a.png"), (ImageInfo{ImageFormat::png, 40, 30, 8}));
    // HEIF sizes come upright, with the rotation already counted in.
    EXPECT_EQ(ImageDecoder::probe(TestImages::memory(TestImages::heif(pixels, {.orientation = 6}))),
              (ImageInfo{ImageFormat::heif, 30, 40, 1}));
    TestSupport::writeFile(folder / "notes.jpg", "hello, this is text");
    TestSupport::writeFile(folder / "empty.png", "");
    std::filesystem::create_directory(folder / "folder.tif");
    for (const char* name : {"notes.jpg", "empty.png", "folder.tif", "missing.heic", "a.jpg", "a.png"}) {
        const auto path = folder / name;
        for (const auto& call : std::vector<std::function<void()>>{
                 [&] { ImageDecoder::decode(path); }, [&] { ImageDecoder::decodeReduced(path, 10); }}) {
            TestSupport::expectFailure<SheetRenderError>(call, SheetRenderErrorCode::unreadableImage,
                                                         "사진을 읽지 못했습니다: " + path.string());
        }
    }
}

TEST(ImageDecoderTest, PngKeepsSixteenBitSamplesInTheFileOrderAndEveryLayout) {
    const auto pixels = TestImages::distinct(6, 5, 3, 16);
    DecodedImage image = fromBytes(TestImages::png(pixels));
    EXPECT_EQ(image.sample, SampleType::uint16);
    EXPECT_FALSE(image.littleEndian);
    EXPECT_EQ(image.row(0)[0], pixels.at(0, 0, 0) >> 8);
    expectSamples(image, pixels);
    for (bool interlaced : {false, true}) {
        for (int channels : {1, 2, 4}) {
            const auto more = TestImages::distinct(9, 7, channels, 8);
            DecodedImage decoded = fromBytes(TestImages::png(more, {.interlaced = interlaced}));
            EXPECT_EQ(decoded.model, channels <= 2 ? ColorModel::gray : ColorModel::rgb);
            EXPECT_EQ(decoded.alpha, channels % 2 == 0 ? AlphaMode::straight : AlphaMode::none);
            expectSamples(decoded, more);
        }
    }
}

TEST(ImageDecoderTest, ProfilesTravelWithThePixels) {
    const std::string profile = TestProfiles::adobeRGBLike().own;
    const auto pixels = TestImages::distinct(8, 8, 3, 8);
    EXPECT_EQ(fromBytes(TestImages::png(pixels, {.icc = profile})).icc, profile);
    EXPECT_EQ(fromBytes(TestImages::png(pixels, {.srgb = true})).icc, ColorSpace::sRGB().icc);
    EXPECT_EQ(fromBytes(TestImages::png(pixels)).icc, "");
    EXPECT_EQ(fromBytes(TestImages::tiff(pixels, {.icc = profile})).icc, profile);
    EXPECT_EQ(fromBytes(TestImages::heif(pixels, {.icc = profile})).icc, profile);
    // A profile larger than one JPEG marker is split over several APP2 segments and must come back whole.
    std::string large(150000, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 31 % 251);
    }
    EXPECT_EQ(fromBytes(TestImages::jpeg(pixels, {.icc = large})).icc, large);
}

TEST(ImageDecoderTest, JpegDeliversGreyRgbAndAdobeCmykAndScalesDownOnlyAsFarAsAsked) {
    // Adobe CMYK stores inverted ink: 255 − ink is written, ink is read.
    for (auto [written, read, model] :
         {std::tuple<std::vector<std::uint16_t>, std::vector<int>, ColorModel>{{77}, {77}, ColorModel::gray},
          {{200, 40, 90}, {200, 40, 90}, ColorModel::rgb},
          {{245, 135, 55, 225}, {10, 120, 200, 30}, ColorModel::cmyk}}) {
        DecodedImage image = fromBytes(TestImages::jpeg(TestImages::solid(16, 16, written)));
        EXPECT_EQ(image.model, model);
        ASSERT_EQ(image.channels, static_cast<int>(read.size()));
        for (std::size_t k = 0; k < read.size(); ++k) {
            EXPECT_NEAR(sampleOf(image, 5, 5, static_cast<int>(k)), read[k], 2) << k;
        }
    }
    // Scaled by libjpeg itself, in eighths, to the smallest size that keeps the asked long side.
    const std::string large = TestImages::jpeg(TestImages::solid(800, 600, {10, 20, 30}), {.quality = 80});
    for (auto [asked, width] :
         {std::pair(0, 800), std::pair(100, 100), std::pair(201, 300), std::pair(799, 800)}) {
        EXPECT_EQ(JpegDecoder::decode(TestImages::memory(large), {}, asked).width, width) << asked;
    }
}

TEST(ImageDecoderTest, TiffLayoutsByteOrdersDepthsAndModelsDecodeAlike) {
    for (int bits : {8, 16}) {
        const auto pixels = TestImages::distinct(37, 21, 3, bits);
        const std::vector<TestImages::TiffOptions> variants = {
            {},
            {.bigEndian = true, .rowsPerStrip = 5, .compression = COMPRESSION_ADOBE_DEFLATE},
            {.bigEndian = true, .tiled = true},
            {.tiled = true, .planar = true},
            {.bigEndian = true, .planar = true, .rowsPerStrip = 2, .compression = COMPRESSION_LZW},
        };
        for (std::size_t i = 0; i < variants.size(); ++i) {
            SCOPED_TRACE("bits " + std::to_string(bits) + " variant " + std::to_string(i));
            expectSamples(fromBytes(TestImages::tiff(pixels, variants[i])), pixels);
        }
    }
    std::vector<float> samples;
    for (int i = 0; i < 6 * 4 * 3; ++i) {
        samples.push_back(static_cast<float>(i) / 71.0f);
    }
    DecodedImage floats =
        fromBytes(TestImages::tiffFloat(6, 4, 3, samples, {.bigEndian = true, .rowsPerStrip = 3}));
    EXPECT_EQ(floats.sample, SampleType::float32);
    EXPECT_EQ(sampleOf(floats, 5, 3, 2), samples.back());
    // Alpha associated or not; an extra sample of no stated meaning is not alpha: it is left out.
    const auto rgba = TestImages::distinct(5, 3, 4, 16);
    DecodedImage straight = fromBytes(TestImages::tiff(rgba, {.extraSample = EXTRASAMPLE_UNASSALPHA}));
    EXPECT_EQ(straight.alpha, AlphaMode::straight);
    expectSamples(straight, rgba);
    EXPECT_EQ(fromBytes(TestImages::tiff(rgba, {.extraSample = EXTRASAMPLE_ASSOCALPHA})).alpha,
              AlphaMode::premultiplied);
    DecodedImage dropped = fromBytes(TestImages::tiff(rgba, {.extraSample = EXTRASAMPLE_UNSPECIFIED}));
    EXPECT_EQ(std::tuple(dropped.alpha, dropped.channels), std::tuple(AlphaMode::none, 3));
    EXPECT_EQ(sampleOf(dropped, 4, 2, 2), rgba.at(4, 2, 2));
    const auto cmyk = TestImages::distinct(4, 4, 4, 8);
    DecodedImage k = fromBytes(TestImages::tiff(cmyk, {.photometric = PHOTOMETRIC_SEPARATED}));
    EXPECT_EQ(k.model, ColorModel::cmyk);
    expectSamples(k, cmyk);
    const auto grey = TestImages::distinct(4, 4, 1, 16);
    DecodedImage whiteIsZero = fromBytes(TestImages::tiff(grey, {.photometric = PHOTOMETRIC_MINISWHITE}));
    EXPECT_EQ(sampleOf(whiteIsZero, 2, 1, 0), 65535 - grey.at(2, 1, 0));
    // CIELAB: L* 0…255 for 0…100, a* and b* signed bytes.
    DecodedImage l =
        fromBytes(TestImages::tiff({1, 1, 3, 8, {255, 256 - 20, 35}}, {.photometric = PHOTOMETRIC_CIELAB}));
    EXPECT_EQ(std::tuple(l.model, l.sample), std::tuple(ColorModel::lab, SampleType::float32));
    EXPECT_EQ(std::vector<double>({sampleOf(l, 0, 0, 0), sampleOf(l, 0, 0, 1), sampleOf(l, 0, 0, 2)}),
              std::vector<double>({100, -20, 35}));
}

TEST(ImageDecoderTest, TiffBilevelGoesThroughTheRgbaReaderInStoredOrder) {
    TestSupport::TemporaryDirectory folder;
    TIFF* tif = TIFFOpen((folder / "bilevel.tif").c_str(), "w");
    ASSERT_NE(tif, nullptr);
    for (auto [tag, value] :
         {std::pair(TIFFTAG_IMAGEWIDTH, 8), std::pair(TIFFTAG_IMAGELENGTH, 2),
          std::pair(TIFFTAG_BITSPERSAMPLE, 1), std::pair(TIFFTAG_SAMPLESPERPIXEL, 1),
          std::pair(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK), std::pair(TIFFTAG_ORIENTATION, 2)}) {
        TIFFSetField(tif, tag, value);
    }
    std::uint8_t rows[2] = {0xAA, 0x55}; // black and white columns alternating
    TIFFWriteEncodedStrip(tif, 0, rows, 2);
    TIFFClose(tif);
    DecodedImage image = ImageDecoder::decode(folder / "bilevel.tif");
    EXPECT_EQ(std::tuple(image.model, image.orientation, image.width), std::tuple(ColorModel::rgb, 2, 8));
    // Not turned by libtiff: the first pixel of the first row is white.
    EXPECT_EQ(
        std::vector<double>({sampleOf(image, 0, 0, 0), sampleOf(image, 1, 0, 0), sampleOf(image, 0, 1, 1)}),
        std::vector<double>({255, 0, 0}));
}

TEST(ImageDecoderTest, HeifDepthsAlphaAndNclxColour) {
    for (int bits : {10, 12}) {
        const std::uint16_t top = static_cast<std::uint16_t>((1 << bits) - 1);
        DecodedImage white =
            fromBytes(TestImages::heif(TestImages::solid(16, 16, {top, top, top}, bits), {.bits = bits}));
        EXPECT_EQ(white.sample, SampleType::uint16);
        EXPECT_NEAR(sampleOf(white, 7, 7, 0), 65535, 65535.0 / top * 2) << bits;
    }
    DecodedImage withAlpha = fromBytes(TestImages::heif(TestImages::solid(16, 16, {20, 200, 20, 128})));
    ASSERT_EQ(withAlpha.channels, 4);
    EXPECT_NE(withAlpha.alpha, AlphaMode::none);
    EXPECT_NEAR(sampleOf(withAlpha, 2, 2, 3), 128, 2);
    // Without an embedded profile the nclx box describes the colour: the test writer declares BT.709
    // primaries and the sRGB curve. A transfer the engine does not know leaves the photo untagged.
    std::string heif = TestImages::heif(TestImages::solid(16, 16, {40, 80, 120}));
    EXPECT_EQ(fromBytes(heif).icc, ColorSpace::sRGB().icc);
    const std::size_t transfer = heif.find("nclx") + 6; // after the colour primaries
    heif[transfer] = 0;
    heif[transfer + 1] = static_cast<char>(128);
    EXPECT_EQ(fromBytes(heif).icc, "");
    // Wide primaries (BT.2020, Display P3) with the sRGB curve get a profile of their own, whose curve keeps
    // sRGB's straight segment below 0.04045: the shadows of such photos print as dark as they are.
    heif[transfer + 1] = 13;
    for (char primaries : {char(9), char(12)}) {
        heif[transfer - 1] = primaries;
        const std::string icc = fromBytes(heif).icc;
        cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
        ASSERT_NE(profile, nullptr) << int(primaries);
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGreenTRCTag));
        ASSERT_NE(curve, nullptr);
        for (float code : {0.005f, 0.01f, 0.03f, 0.2f, 0.8f})
            EXPECT_NEAR(cmsEvalToneCurveFloat(curve, code), TestProfiles::srgbToLinear(code), 2e-5)
                << int(primaries) << " at " << code;
        cmsCloseProfile(profile);
    }
}

TEST(ImageDecoderTest, LimitsRefuseLargeImagesBeforeDecoding) {
    const auto pixels = TestImages::distinct(64, 64, 3, 8);
    for (const std::string& bytes : {TestImages::png(pixels), TestImages::jpeg(pixels),
                                     TestImages::tiff(pixels), TestImages::heif(pixels)}) {
        EXPECT_NO_THROW(ImageDecoder::decode(TestImages::memory(bytes), {.maxPixels = 64 * 64}));
        EXPECT_THROW(ImageDecoder::decode(TestImages::memory(bytes), {.maxPixels = 64 * 64 - 1}),
                     SheetRenderError);
        EXPECT_THROW(ImageDecoder::probe(TestImages::memory(bytes), {.maxDimension = 63}), SheetRenderError);
        EXPECT_THROW(ImageDecoder::decode(TestImages::memory(bytes), {.maxAllocation = 64 * 64 * 3 - 1}),
                     SheetRenderError);
    }
    // A progressive JPEG carries about ten scans.
    const std::string scans = TestImages::jpeg(pixels, {.progressive = true});
    EXPECT_NO_THROW(ImageDecoder::decode(TestImages::memory(scans)));
    EXPECT_THROW(ImageDecoder::decode(TestImages::memory(scans), {.maxJpegScans = 3}), SheetRenderError);
}
