#include "PrintKit/render/ImageDecoder.h"

#include "PrintKit/render/ColorProfiles.h"
#include "PrintKit/render/ColorSpace.h"
#include "PrintKit/render/JpegDecoder.h"
#include "PrintKit/render/SheetRenderError.h"
#include "TestImages.h"
#include "TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <tiffio.h>

using namespace PrintKit;
using TestImages::sampleOf;

namespace {

void expectUnreadable(const std::function<void()>& body, const std::filesystem::path& path) {
    try {
        body();
        ADD_FAILURE() << "no error for " << path;
    } catch (const SheetRenderError& error) {
        EXPECT_EQ(error.code(), SheetRenderErrorCode::unreadableImage);
        EXPECT_EQ(error.detail(), path.string());
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
    auto pixels = TestImages::distinct(5, 4, 3, 8);
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
    const std::uint8_t text[] = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(ImageDecoder::recognize(text), std::nullopt);
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
        auto path = folder / name;
        expectUnreadable([&] { ImageDecoder::decode(path); }, path);
        expectUnreadable([&] { ImageDecoder::probe(path); }, path);
        expectUnreadable([&] { ImageDecoder::decodeReduced(path, 10); }, path);
    }
}

TEST(ImageDecoderTest, ProbeReadsTheHeadersOnly) {
    TestSupport::TemporaryDirectory folder;
    auto pixels = TestImages::distinct(40, 30, 3, 8);
    // Cut just past the headers: the probe still answers, the decode cannot.
    std::string jpeg = TestImages::jpeg(pixels, {.orientation = 6});
    std::string png = TestImages::png(pixels, {.orientation = 8});
    TestImages::write(folder / "a.jpg", jpeg.substr(0, jpeg.size() / 2));
    TestImages::write(folder / "a.png", png.substr(0, png.find("IDAT") + 8));
    EXPECT_EQ(ImageDecoder::probe(folder / "a.jpg"), (ImageInfo{ImageFormat::jpeg, 40, 30, 6}));
    EXPECT_EQ(ImageDecoder::probe(folder / "a.png"), (ImageInfo{ImageFormat::png, 40, 30, 8}));
    expectUnreadable([&] { ImageDecoder::decode(folder / "a.jpg"); }, folder / "a.jpg");
    expectUnreadable([&] { ImageDecoder::decode(folder / "a.png"); }, folder / "a.png");

    TestImages::write(folder / "a.tif", TestImages::tiff(pixels, {.orientation = 3}));
    EXPECT_EQ(ImageDecoder::probe(folder / "a.tif"), (ImageInfo{ImageFormat::tiff, 40, 30, 3}));
    // HEIF sizes come upright, with the rotation already counted in.
    TestImages::write(folder / "a.heic", TestImages::heif(pixels, {.orientation = 6}));
    EXPECT_EQ(ImageDecoder::probe(folder / "a.heic"), (ImageInfo{ImageFormat::heif, 30, 40, 1}));
}

TEST(ImageDecoderTest, PngKeepsSixteenBitSamplesInTheFileOrder) {
    auto pixels = TestImages::distinct(6, 5, 3, 16);
    std::string bytes = TestImages::png(pixels);
    ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "p");
    DecodedImage image = ImageDecoder::decode(source);
    EXPECT_EQ(image.sample, SampleType::uint16);
    EXPECT_FALSE(image.littleEndian);
    EXPECT_EQ(image.model, ColorModel::rgb);
    EXPECT_EQ(image.alpha, AlphaMode::none);
    EXPECT_EQ(image.bytesPerRow, 6u * 6);
    expectSamples(image, pixels);
    EXPECT_EQ(image.row(0)[0], pixels.at(0, 0, 0) >> 8);

    for (bool interlaced : {false, true}) {
        for (int channels : {1, 2, 4}) {
            auto more = TestImages::distinct(9, 7, channels, 8);
            std::string file = TestImages::png(more, {.interlaced = interlaced});
            ByteSource other(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()), "q");
            DecodedImage decoded = ImageDecoder::decode(other);
            EXPECT_EQ(decoded.model, channels <= 2 ? ColorModel::gray : ColorModel::rgb);
            EXPECT_EQ(decoded.alpha, channels % 2 == 0 ? AlphaMode::straight : AlphaMode::none);
            expectSamples(decoded, more);
        }
    }
}

TEST(ImageDecoderTest, ProfilesTravelWithThePixels) {
    const std::string profile = TestImages::adobeRGBLikeProfile();
    auto pixels = TestImages::distinct(8, 8, 3, 8);
    auto decodeBytes = [](const std::string& bytes) {
        ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "m");
        return ImageDecoder::decode(source);
    };
    EXPECT_EQ(decodeBytes(TestImages::png(pixels, {.icc = profile})).icc, profile);
    EXPECT_EQ(decodeBytes(TestImages::png(pixels, {.srgb = true})).icc, ColorSpace::sRGB().icc);
    EXPECT_EQ(decodeBytes(TestImages::png(pixels)).icc, "");
    EXPECT_EQ(decodeBytes(TestImages::tiff(pixels, {.icc = profile})).icc, profile);
    EXPECT_EQ(decodeBytes(TestImages::jpeg(pixels, {.icc = profile})).icc, profile);
    EXPECT_EQ(decodeBytes(TestImages::heif(pixels, {.icc = profile})).icc, profile);
    // A profile larger than one JPEG marker is split over several APP2 segments and must come back whole.
    std::string large(150000, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 31 % 251);
    }
    EXPECT_EQ(decodeBytes(TestImages::jpeg(pixels, {.icc = large})).icc, large);
}

TEST(ImageDecoderTest, JpegDeliversGreyRgbAndAdobeCmyk) {
    auto decodeBytes = [](const std::string& bytes) {
        ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "m");
        return ImageDecoder::decode(source);
    };
    auto grey = TestImages::solid(16, 16, {77});
    DecodedImage g = decodeBytes(TestImages::jpeg(grey));
    EXPECT_EQ(g.model, ColorModel::gray);
    EXPECT_EQ(g.channels, 1);
    EXPECT_NEAR(sampleOf(g, 3, 3, 0), 77, 1);

    auto rgb = TestImages::solid(16, 16, {200, 40, 90});
    DecodedImage c = decodeBytes(TestImages::jpeg(rgb));
    EXPECT_EQ(c.model, ColorModel::rgb);
    EXPECT_NEAR(sampleOf(c, 5, 5, 0), 200, 2);
    EXPECT_NEAR(sampleOf(c, 5, 5, 1), 40, 2);
    EXPECT_NEAR(sampleOf(c, 5, 5, 2), 90, 2);

    // Adobe CMYK stores inverted ink: 255 − ink is written, ink is read.
    auto ink = TestImages::solid(16, 16, {255 - 10, 255 - 120, 255 - 200, 255 - 30});
    DecodedImage k = decodeBytes(TestImages::jpeg(ink));
    EXPECT_EQ(k.model, ColorModel::cmyk);
    EXPECT_EQ(k.channels, 4);
    EXPECT_NEAR(sampleOf(k, 1, 1, 0), 10, 1);
    EXPECT_NEAR(sampleOf(k, 1, 1, 1), 120, 1);
    EXPECT_NEAR(sampleOf(k, 1, 1, 2), 200, 1);
    EXPECT_NEAR(sampleOf(k, 1, 1, 3), 30, 1);
}

TEST(ImageDecoderTest, JpegScalesDownByItselfOnlyAsFarAsAsked) {
    auto pixels = TestImages::solid(800, 600, {10, 20, 30});
    std::string bytes = TestImages::jpeg(pixels, {.quality = 80});
    ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "m");
    auto sizeFor = [&](int minimumLongSide) {
        DecodedImage image = JpegDecoder::decode(source, {}, minimumLongSide);
        return std::pair(image.width, image.height);
    };
    EXPECT_EQ(sizeFor(0), std::pair(800, 600));
    EXPECT_EQ(sizeFor(100), std::pair(100, 75));
    EXPECT_EQ(sizeFor(200), std::pair(200, 150));
    EXPECT_EQ(sizeFor(201), std::pair(300, 225));
    EXPECT_EQ(sizeFor(799), std::pair(800, 600));
}

TEST(ImageDecoderTest, TiffLayoutsAndByteOrdersDecodeAlike) {
    for (int bits : {8, 16}) {
        auto pixels = TestImages::distinct(37, 21, 3, bits);
        std::vector<TestImages::TiffOptions> variants = {
            {},
            {.bigEndian = true},
            {.rowsPerStrip = 4},
            {.bigEndian = true, .rowsPerStrip = 5, .compression = COMPRESSION_ADOBE_DEFLATE},
            {.tiled = true},
            {.bigEndian = true, .tiled = true},
            {.planar = true},
            {.tiled = true, .planar = true},
            {.bigEndian = true, .planar = true, .rowsPerStrip = 2, .compression = COMPRESSION_LZW},
        };
        for (std::size_t i = 0; i < variants.size(); ++i) {
            SCOPED_TRACE("bits " + std::to_string(bits) + " variant " + std::to_string(i));
            std::string bytes = TestImages::tiff(pixels, variants[i]);
            ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                              "t");
            DecodedImage image = ImageDecoder::decode(source);
            EXPECT_EQ(image.sample, bits == 8 ? SampleType::uint8 : SampleType::uint16);
            expectSamples(image, pixels);
        }
    }
}

TEST(ImageDecoderTest, TiffAlphaExtraSamplesAndOtherModels) {
    auto decodeBytes = [](const std::string& bytes) {
        ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "m");
        return ImageDecoder::decode(source);
    };
    auto rgba = TestImages::distinct(5, 3, 4, 16);
    DecodedImage straight = decodeBytes(TestImages::tiff(rgba, {.extraSample = EXTRASAMPLE_UNASSALPHA}));
    EXPECT_EQ(straight.alpha, AlphaMode::straight);
    expectSamples(straight, rgba);
    DecodedImage premultiplied = decodeBytes(TestImages::tiff(rgba, {.extraSample = EXTRASAMPLE_ASSOCALPHA}));
    EXPECT_EQ(premultiplied.alpha, AlphaMode::premultiplied);
    // An extra sample of no stated meaning is not alpha: it is left out.
    DecodedImage dropped = decodeBytes(TestImages::tiff(rgba, {.extraSample = EXTRASAMPLE_UNSPECIFIED}));
    EXPECT_EQ(dropped.alpha, AlphaMode::none);
    EXPECT_EQ(dropped.channels, 3);
    EXPECT_EQ(sampleOf(dropped, 4, 2, 2), rgba.at(4, 2, 2));

    auto cmyk = TestImages::distinct(4, 4, 4, 8);
    DecodedImage k = decodeBytes(TestImages::tiff(cmyk, {.photometric = PHOTOMETRIC_SEPARATED}));
    EXPECT_EQ(k.model, ColorModel::cmyk);
    expectSamples(k, cmyk);

    auto grey = TestImages::distinct(4, 4, 1, 16);
    DecodedImage whiteIsZero = decodeBytes(TestImages::tiff(grey, {.photometric = PHOTOMETRIC_MINISWHITE}));
    EXPECT_EQ(whiteIsZero.model, ColorModel::gray);
    EXPECT_EQ(sampleOf(whiteIsZero, 2, 1, 0), 65535 - grey.at(2, 1, 0));

    // CIELAB: L* 0…255 for 0…100, a* and b* signed bytes.
    TestImages::Pixels lab{1, 1, 3, 8, {255, static_cast<std::uint16_t>(256 - 20), 35}};
    DecodedImage l = decodeBytes(TestImages::tiff(lab, {.photometric = PHOTOMETRIC_CIELAB}));
    EXPECT_EQ(l.model, ColorModel::lab);
    EXPECT_EQ(l.sample, SampleType::float32);
    EXPECT_FLOAT_EQ(sampleOf(l, 0, 0, 0), 100.0f);
    EXPECT_FLOAT_EQ(sampleOf(l, 0, 0, 1), -20.0f);
    EXPECT_FLOAT_EQ(sampleOf(l, 0, 0, 2), 35.0f);
}

TEST(ImageDecoderTest, TiffFloatSamplesArriveUnchanged) {
    std::vector<float> samples;
    for (int i = 0; i < 6 * 4 * 3; ++i) {
        samples.push_back(static_cast<float>(i) / 71.0f);
    }
    for (bool bigEndian : {false, true}) {
        std::string bytes =
            TestImages::tiffFloat(6, 4, 3, samples, {.bigEndian = bigEndian, .rowsPerStrip = 3});
        ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "f");
        DecodedImage image = ImageDecoder::decode(source);
        EXPECT_EQ(image.sample, SampleType::float32);
        for (int i = 0; i < 6 * 4; ++i) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(sampleOf(image, i % 6, i / 6, c), samples[static_cast<std::size_t>(i * 3 + c)]);
            }
        }
    }
}

TEST(ImageDecoderTest, TiffPaletteAndBilevelGoThroughTheRgbaReader) {
    // A 1-bit image, black and white columns alternating.
    TestSupport::TemporaryDirectory folder;
    auto path = folder / "bilevel.tif";
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
    // Stored order, not turned by libtiff: the first pixel of the first row is white.
    EXPECT_EQ(sampleOf(image, 0, 0, 0), 255);
    EXPECT_EQ(sampleOf(image, 1, 0, 0), 0);
    EXPECT_EQ(sampleOf(image, 0, 1, 1), 0);
    EXPECT_EQ(sampleOf(image, 1, 1, 2), 255);
}

TEST(ImageDecoderTest, HeifDepthsAreScaledToSixteenBits) {
    auto decodeBytes = [](const std::string& bytes) {
        ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "h");
        return ImageDecoder::decode(source);
    };
    DecodedImage eight = decodeBytes(TestImages::heif(TestImages::solid(16, 16, {250, 128, 5})));
    EXPECT_EQ(eight.sample, SampleType::uint8);
    EXPECT_NEAR(sampleOf(eight, 3, 3, 0), 250, 2);
    EXPECT_NEAR(sampleOf(eight, 3, 3, 1), 128, 2);

    for (int bits : {10, 12}) {
        const std::uint16_t top = static_cast<std::uint16_t>((1 << bits) - 1);
        DecodedImage deep =
            decodeBytes(TestImages::heif(TestImages::solid(16, 16, {top, top, top}, bits), {.bits = bits}));
        EXPECT_EQ(deep.sample, SampleType::uint16);
        EXPECT_TRUE(deep.littleEndian);
        EXPECT_NEAR(sampleOf(deep, 7, 7, 0), 65535, 65535.0 / top * 2) << bits;
        DecodedImage black =
            decodeBytes(TestImages::heif(TestImages::solid(16, 16, {0, 0, 0}, bits), {.bits = bits}));
        EXPECT_NEAR(sampleOf(black, 7, 7, 1), 0, 65535.0 / top * 2) << bits;
    }

    DecodedImage withAlpha = decodeBytes(TestImages::heif(TestImages::solid(16, 16, {20, 200, 20, 128})));
    EXPECT_EQ(withAlpha.channels, 4);
    EXPECT_NE(withAlpha.alpha, AlphaMode::none);
    EXPECT_NEAR(sampleOf(withAlpha, 2, 2, 3), 128, 2);
}

TEST(ImageDecoderTest, HeifWithoutEmbeddedProfileDescribesItsColourFromTheNclxBox) {
    std::string bytes = TestImages::heif(TestImages::solid(8, 8, {1, 2, 3}));
    ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "h");
    // The test writer declares BT.709 primaries and the sRGB curve (the defaults) in its nclx box.
    EXPECT_EQ(ImageDecoder::decode(source).icc, ColorSpace::sRGB().icc);
}

TEST(ImageDecoderTest, LimitsRefuseLargeImagesBeforeDecoding) {
    auto pixels = TestImages::distinct(64, 64, 3, 8);
    for (const std::string& bytes : {TestImages::png(pixels), TestImages::jpeg(pixels),
                                     TestImages::tiff(pixels), TestImages::heif(pixels)}) {
        ByteSource source(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                          "big");
        EXPECT_NO_THROW(ImageDecoder::decode(source, {.maxPixels = 64 * 64}));
        EXPECT_THROW(ImageDecoder::decode(source, {.maxPixels = 64 * 64 - 1}), SheetRenderError);
        EXPECT_THROW(ImageDecoder::probe(source, {.maxDimension = 63}), SheetRenderError);
        EXPECT_THROW(ImageDecoder::decode(source, {.maxAllocation = 64 * 64 * 3 - 1}), SheetRenderError);
    }
    // A progressive JPEG carries about ten scans.
    std::string progressive = TestImages::jpeg(pixels, {.progressive = true});
    ByteSource source(
        std::span(reinterpret_cast<const std::uint8_t*>(progressive.data()), progressive.size()), "p");
    EXPECT_NO_THROW(ImageDecoder::decode(source));
    EXPECT_THROW(ImageDecoder::decode(source, {.maxJpegScans = 3}), SheetRenderError);
}
