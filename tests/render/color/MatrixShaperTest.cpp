// The faster float conversions (matrix and tone tables) against Little CMS's own, on the conversions the
// band pipeline makes from a photo's linear space, and the profiles they must leave to Little CMS.
#include "PrintKit/render/color/MatrixShaper.h"

#include "PrintKit/render/color/ColorTransform.h"
#include "PrintKit/render/decode/ColorProfiles.h"
#include "TestProfiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <lcms2.h>
#include <vector>

using namespace PrintKit;

namespace {

std::string linearOf(const std::string& own) {
    return ColorProfiles::linearized(own).value();
}

// Every colour of a grid through the whole cube of a space and a little past it (a resampler overshoots at
// edges), its levels dense near black, where the sRGB curve is steepest and its two pieces meet.
std::vector<Pixel> ramp() {
    std::vector<float> levels{-0.05f, -0.004f, 1.02f, 1.1f};
    for (int i = 0; i <= 40; ++i) {
        levels.push_back(static_cast<float>(i * i) / 1600.0f);
    }
    std::vector<Pixel> pixels;
    for (float r : levels) {
        for (float g : levels) {
            for (float b : levels) {
                pixels.push_back({r, g, b, 7.0f});
            }
        }
    }
    return pixels;
}

std::vector<Pixel> throughLittleCMS(const std::string& from, const std::string& to, RenderingIntent intent,
                                    bool compensation, const std::vector<Pixel>& pixels) {
    return TestProfiles::convert<Pixel>(from, TYPE_RGBA_FLT, to, TYPE_RGBA_FLT,
                                        intent == RenderingIntent::perceptual ? INTENT_PERCEPTUAL
                                                                              : INTENT_RELATIVE_COLORIMETRIC,
                                        compensation, pixels.data(), static_cast<int>(pixels.size()));
}

std::vector<Pixel> through(const ColorTransform& t, std::vector<Pixel> pixels) {
    t.convert(pixels.data(), ColorTransform::Layout::floatRGBA, pixels.data(),
              ColorTransform::Layout::floatRGBA, static_cast<int>(pixels.size()), 1);
    return pixels;
}

int code(float v) {
    return static_cast<int>(std::nearbyint(std::clamp(v, 0.0f, 1.0f) * 65535.0f));
}

} // namespace

TEST(MatrixShaperTest, WideGamutRampsStayWithinOneCodeOfLittleCMSOutsideTheOutputSpaceToo) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    const std::vector<Pixel> pixels = ramp();
    const struct {
        const char* name;
        std::string own;
        RenderingIntent intent;
        bool compensation;
    } cases[] = {
        {"ProPhoto-like", TestProfiles::proPhotoLike().own, RenderingIntent::relativeColorimetric, false},
        // Black-point compensation adds an offset matrix the engine does not join with the others.
        {"ProPhoto-like, perceptual", TestProfiles::proPhotoLike().own, RenderingIntent::perceptual, true},
        {"Adobe RGB-like", TestProfiles::adobeRGBLike().own, RenderingIntent::relativeColorimetric, false},
        {"Display P3", ColorProfiles::displayP3(), RenderingIntent::relativeColorimetric, false},
    };
    for (const auto& c : cases) {
        const std::string linear = linearOf(c.own);
        const ColorTransform fast(linear, srgb, c.intent, c.compensation);
        ASSERT_TRUE(fast.evaluatesItself()) << c.name;
        const auto exact = throughLittleCMS(linear, srgb, c.intent, c.compensation, pixels);
        std::vector<Pixel> apart(pixels.size(), Pixel{0, 0, 0, -3.0f});
        fast.convert(pixels.data(), ColorTransform::Layout::floatRGBA, apart.data(),
                     ColorTransform::Layout::floatRGBA, static_cast<int>(pixels.size()), 1);
        const auto inPlace = through(fast, pixels);
        int outside = 0, worstCodes = 0;
        float worst = 0;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            ASSERT_EQ(std::memcmp(&apart[i], &inPlace[i], 12), 0) << c.name << " " << i;
            ASSERT_EQ(apart[i].a, -3.0f); // the fourth value is never written
            for (int ch = 0; ch < 3; ++ch) {
                const float e = (&exact[i].r)[ch], v = (&apart[i].r)[ch];
                outside += e < 0.0f || e > 1.0f;
                worstCodes = std::max(worstCodes, std::abs(code(v) - code(e)));
                // Values past the unit range matter too: sharpening reads them before they are clamped.
                worst = std::max(worst, std::fabs(v - e) / std::max(1.0f, std::fabs(e)));
            }
        }
        EXPECT_LE(worstCodes, 1) << c.name;
        EXPECT_LE(worst, MatrixShaper::tolerance) << c.name;
        // The ramp really leaves the output space.
        EXPECT_GT(outside, static_cast<int>(pixels.size()) / 4) << c.name;
    }
}

TEST(MatrixShaperTest, ProfilesItCannotRepresentExactlyAreLeftToLittleCMS) {
    const std::string& srgb = ColorSpace::sRGB().icc;
    const std::string proPhoto = linearOf(TestProfiles::proPhotoLike().own);
    // Matrix and curves that say ProPhoto, tables that say otherwise: colour engines use the tables.
    const std::string tablesOverMatrix = TestProfiles::channelMixing(17, TestProfiles::proPhotoLike().own);
    const std::vector<Pixel> pixels = ramp();
    const auto relative = RenderingIntent::relativeColorimetric;
    const struct {
        const char* name;
        std::string from, to;
        ColorTransform::Evaluation evaluation;
    } cases[] = {
        {"tables beside a matrix and curves", proPhoto, tablesOverMatrix, ColorTransform::Evaluation::fast},
        {"a table-based printer profile", proPhoto, TestProfiles::lutPrinter(),
         ColorTransform::Evaluation::fast},
        // Curves given as 16-bit tables, which the engine evaluates in steps of a code.
        {"tabulated curves", proPhoto, TestProfiles::tabulatedSRGB().own, ColorTransform::Evaluation::fast},
        {"a source that is not linear", TestProfiles::adobeRGBLike().own, srgb,
         ColorTransform::Evaluation::fast},
        {"exact evaluation asked for", proPhoto, srgb, ColorTransform::Evaluation::exact},
    };
    for (const auto& c : cases) {
        const ColorTransform t(c.from, c.to, relative, false, c.evaluation);
        EXPECT_FALSE(t.evaluatesItself()) << c.name;
        const auto converted = through(t, pixels);
        const auto exact = throughLittleCMS(c.from, c.to, relative, false, pixels);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            ASSERT_EQ(std::memcmp(&converted[i], &exact[i], 12), 0) << c.name << " " << i;
        }
    }
}
