#include "PrintKit/render/decode/ImageDecoder.h"
#include "PrintKit/render/decode/ImageReducer.h"
#include "TestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using TestImages::sampleOf;

TEST(ReducedReadTest, HeifRotationIsAppliedOnceByItsDecoder) {
    TestSupport::TemporaryDirectory folder;
    // Four quadrants of clearly different colours survive the lossy coding.
    const auto quadrants = TestImages::quadrants(32, 16, TestImages::red, TestImages::green, TestImages::blue,
                                                 TestImages::yellow);
    TestImages::write(folder / "plain.heic", TestImages::heif(quadrants));
    DecodedImage plain = ImageDecoder::decode(folder / "plain.heic");
    for (int orientation : {2, 6, 7}) { // a mirror, a turn, and both
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
        ASSERT_EQ(std::pair(turned.width, turned.height), std::pair(byHand.width, byHand.height));
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

TEST(ReducedReadTest, AreasAreAveragedWithAlphaWeighting) {
    // 4 × 2 to 2 × 1: each output pixel is the mean of a 2 × 2 block.
    TestImages::Pixels grey{4, 2, 1, 8, {0, 100, 10, 20, 50, 50, 30, 41}};
    DecodedImage half = ImageReducer::reduced(TestImages::decoded(grey, ColorModel::gray), 2);
    ASSERT_EQ(std::pair(half.width, half.height), std::pair(2, 1));
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
