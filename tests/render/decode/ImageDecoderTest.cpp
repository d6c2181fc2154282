#include "PrintKit/render/decode/ImageDecoder.h"

#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/decode/JpegDecoder.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "TestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <tiffio.h>

using namespace PrintKit;
using TestImages::sampleOf;

namespace {

ByteSource sourceOf(const std::string& bytes) {
    return ByteSource(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "memory");
}

DecodedImage fromBytes(const std::string& bytes) {
    return ImageDecoder::decode(sourceOf(bytes));
}

void expectUnreadable(const std::function<void()>& body, const std::filesystem::path& path) {
    try {
        body();
        ADD_FAILURE() << "no error for " << path;
    } catch (const SheetRenderError& error) {
        EXPECT_EQ(error.code(), SheetRenderErrorCode::unreadableImage);
        EXPECT_EQ(error.message(), "사진을 읽지 못했습니다: " + path.string());
    }
}

// Every sample of the decoded image equals the written one.
void expectSamples(const DecodedImage& image, const TestImages::Pixels& pixels) {
    ASSERT_EQ(image.width, pixels.width);
    ASSERT_EQ(image.height, pixels.height);
    ASSERT_EQ(image.channels, pixels.channels);
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            for (int c = 0; c < pixels.channels; ++c) {
                ASSERT_EQ(sampleOf(image, x, y, c), pixels.at(x, y, c)) << x << "," << y << " channel " << c;
            }
        }
    }
}

} // namespace

TEST(ImageDecoderTest, RecognisesTheFormatFromTheBytesNotTheName) {
    TestSupport::TemporaryDirectory folder;
    const auto pixels = TestImages::distinct(5, 4, 3, 8);
    TestImages::write(folder / "photo.jpg", TestImages::png(pixels));
    TestImages::write(folder / "photo.png", TestImages::tiff(pixels));
    TestImages::write(folder / "photo.tif", TestImages::jpeg(pixels));
    TestImages::write(folder / "photo.heic.jpg", TestImages::heif(pixels));
    EXPECT_EQ(ImageDecoder::decode(folder / "photo.jpg").format, ImageFormat::png);
    EXPECT_EQ(ImageDecoder::decode(folder / "photo.png").format, ImageFormat::tiff);
    EXPECT_EQ(ImageDecoder::decode(folder / "photo.tif").format, ImageFormat::jpeg);
    EXPECT_EQ(ImageDecoder::decode(folder / "photo.heic.jpg").format, ImageFormat::heif);

    const std::uint8_t bigTiff[] = {'M', 'M', 0, 43, 0, 8, 0, 0};
    EXPECT_EQ(ImageDecoder::recognize(bigTiff), ImageFormat::tiff);
    // An MP4 video is an ISO media file too, but names no HEIF brand.
    const std::uint8_t video[] = {0,   0,   0, 20, 'f', 't', 'y', 'p', 'i', 's',
                                  'o', 'm', 0, 0,  2,   0,   'm', 'p', '4', '1'};
    EXPECT_EQ(ImageDecoder::recognize(video), std::nullopt);
}

TEST(ImageDecoderTest, FilesThatAreNoPhotosFailWithTheirPath) {
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder / "notes.jpg", "hello, this is text");
    TestSupport::writeFile(folder / "empty.png", "");
    std::filesystem::create_directory(folder / "folder.tif");
    for (const char* name : {"notes.jpg", "empty.png", "folder.tif", "missing.heic"}) {
        const auto path = folder / name;
        expectUnreadable([&] { ImageDecoder::decode(path); }, path);
        expectUnreadable([&] { ImageDecoder::probe(path); }, path);
        expectUnreadable([&] { ImageDecoder::decodeReduced(path, 10); }, path);
    }
}

TEST(ImageDecoderTest, ProbeReadsTheHeadersOnly) {
    TestSupport::TemporaryDirectory folder;
    const auto pixels = TestImages::distinct(40, 30, 3, 8);
    // Cut just past the headers: the probe still answers, the decode cannot.
    const std::string jpeg = TestImages::jpeg(pixels, {.orientation = 6});
    const std::string png = TestImages::png(pixels, {.orientation = 8});
    TestImages::write(folder / "a.jpg", jpeg.substr(0, jpeg.size() / 2));
    TestImages::write(folder / "a.png", png.substr(0, png.find("IDAT") + 8));
    EXPECT_EQ(ImageDecoder::probe(folder / "a.jpg"), (ImageInfo{ImageFormat::jpeg, 40, 30, 6}));
    EXPECT_EQ(ImageDecoder::probe(folder / "a.png"), (ImageInfo{ImageFormat::png, 40, 30, 8}));
    expectUnreadable([&] { ImageDecoder::decode(folder / "a.jpg"); }, folder / "a.jpg");
    expectUnreadable([&] { ImageDecoder::decode(folder / "a.png"); }, folder / "a.png");
    EXPECT_EQ(ImageDecoder::probe(sourceOf(TestImages::tiff(pixels, {.orientation = 3}))),
              (ImageInfo{ImageFormat::tiff, 40, 30, 3}));
    // HEIF sizes come upright, with the rotation already counted in.
    EXPECT_EQ(ImageDecoder::probe(sourceOf(TestImages::heif(pixels, {.orientation = 6}))),
              (ImageInfo{ImageFormat::heif, 30, 40, 1}));
}

TEST(ImageDecoderTest, PngKeepsSixteenBitSamplesInTheFileOrderAndEveryLayout) {
    const auto pixels = TestImages::distinct(6, 5, 3, 16);
    DecodedImage image = fromBytes(TestImages::png(pixels));
    EXPECT_EQ(image.sample, SampleType::uint16);
    EXPECT_FALSE(image.littleEndian);
    EXPECT_EQ(image.bytesPerRow, 6u * 6);
    expectSamples(image, pixels);
    EXPECT_EQ(image.row(0)[0], pixels.at(0, 0, 0) >> 8);

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
    const std::string profile = TestImages::adobeRGBLikeProfile();
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
    const struct {
        std::vector<std::uint16_t> written, read;
        ColorModel model;
    } cases[] = {
        {{77}, {77}, ColorModel::gray},
        {{200, 40, 90}, {200, 40, 90}, ColorModel::rgb},
        {{255 - 10, 255 - 120, 255 - 200, 255 - 30}, {10, 120, 200, 30}, ColorModel::cmyk},
    };
    for (const auto& c : cases) {
        DecodedImage image = fromBytes(TestImages::jpeg(TestImages::solid(16, 16, c.written)));
        EXPECT_EQ(image.model, c.model);
        ASSERT_EQ(image.channels, static_cast<int>(c.read.size()));
        for (std::size_t k = 0; k < c.read.size(); ++k) {
            EXPECT_NEAR(sampleOf(image, 5, 5, static_cast<int>(k)), c.read[k], 2) << k;
        }
    }

    // Scaled by libjpeg itself, in eighths, to the smallest size that keeps the asked long side.
    const std::string large = TestImages::jpeg(TestImages::solid(800, 600, {10, 20, 30}), {.quality = 80});
    const ByteSource source = sourceOf(large);
    for (auto [asked, width] :
         {std::pair(0, 800), std::pair(100, 100), std::pair(201, 300), std::pair(799, 800)}) {
        EXPECT_EQ(JpegDecoder::decode(source, {}, asked).width, width) << asked;
    }
}

TEST(ImageDecoderTest, TiffLayoutsByteOrdersAndDepthsDecodeAlike) {
    for (int bits : {8, 16}) {
        const auto pixels = TestImages::distinct(37, 21, 3, bits);
        const std::vector<TestImages::TiffOptions> variants = {
            {},
            {.bigEndian = true, .rowsPerStrip = 5, .compression = COMPRESSION_ADOBE_DEFLATE},
            {.bigEndian = true, .tiled = true},
            {.planar = true},
            {.tiled = true, .planar = true},
            {.bigEndian = true, .planar = true, .rowsPerStrip = 2, .compression = COMPRESSION_LZW},
        };
        for (std::size_t i = 0; i < variants.size(); ++i) {
            SCOPED_TRACE("bits " + std::to_string(bits) + " variant " + std::to_string(i));
            DecodedImage image = fromBytes(TestImages::tiff(pixels, variants[i]));
            EXPECT_EQ(image.sample, bits == 8 ? SampleType::uint8 : SampleType::uint16);
            expectSamples(image, pixels);
        }
    }
    std::vector<float> samples;
    for (int i = 0; i < 6 * 4 * 3; ++i) {
        samples.push_back(static_cast<float>(i) / 71.0f);
    }
    for (bool bigEndian : {false, true}) {
        DecodedImage image =
            fromBytes(TestImages::tiffFloat(6, 4, 3, samples, {.bigEndian = bigEndian, .rowsPerStrip = 3}));
        EXPECT_EQ(image.sample, SampleType::float32);
        for (int i = 0; i < 6 * 4 * 3; ++i) {
            ASSERT_EQ(sampleOf(image, i / 3 % 6, i / 18, i % 3), samples[static_cast<std::size_t>(i)]) << i;
        }
    }
}

TEST(ImageDecoderTest, TiffAlphaExtraSamplesAndOtherModels) {
    const auto rgba = TestImages::distinct(5, 3, 4, 16);
    DecodedImage straight = fromBytes(TestImages::tiff(rgba, {.extraSample = EXTRASAMPLE_UNASSALPHA}));
    EXPECT_EQ(straight.alpha, AlphaMode::straight);
    expectSamples(straight, rgba);
    EXPECT_EQ(fromBytes(TestImages::tiff(rgba, {.extraSample = EXTRASAMPLE_ASSOCALPHA})).alpha,
              AlphaMode::premultiplied);
    // An extra sample of no stated meaning is not alpha: it is left out.
    DecodedImage dropped = fromBytes(TestImages::tiff(rgba, {.extraSample = EXTRASAMPLE_UNSPECIFIED}));
    EXPECT_EQ(dropped.alpha, AlphaMode::none);
    EXPECT_EQ(dropped.channels, 3);
    EXPECT_EQ(sampleOf(dropped, 4, 2, 2), rgba.at(4, 2, 2));

    const auto cmyk = TestImages::distinct(4, 4, 4, 8);
    DecodedImage k = fromBytes(TestImages::tiff(cmyk, {.photometric = PHOTOMETRIC_SEPARATED}));
    EXPECT_EQ(k.model, ColorModel::cmyk);
    expectSamples(k, cmyk);

    const auto grey = TestImages::distinct(4, 4, 1, 16);
    DecodedImage whiteIsZero = fromBytes(TestImages::tiff(grey, {.photometric = PHOTOMETRIC_MINISWHITE}));
    EXPECT_EQ(whiteIsZero.model, ColorModel::gray);
    EXPECT_EQ(sampleOf(whiteIsZero, 2, 1, 0), 65535 - grey.at(2, 1, 0));

    // CIELAB: L* 0…255 for 0…100, a* and b* signed bytes.
    TestImages::Pixels lab{1, 1, 3, 8, {255, static_cast<std::uint16_t>(256 - 20), 35}};
    DecodedImage l = fromBytes(TestImages::tiff(lab, {.photometric = PHOTOMETRIC_CIELAB}));
    EXPECT_EQ(l.model, ColorModel::lab);
    EXPECT_EQ(l.sample, SampleType::float32);
    EXPECT_FLOAT_EQ(sampleOf(l, 0, 0, 0), 100.0f);
    EXPECT_FLOAT_EQ(sampleOf(l, 0, 0, 1), -20.0f);
    EXPECT_FLOAT_EQ(sampleOf(l, 0, 0, 2), 35.0f);
}

TEST(ImageDecoderTest, TiffBilevelGoesThroughTheRgbaReaderInStoredOrder) {
    // A 1-bit image, black and white columns alternating.
    TestSupport::TemporaryDirectory folder;
    const auto path = folder / "bilevel.tif";
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, 2);
    std::uint8_t rows[2] = {0xAA, 0x55};
    TIFFWriteEncodedStrip(tif, 0, rows, 2);
    TIFFClose(tif);
    DecodedImage image = ImageDecoder::decode(path);
    EXPECT_EQ(image.model, ColorModel::rgb);
    EXPECT_EQ(image.orientation, 2);
    ASSERT_EQ(image.width, 8);
    // Not turned by libtiff: the first pixel of the first row is white.
    EXPECT_EQ(sampleOf(image, 0, 0, 0), 255);
    EXPECT_EQ(sampleOf(image, 1, 0, 0), 0);
    EXPECT_EQ(sampleOf(image, 0, 1, 1), 0);
    EXPECT_EQ(sampleOf(image, 1, 1, 2), 255);
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
}

TEST(ImageDecoderTest, LimitsRefuseLargeImagesBeforeDecoding) {
    const auto pixels = TestImages::distinct(64, 64, 3, 8);
    for (const std::string& bytes : {TestImages::png(pixels), TestImages::jpeg(pixels),
                                     TestImages::tiff(pixels), TestImages::heif(pixels)}) {
        const ByteSource source = sourceOf(bytes);
        EXPECT_NO_THROW(ImageDecoder::decode(source, {.maxPixels = 64 * 64}));
        EXPECT_THROW(ImageDecoder::decode(source, {.maxPixels = 64 * 64 - 1}), SheetRenderError);
        EXPECT_THROW(ImageDecoder::probe(source, {.maxDimension = 63}), SheetRenderError);
        EXPECT_THROW(ImageDecoder::decode(source, {.maxAllocation = 64 * 64 * 3 - 1}), SheetRenderError);
    }
    // A progressive JPEG carries about ten scans.
    const std::string scans = TestImages::jpeg(pixels, {.progressive = true});
    const ByteSource progressive = sourceOf(scans);
    EXPECT_NO_THROW(ImageDecoder::decode(progressive));
    EXPECT_THROW(ImageDecoder::decode(progressive, {.maxJpegScans = 3}), SheetRenderError);
}
