#include "PrintKit/render/ImageDecoder.h"
#include "PrintKit/render/ImageReducer.h"
#include "TestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using TestImages::sampleOf;

namespace {

std::pair<int, int> storedOf(int orientation, int x, int y, int w, int h) {
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

// The upright image shows at (x, y) the stored pixel the orientation table names.
void expectUpright(const DecodedImage& upright, const DecodedImage& stored, int orientation) {
    const bool swap = orientation >= 5;
    ASSERT_EQ(upright.orientation, 1);
    ASSERT_EQ(upright.width, swap ? stored.height : stored.width);
    ASSERT_EQ(upright.height, swap ? stored.width : stored.height);
    for (int y = 0; y < upright.height; ++y) {
        for (int x = 0; x < upright.width; ++x) {
            auto [u, v] = storedOf(orientation, x, y, stored.width, stored.height);
            for (int c = 0; c < stored.channels; ++c) {
                ASSERT_EQ(sampleOf(upright, x, y, c), sampleOf(stored, u, v, c))
                    << "orientation " << orientation << " at " << x << "," << y;
            }
        }
    }
}

} // namespace

TEST(ReducedReadTest, AllEightOrientationsOfEveryTaggedFormatComeUpright) {
    TestSupport::TemporaryDirectory folder;
    const auto pixels = TestImages::distinct(7, 5, 3, 16);
    const auto pixels8 = TestImages::distinct(7, 5, 3, 8);
    // JPEG is lossy: the untagged decode of the same picture, turned by hand, is the reference.
    const auto jpegPixels = TestImages::distinct(24, 16, 3, 8);
    TestImages::write(folder / "plain.jpg", TestImages::jpeg(jpegPixels));
    DecodedImage plainJpeg = ImageDecoder::decode(folder / "plain.jpg");
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        TestImages::write(folder / "a.tif", TestImages::tiff(pixels, {.orientation = orientation}));
        TestImages::write(folder / "a.png", TestImages::png(pixels8, {.orientation = orientation}));
        TestImages::write(folder / "a.jpg", TestImages::jpeg(jpegPixels, {.orientation = orientation}));
        for (const char* name : {"a.tif", "a.png", "a.jpg"}) {
            DecodedImage stored = ImageDecoder::decode(folder / name);
            EXPECT_EQ(stored.orientation, orientation) << name;
            expectUpright(ImageReducer::upright(stored), stored, orientation);
            // A reduced read at full size is the upright image itself.
            EXPECT_EQ(ImageDecoder::decodeReduced(folder / name, 1000), ImageReducer::upright(stored))
                << name;
        }
        expectUpright(ImageDecoder::decodeReduced(folder / "a.jpg", 1000), plainJpeg, orientation);
    }
}

TEST(ReducedReadTest, HeifRotationIsAppliedOnceByItsDecoder) {
    TestSupport::TemporaryDirectory folder;
    // Four quadrants of clearly different colours survive the lossy coding.
    TestImages::Pixels quadrants{32, 16, 3, 8, {}};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            int q = (x >= 16 ? 1 : 0) + (y >= 8 ? 2 : 0);
            static const std::uint16_t colours[4][3] = {
                {250, 10, 10}, {10, 250, 10}, {10, 10, 250}, {250, 250, 10}};
            quadrants.samples.insert(quadrants.samples.end(), colours[q], colours[q] + 3);
        }
    }
    TestImages::write(folder / "plain.heic", TestImages::heif(quadrants));
    DecodedImage plain = ImageDecoder::decode(folder / "plain.heic");
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        TestImages::write(folder / "turned.heic", TestImages::heif(quadrants, {.orientation = orientation}));
        DecodedImage turned = ImageDecoder::decode(folder / "turned.heic");
        // libheif has turned it; the file's orientation must not be applied a second time.
        EXPECT_EQ(turned.orientation, 1);
        DecodedImage byHand = ImageReducer::upright([&] {
            DecodedImage copy = ImageReducer::reduced(plain, 1000);
            copy.orientation = orientation;
            return copy;
        }());
        ASSERT_EQ(turned.width, byHand.width);
        ASSERT_EQ(turned.height, byHand.height);
        for (int y = 1; y < turned.height; y += 4) {
            for (int x = 1; x < turned.width; x += 4) {
                for (int c = 0; c < 3; ++c) {
                    ASSERT_NEAR(sampleOf(turned, x, y, c), sampleOf(byHand, x, y, c), 12) << x << "," << y;
                }
            }
        }
        EXPECT_EQ(ImageDecoder::decodeReduced(folder / "turned.heic", 8).width,
                  turned.width > turned.height ? 8 : 4);
    }
}

TEST(ReducedReadTest, TheLongerSideStaysWithinTheBound) {
    TestSupport::TemporaryDirectory folder;
    TestImages::write(folder / "wide.jpg",
                      TestImages::jpeg(TestImages::solid(600, 400, {30, 90, 200}), {.quality = 90}));
    TestImages::write(folder / "tall.png", TestImages::png(TestImages::solid(90, 301, {30, 90, 200}, 16)));
    TestImages::write(folder / "turned.jpg", TestImages::jpeg(TestImages::solid(600, 400, {30, 90, 200}),
                                                              {.quality = 90, .orientation = 6}));
    struct Case {
        const char* name;
        int maxPixel, width, height;
    };
    for (Case c :
         {Case{"wide.jpg", 120, 120, 80}, Case{"wide.jpg", 599, 599, 399}, Case{"wide.jpg", 600, 600, 400},
          Case{"wide.jpg", 5000, 600, 400}, Case{"wide.jpg", 1, 1, 1}, Case{"wide.jpg", 0, 1, 1},
          Case{"tall.png", 100, 30, 100}, Case{"tall.png", 3, 1, 3}, Case{"turned.jpg", 120, 80, 120}}) {
        DecodedImage image = ImageDecoder::decodeReduced(folder / c.name, c.maxPixel);
        EXPECT_EQ(image.width, c.width) << c.name << " " << c.maxPixel;
        EXPECT_EQ(image.height, c.height) << c.name << " " << c.maxPixel;
        EXPECT_EQ(image.orientation, 1);
    }
    // A flat colour stays that colour, at the file's own depth.
    DecodedImage tall = ImageDecoder::decodeReduced(folder / "tall.png", 100);
    EXPECT_EQ(tall.sample, SampleType::uint16);
    EXPECT_EQ(sampleOf(tall, 10, 50, 0), 30);
    EXPECT_EQ(sampleOf(tall, 29, 99, 2), 200);
    DecodedImage wide = ImageDecoder::decodeReduced(folder / "wide.jpg", 120);
    EXPECT_NEAR(sampleOf(wide, 60, 40, 2), 200, 2);
}

TEST(ReducedReadTest, AreasAreAveragedWithAlphaWeighting) {
    // 4 × 2 to 2 × 1: each output pixel is the mean of a 2 × 2 block.
    TestImages::Pixels grey{4, 2, 1, 8, {0, 100, 10, 20, 50, 50, 30, 41}};
    DecodedImage half = ImageReducer::reduced(TestImages::decoded(grey, ColorModel::gray), 2);
    ASSERT_EQ(half.width, 2);
    ASSERT_EQ(half.height, 1);
    EXPECT_EQ(sampleOf(half, 0, 0, 0), 50); // (0 + 100 + 50 + 50) / 4
    EXPECT_EQ(sampleOf(half, 1, 0, 0), 25); // (10 + 20 + 30 + 41) / 4 = 25.25
    // Three source pixels onto two: the middle one is shared half and half.
    TestImages::Pixels row{3, 1, 1, 16, {0, 3000, 6000}};
    DecodedImage two =
        ImageReducer::reduced(TestImages::decoded(row, ColorModel::gray, AlphaMode::none, false), 2);
    EXPECT_FALSE(two.littleEndian);
    EXPECT_EQ(sampleOf(two, 0, 0, 0), 1000); // (0 × 1 + 3000 × 0.5) / 1.5
    EXPECT_EQ(sampleOf(two, 1, 0, 0), 5000);
    // A transparent pixel lends the mean its opacity but not its colour.
    TestImages::Pixels alpha{2, 1, 4, 8, {255, 0, 0, 255, 0, 255, 0, 0}};
    DecodedImage straight =
        ImageReducer::reduced(TestImages::decoded(alpha, ColorModel::rgb, AlphaMode::straight), 1);
    EXPECT_EQ(sampleOf(straight, 0, 0, 0), 255);
    EXPECT_EQ(sampleOf(straight, 0, 0, 1), 0);
    EXPECT_EQ(sampleOf(straight, 0, 0, 3), 128); // 127.5, ties to even
    // Small enough already: an equal copy.
    DecodedImage same = TestImages::decoded(grey, ColorModel::gray);
    EXPECT_EQ(ImageReducer::reduced(same, 4), same);
}

TEST(ReducedReadTest, EmbeddedThumbnailsAreNeverUsed) {
    TestSupport::TemporaryDirectory folder;
    const auto blue = TestImages::solid(64, 48, {20, 30, 230});
    const auto red = TestImages::solid(16, 12, {230, 20, 20});
    TestImages::write(folder / "exif.jpg", TestImages::jpeg(blue, {.thumbnail = TestImages::jpeg(red)}));
    TestImages::write(folder / "pages.tif", TestImages::tiff(blue, {.morePages = {red}}));
    TestImages::write(folder / "thumb.heic", TestImages::heif(blue, {.thumbnail = red}));
    for (const char* name : {"exif.jpg", "pages.tif", "thumb.heic"}) {
        for (int maxPixel : {16, 8, 64}) {
            DecodedImage image = ImageDecoder::decodeReduced(folder / name, maxPixel);
            EXPECT_EQ(image.width, maxPixel) << name;
            EXPECT_NEAR(sampleOf(image, image.width / 2, image.height / 2, 0), 20, 10) << name;
            EXPECT_NEAR(sampleOf(image, image.width / 2, image.height / 2, 2), 230, 10) << name;
        }
    }
}
