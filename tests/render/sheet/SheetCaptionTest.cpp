// Caption strips drawn by the text engine: size, colours, placement of the line, the width limit and
// truncation in the middle.
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/sheet/SheetRenderer.h"

#include <gtest/gtest.h>

using namespace PrintKit;

namespace {

struct Ink {
    int left = INT32_MAX, right = -1, top = INT32_MAX, bottom = -1, darkest = 255;
};

Ink inkOf(const DecodedImage& image) {
    Ink ink;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.row(y) + 3 * x;
            const int v = std::min({p[0], p[1], p[2]});
            if (v < 200) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
            ink.darkest = std::min(ink.darkest, v);
        }
    }
    return ink;
}

// The columns [from, to) of an image, as bytes.
std::string columns(const DecodedImage& image, int from, int to) {
    std::string bytes;
    for (int y = 0; y < image.height; ++y) {
        bytes.append(reinterpret_cast<const char*>(image.row(y) + 3 * from),
                     static_cast<std::size_t>(3 * (to - from)));
    }
    return bytes;
}

} // namespace

TEST(SheetCaptionTest, DrawsOneCentredGreyLineOnWhiteWithItsBaselineAt28Percent) {
    const auto image = SheetRenderer::captionImage("HHHH", 400, 100);
    ASSERT_EQ(image->width, 400);
    ASSERT_EQ(image->height, 100);
    EXPECT_EQ(image->channels, 3);
    EXPECT_EQ(image->icc, ColorSpace::sRGB().icc);
    const Ink ink = inkOf(*image);
    ASSERT_GE(ink.right, 0) << "nothing drawn";
    // The letters sit on the baseline, 28 px above the bottom; capitals reach up about 0.45 of the strip.
    EXPECT_NEAR(ink.bottom, 71, 1);
    EXPECT_NEAR(ink.bottom - ink.top, 45, 6);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 200, 3);
    // Grey 0.3 in the strokes' cores, white elsewhere.
    EXPECT_NEAR(ink.darkest, 77, 2);
    EXPECT_EQ(image->row(5)[0], 255);
    EXPECT_EQ(image->row(95)[3 * 399 + 2], 255);
}

TEST(SheetCaptionTest, HangulCaptionsAreDrawn) {
    const auto image = SheetRenderer::captionImage("제주도의 봄", 300, 40);
    const Ink ink = inkOf(*image);
    ASSERT_GE(ink.right, 0);
    EXPECT_LT(ink.darkest, 120);
    EXPECT_GT(ink.right - ink.left, 60);
}

TEST(SheetCaptionTest, LongCaptionsKeepTheirBeginningAndEndWithinTheWidthLimit) {
    // Digits share one advance width in the sans faces, so these lines truncate at the same places.
    const std::string zeros(300, '0');
    const auto base = SheetRenderer::captionImage("12345" + zeros + "67890", 300, 30);
    const auto otherEnd = SheetRenderer::captionImage("12345" + zeros + "98765", 300, 30);
    const auto otherStart = SheetRenderer::captionImage("54321" + zeros + "67890", 300, 30);
    const Ink ink = inkOf(*base);
    EXPECT_GE(ink.left, static_cast<int>(300 * (1 - 0.965) / 2) - 1);
    EXPECT_LE(ink.right, 300 - static_cast<int>(300 * (1 - 0.965) / 2));
    EXPECT_GT(ink.right - ink.left, 250) << "a long line uses the width it has";
    // Both ends are shown: changing the first digits changes the left end only, the last ones the right.
    const int third = 100;
    EXPECT_EQ(columns(*base, 0, third), columns(*otherEnd, 0, third));
    EXPECT_NE(columns(*base, 300 - third, 300), columns(*otherEnd, 300 - third, 300));
    EXPECT_NE(columns(*base, 0, third), columns(*otherStart, 0, third));
    EXPECT_EQ(columns(*base, 300 - third, 300), columns(*otherStart, 300 - third, 300));
    // Something in the middle was left out: the middle of a short line differs.
    const auto whole = SheetRenderer::captionImage("12345" + zeros + "67890", 30000, 30);
    EXPECT_GT(inkOf(*whole).right - inkOf(*whole).left, 2000);
}

TEST(SheetCaptionTest, ImpossibleStripCannotBeMade) {
    for (auto [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{100000, 10}}) {
        try {
            SheetRenderer::captionImage("x", w, h);
            FAIL() << w << "×" << h;
        } catch (const SheetRenderError& error) {
            EXPECT_EQ(error.code(), SheetRenderErrorCode::cannotCreateImage);
        }
    }
}
