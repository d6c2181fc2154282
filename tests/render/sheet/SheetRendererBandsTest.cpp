#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <limits>
#include <mutex>
#include <random>
#include <set>
#include <thread>

using namespace PrintKit;

namespace {

// The float that, multiplied by 65535 in single precision, gives exactly `product`.
float factorFor(float product) {
    float x = product / 65535.0f;
    for (int i = 0; i < 1000 && x * 65535.0f != product; ++i) {
        x = x * 65535.0f < product ? std::nextafter(x, 1.0f) : std::nextafter(x, 0.0f);
    }
    EXPECT_EQ(x * 65535.0f, product);
    return x;
}

std::vector<std::uint16_t> roundedSamples(const std::vector<Pixel>& pixels, bool padded,
                                          const ToneCurves* curves = nullptr) {
    std::vector<std::uint16_t> out(pixels.size() * (padded ? 4 : 3), 0xEEEE);
    SheetRenderer::round(pixels.data(), pixels.size(), out.data(), padded, curves);
    return out;
}

std::uint16_t fromBigEndian(std::uint16_t stored) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&stored);
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

Colorizer::Transforms paperTransforms(int k, const std::string& paper) {
    Colorizer::Transforms list;
    for (int i = 0; i < k; ++i) {
        list.push_back(std::make_shared<const ColorTransform>(ColorSpace::sRGB().icc, paper,
                                                              RenderingIntent::perceptual, true));
    }
    return list;
}

} // namespace

TEST(SheetRendererRoundTest, RoundsHalvesToEvenClampsAndWritesBigEndianTriplesOrNativeQuads) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Pixel> pixels = {
        {1.0f, 0.0f, 0.5f, 7.0f},                               // 65535, 0, 32767.5 → 32768
        {factorFor(2.5f), factorFor(3.5f), -0.25f, 0.0f},       // 2, 4, clamped to 0
        {2.0f, nan, std::numeric_limits<float>::infinity(), 0}, // clamped to 65535, NaN as 0
        {-0.0f, 0.99999f, factorFor(32766.5f), 0},
        {factorFor(258.5f), factorFor(1.0f), 0.25f, 1}}; // the last pixel takes the scalar path
    EXPECT_EQ(roundedSamples(pixels, true),
              (std::vector<std::uint16_t>{65535, 0, 32768, 0,     2,     4, 0,   0, 65535, 0,
                                          65535, 0, 0,     65534, 32766, 0, 258, 1, 16384, 0}));
    // Packed: no padding between pixels, most significant byte first.
    const auto packed = roundedSamples(pixels, false);
    ASSERT_EQ(packed.size(), 15u);
    const auto* bytes = reinterpret_cast<const unsigned char*>(packed.data());
    EXPECT_EQ(std::vector<int>(bytes + 24, bytes + 30),
              (std::vector<int>{0x01, 0x02, 0x00, 0x01, 0x40, 0x00}));
    // Three full chunks and a short one; the destination holds a marker where nothing may be written.
    const std::size_t count = 3 * SheetRenderer::chunkPixels + 5;
    std::vector<Pixel> many(count);
    for (std::size_t i = 0; i < count; ++i) {
        const float v = static_cast<float>(i % 65536) / 65535.0f;
        many[i] = Pixel{v, 1.0f - v, 0.5f, 1};
    }
    std::vector<std::uint16_t> out(count * 3 + 1, 0xABCD);
    SheetRenderer::round(many.data(), count, out.data(), false, nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(fromBigEndian(out[3 * i]), i % 65536) << i;
        ASSERT_EQ(fromBigEndian(out[3 * i + 1]), 65535 - i % 65536) << i;
    }
    EXPECT_EQ(out[count * 3], 0xABCD);
    SheetRenderer::round(many.data(), 0, out.data(), true, nullptr);
    EXPECT_EQ(out[0], fromBigEndian(0));
}

TEST(SheetRendererSlicesTest, EachTransformConvertsOneSliceAndEverySliceFinishesBeforeTheFirstFailure) {
    const auto transforms = paperTransforms(8, TestProfiles::lutPrinter(9));
    std::mutex lock;
    std::set<const ColorTransform*> used;
    std::vector<std::pair<int, int>> slices;
    SheetRenderer::inSlices(transforms, 10, [&](const ColorTransform& t, int start, int count) {
        std::lock_guard guard(lock);
        EXPECT_TRUE(used.insert(&t).second) << "a transform used twice";
        slices.emplace_back(start, count);
    });
    // ceil(10 / 8) = 2 rows per slice: five slices of two rows, the last three empty and skipped.
    std::sort(slices.begin(), slices.end());
    EXPECT_EQ(slices, (std::vector<std::pair<int, int>>{{0, 2}, {2, 2}, {4, 2}, {6, 2}, {8, 2}}));
    std::atomic<int> finished{0};
    TestSupport::expectFailure<ColorTransformError>(
        [&] {
            SheetRenderer::inSlices(transforms, 40, [&](const ColorTransform&, int start, int) {
                if (start == 10 || start == 30) {
                    throw ColorTransformError(ColorTransformErrorCode::conversionFailed);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ++finished;
            });
        },
        ColorTransformErrorCode::conversionFailed, "색 변환에 실패했습니다");
    EXPECT_EQ(finished.load(), 6);
}
