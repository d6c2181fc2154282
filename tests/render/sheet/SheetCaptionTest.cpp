// Caption strips drawn by the text engine: size, colours, placement of the line, the width limit and
// truncation in the middle.
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/sheet/SheetRenderer.h"

#include <gtest/gtest.h>

using namespace PrintKit;

namespace {

// The box of every pixel darker than 200 in the columns [from, to), its darkest value, and those columns'
// bytes.
struct Ink {
    int left = INT32_MAX, right = -1, top = INT32_MAX, bottom = -1, darkest = 255;
    std::string bytes;
};

Ink inkOf(const DecodedImage& image, int from = 0, int to = -1) {
    Ink ink;
    to = to < 0 ? image.width : to;
    for (int y = 0; y < image.height; ++y) {
        ink.bytes.append(reinterpret_cast<const char*>(image.row(y) + 3 * from),
                         static_cast<std::size_t>(3 * (to - from)));
        for (int x = from; x < to; ++x) {
            const int v = std::min({image.row(y)[3 * x], image.row(y)[3 * x + 1], image.row(y)[3 * x + 2]});
            if (v < 200) {
                ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
            }
            ink.darkest = std::min(ink.darkest, v);
        }
    }
    return ink;
}

} // namespace

TEST(SheetCaptionTest, DrawsOneCentredGreyLineOnWhiteWithItsBaselineAt28PercentInAnyScript) {
    const auto image = SheetRenderer::captionImage("HHHH", 400, 100);
    ASSERT_EQ(std::tuple(image->width, image->height, image->channels), std::tuple(400, 100, 3));
    EXPECT_EQ(image->icc, ColorSpace::sRGB().icc);
    const Ink ink = inkOf(*image);
    // The letters sit on the baseline, 28 px above the bottom; capitals reach up about 0.45 of the strip.
    EXPECT_NEAR(ink.bottom, 71, 1);
    EXPECT_NEAR(ink.bottom - ink.top, 45, 6);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 200, 3);
    EXPECT_NEAR(ink.darkest, 77, 2); // grey 0.3 in the strokes' cores, white elsewhere
    EXPECT_EQ(image->row(5)[0], 255);
    const Ink hangul = inkOf(*SheetRenderer::captionImage("제주도의 봄", 300, 40));
    EXPECT_LT(hangul.darkest, 120);
    EXPECT_GT(hangul.right - hangul.left, 60);
    for (auto [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{100000, 10}}) {
        EXPECT_THROW(SheetRenderer::captionImage("x", w, h), SheetRenderError) << w << "×" << h;
    }
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
    EXPECT_EQ(inkOf(*base, 0, 100).bytes, inkOf(*otherEnd, 0, 100).bytes);
    EXPECT_NE(inkOf(*base, 200, 300).bytes, inkOf(*otherEnd, 200, 300).bytes);
    EXPECT_NE(inkOf(*base, 0, 100).bytes, inkOf(*otherStart, 0, 100).bytes);
    EXPECT_EQ(inkOf(*base, 200, 300).bytes, inkOf(*otherStart, 200, 300).bytes);
    const Ink whole = inkOf(*SheetRenderer::captionImage("12345" + zeros + "67890", 30000, 30));
    EXPECT_GT(whole.right - whole.left, 2000); // untruncated when there is room
}
