#include "PrintKit/render/color/ColorTransform.h"

#include "PrintKit/render/resample/LanczosResampler.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <thread>
#include <vector>

using namespace PrintKit;

namespace {

const std::string& printer() {
    static const std::string bytes = TestProfiles::lutPrinter();
    return bytes;
}

const std::string& srgb() {
    return ColorSpace::sRGB().icc;
}

// Deterministic values spread over the whole range, black and white first; floats also a little outside it.
std::vector<Pixel> floatPixels(int count) {
    std::vector<Pixel> pixels{{0, 0, 0, 1}, {1, 1, 1, 1}, {-0.05f, 1.1f, 0.5f, 1}};
    std::uint32_t state = 7;
    auto next = [&] {
        return static_cast<float>((state = state * 1664525u + 1013904223u) >> 8) / 16777216.0f;
    };
    while (static_cast<int>(pixels.size()) < count) {
        pixels.push_back({next(), next(), next(), next()});
    }
    return pixels;
}

std::vector<std::uint16_t> samples16(std::size_t count) {
    std::vector<std::uint16_t> values{0, 0, 0, 65535, 65535, 65535};
    for (std::uint32_t state = 99; values.size() < count;) {
        values.push_back(static_cast<std::uint16_t>((state = state * 1664525u + 1013904223u) >> 16));
    }
    return values;
}

} // namespace

TEST(ColorTransformTest, EveryFailureCarriesItsMessage) {
    TestSupport::TemporaryDirectory folder;
    const auto paper = folder / "paper.icc";
    TestSupport::writeFile(paper, printer());
    const auto missing = folder / "없는 용지.icc";
    const std::string garbage = "not an ICC profile at all, but long enough to look like a header......";
    const std::string gray = TestProfiles::gray();
    const auto any = RenderingIntent::perceptual;
    const ColorTransform t(srgb(), printer(), any, false);
    std::vector<std::uint16_t> samples(16);
    using Code = ColorTransformErrorCode;
    const std::string unreadable = "ICC 프로파일을 읽지 못했습니다: ";
    const struct {
        Code code;
        std::string message;
        std::function<void()> action;
    } cases[] = {
        {Code::unreadableProfile, unreadable + "원본",
         [&] { ColorTransform(garbage, printer(), any, false); }},
        {Code::unreadableProfile, unreadable + "용지",
         [&] { ColorTransform(srgb(), printer().substr(0, 200), any, false); }},
        {Code::unreadableProfile, unreadable + missing.string(),
         [&] { ColorTransform::fromSRGB(missing, any, false); }},
        {Code::unreadableProfile, unreadable + "Generic Gray",
         [&] {
             ColorTransform(ColorSpace{"Generic Gray", ""}, paper, any, false);
         }},
        // The space is checked before the file.
        {Code::unreadableProfile, unreadable + "원본 색공간",
         [&] {
             ColorTransform(ColorSpace{"", ""}, missing, any, false);
         }},
        {Code::cannotCreateTransform, "색 변환을 만들지 못했습니다",
         [&] { ColorTransform(srgb(), gray, any, false); }},
        {Code::conversionFailed, "색 변환에 실패했습니다",
         [&] { t.convert(samples.data(), false, samples.data(), false, 1, -3); }},
        {Code::conversionFailed, "색 변환에 실패했습니다",
         [&] { t.convert(nullptr, true, samples.data(), true, 2, 1); }},
    };
    for (const auto& c : cases) {
        try {
            c.action();
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const ColorTransformError& error) {
            EXPECT_EQ(error.code(), c.code);
            EXPECT_EQ(error.what(), c.message);
        }
    }
    // The named sRGB space cannot fail to be made with a working engine; its message is of the same family.
    EXPECT_EQ(errorMessage(Code::unreadableProfile, "sRGB"), "ICC 프로파일을 읽지 못했습니다: sRGB");
    // Nothing to convert is not a failure.
    EXPECT_NO_THROW(t.convert(nullptr, ColorTransform::Layout::floatRGBA, nullptr,
                              ColorTransform::Layout::floatRGBA, 0, 5));

    // When everything is there, the file builder gives what the bytes give.
    const std::vector<std::array<int, 3>> colours = {{10, 20, 30}, {200, 100, 50}};
    EXPECT_EQ(ColorTransform::fromSRGB(paper, any, true).convert(colours),
              ColorTransform(srgb(), printer(), any, true).convert(colours));
}

TEST(ColorTransformTest, ConversionsMatchLittleCMSInEveryFormatInPlaceAndApart) {
    const int width = 37, height = 5;
    const std::size_t pixels = static_cast<std::size_t>(width * height);
    const auto floats = floatPixels(width * height);
    for (RenderingIntent intent : {RenderingIntent::perceptual, RenderingIntent::relativeColorimetric}) {
        for (bool compensation : {false, true}) {
            const ColorTransform t(srgb(), printer(), intent, compensation);
            const int lcmsIntent =
                intent == RenderingIntent::perceptual ? INTENT_PERCEPTUAL : INTENT_RELATIVE_COLORIMETRIC;
            std::vector<Pixel> apart(pixels, Pixel{0, 0, 0, 7.0f}), inPlace = floats;
            const auto expected = TestProfiles::convert<Pixel>(
                srgb(), TYPE_RGBA_FLT, printer(), TYPE_RGBA_FLT, lcmsIntent, compensation, floats.data(),
                width, height, width * 16u, width * 16u);
            t.convert(floats.data(), ColorTransform::Layout::floatRGBA, apart.data(),
                      ColorTransform::Layout::floatRGBA, width, height);
            t.convert(inPlace.data(), ColorTransform::Layout::floatRGBA, inPlace.data(),
                      ColorTransform::Layout::floatRGBA, width, height);
            for (std::size_t i = 0; i < pixels; ++i) {
                ASSERT_EQ(std::memcmp(&apart[i], &expected[i], 12), 0) << i;
                ASSERT_EQ(std::memcmp(&inPlace[i], &expected[i], 12), 0) << i;
                // The fourth value is skipped on both sides: never copied, never overwritten.
                ASSERT_EQ(apart[i].a, 7.0f);
                ASSERT_EQ(inPlace[i].a, floats[i].a);
            }
            for (bool padded : {true, false}) {
                for (bool bigEndian : {true, false}) {
                    const auto source = samples16(pixels * (padded ? 4 : 3));
                    std::vector<std::uint16_t> sixteen(pixels * 3), inPlace16 = source;
                    const auto direct = TestProfiles::convert<std::uint16_t>(
                        srgb(), padded ? TYPE_RGBA_16 : TYPE_RGB_16, printer(),
                        bigEndian ? TYPE_RGB_16_SE : TYPE_RGB_16, lcmsIntent, compensation, source.data(),
                        width, height, width * (padded ? 8u : 6u), width * 6u);
                    t.convert(source.data(), padded, sixteen.data(), bigEndian, width, height);
                    t.convert(inPlace16.data(), padded, inPlace16.data(), bigEndian, width, height);
                    inPlace16.resize(pixels * 3);
                    EXPECT_EQ(sixteen, direct) << padded << bigEndian;
                    EXPECT_EQ(inPlace16, direct) << padded << bigEndian;
                }
            }
        }
    }
    // Big-endian means the most significant byte first, whatever the machine.
    const ColorTransform identity(srgb(), srgb(), RenderingIntent::relativeColorimetric, false);
    const std::uint16_t white[3] = {65535, 0, 0x1234};
    std::uint8_t bytes[6];
    identity.convert(white, false, reinterpret_cast<std::uint16_t*>(bytes), true, 1, 1);
    EXPECT_EQ(std::vector<int>({bytes[0], bytes[2]}), std::vector<int>({0xFF, 0}));
    EXPECT_NEAR((bytes[4] << 8) | bytes[5], 0x1234, 2.0);
    // Colour lists (8-bit values) are converted at 16 bits on their own scale; 300 × 257 is clamped.
    EXPECT_EQ(identity.convert({{300, -5, 0}}), (std::vector<std::array<double, 3>>{{255.0, 0.0, 0.0}}));
    const ColorTransform paper(srgb(), printer(), RenderingIntent::perceptual, false);
    std::uint16_t sixteen[6] = {10 * 257, 20 * 257, 30 * 257, 255 * 257, 0, 128 * 257};
    paper.convert(sixteen, false, sixteen, false, 2, 1);
    const auto converted = paper.convert({{10, 20, 30}, {255, 0, 128}});
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(converted[i / 3][i % 3], sixteen[i] / 257.0);
    }
}

TEST(ColorTransformTest, SRGBProfileBytesDoNotDependOnTheMoment) {
    const std::string& bytes = srgb();
    EXPECT_EQ(ColorSpace::sRGB().name, "sRGB");
    // Header date 2000-01-01 00:00:00, no profile ID.
    const std::string date(bytes.data() + 24, 12);
    EXPECT_EQ(date, std::string("\x07\xD0\x00\x01\x00\x01\x00\x00\x00\x00\x00\x00", 12));
    EXPECT_EQ(bytes.substr(84, 16), std::string(16, '\0'));

    // The engine's own sRGB, saved now, differs only in that date: nothing else depends on when or where
    // the bytes were made.
    std::string now = TestProfiles::save(cmsCreate_sRGBProfile());
    ASSERT_EQ(now.size(), bytes.size());
    now.replace(24, 12, date);
    EXPECT_EQ(now, bytes);
}

TEST(ColorTransformTest, ConcurrentSlicesEachOnTheirOwnTransformMatchOneThread) {
    const int width = 300, rows = 53, slices = 8, rowsPerSlice = (rows + slices - 1) / slices;
    const auto source = samples16(static_cast<std::size_t>(width * rows * 4));
    std::vector<std::uint16_t> expected(static_cast<std::size_t>(width * rows * 3)), sliced(expected.size());
    ColorTransform(srgb(), printer(), RenderingIntent::perceptual, true)
        .convert(source.data(), true, expected.data(), true, width, rows);
    LanczosResampler::parallel(slices, [&](int i) {
        const int start = i * rowsPerSlice;
        const ColorTransform own(srgb(), printer(), RenderingIntent::perceptual, true);
        own.convert(source.data() + static_cast<std::size_t>(start * width * 4), true,
                    sliced.data() + static_cast<std::size_t>(start * width * 3), true, width,
                    std::min(rows - start, rowsPerSlice));
    });
    EXPECT_EQ(sliced, expected);
}

TEST(ColorTransformTest, ThreadsSharingOneTransformBuildEachFormatOnce) {
    // Every thread asks for a format pair not built yet, at the same moment.
    const ColorTransform shared(srgb(), printer(), RenderingIntent::relativeColorimetric, false);
    const int width = 64;
    const auto source = samples16(static_cast<std::size_t>(width * 4));
    std::vector<std::vector<std::uint16_t>> results(
        8, std::vector<std::uint16_t>(static_cast<std::size_t>(width * 3)));
    std::vector<std::vector<Pixel>> floats(8, floatPixels(width));
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            const auto n = static_cast<std::size_t>(i);
            shared.convert(source.data(), i % 2 == 0, results[n].data(), i % 4 < 2, width, 1);
            shared.convert(floats[n].data(), ColorTransform::Layout::floatRGBA, floats[n].data(),
                           ColorTransform::Layout::floatRGBA, width, 1);
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < 8; ++i) {
        std::vector<std::uint16_t> expected(static_cast<std::size_t>(width * 3));
        shared.convert(source.data(), i % 2 == 0, expected.data(), i % 4 < 2, width, 1);
        EXPECT_EQ(results[static_cast<std::size_t>(i)], expected) << i;
        EXPECT_EQ(
            std::memcmp(floats[static_cast<std::size_t>(i)].data(), floats[0].data(), width * sizeof(Pixel)),
            0);
    }
}
