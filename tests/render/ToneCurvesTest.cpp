#include "PrintKit/render/ToneCurves.h"

#include "PrintKit/render/ColorTransform.h"
#include "TestProfiles.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <thread>
#include <vector>

using namespace PrintKit;

namespace {

// Each test asks for its own spaces: the cache is the process's, and first builds are what is tested.
float forwardOf(const TestProfiles::Space& space, float v) {
    const ColorTransform forward(space.own, space.linear, RenderingIntent::relativeColorimetric, false);
    Pixel p{v, v, v, 1};
    forward.convert(&p, ColorTransform::Layout::floatRGBA, &p, ColorTransform::Layout::floatRGBA, 1, 1);
    return p.r;
}

} // namespace

TEST(ToneCurvesTest, BuiltOncePerSpaceAndDepth) {
    const auto space = TestProfiles::displayP3();
    const auto eight = ToneCurves::shared(space.own, space.linear, 256);
    ASSERT_NE(eight, nullptr);
    EXPECT_EQ(eight->levels(), 256);
    EXPECT_EQ(ToneCurves::shared(space.own, space.linear, 256), eight);
    // The linear bytes are not part of the key: the same space is not built again.
    EXPECT_EQ(ToneCurves::shared(space.own, "", 256), eight);

    const auto sixteen = ToneCurves::shared(space.own, space.linear, 65536);
    ASSERT_NE(sixteen, nullptr);
    EXPECT_NE(sixteen, eight);
    EXPECT_EQ(sixteen->levels(), 65536);
    EXPECT_EQ(sixteen->toLinear().size(), 3u * 65536);
    EXPECT_EQ(ToneCurves::shared(space.own, space.linear, 65536), sixteen);
}

TEST(ToneCurvesTest, RefusedForAProfileThatMixesChannels) {
    const std::string mixing = TestProfiles::channelMixing();
    const std::string linear = TestProfiles::matrixShaper(TestProfiles::srgbPrimaries(),
                                                          TestProfiles::Curve::gamma, 1.0, 4.3, "linear");
    EXPECT_EQ(ToneCurves::shared(mixing, linear, 256), nullptr);
    // Remembered: asked again, the answer is the same without a new build.
    EXPECT_EQ(ToneCurves::shared(mixing, linear, 256), nullptr);
    // No seed finds samples that pass: greys stay grey, colours do not.
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
        EXPECT_EQ(ToneCurves::build(mixing, linear, 256, seed), nullptr);
    }
}

TEST(ToneCurvesTest, UnusableInputGivesNoCurves) {
    const auto space = TestProfiles::space("Adobe primaries, gamma 2.4", TestProfiles::adobeRGBPrimaries(),
                                           TestProfiles::Curve::gamma, 2.4, 2.1);
    EXPECT_EQ(ToneCurves::shared("garbage", space.linear, 256), nullptr);
    EXPECT_EQ(ToneCurves::shared(space.own, TestProfiles::gray(), 256), nullptr);
    EXPECT_EQ(ToneCurves::build(space.own, space.linear, 1000, 1), nullptr);
}

TEST(ToneCurvesTest, DecodingTablesHoldTheTransformsValues) {
    const auto space = TestProfiles::parametricSRGB();
    const auto curves = ToneCurves::shared(space.own, space.linear, 256);
    ASSERT_NE(curves, nullptr);
    // Code 255 is reached from exactly 1.0.
    EXPECT_EQ(curves->linear(0, 255), forwardOf(space, 1.0f));
    EXPECT_EQ(curves->linear(2, 128), forwardOf(space, 128.0f / 255.0f));
    EXPECT_EQ(curves->linear(1, 0), forwardOf(space, 0.0f));
    for (int code = 0; code < 256; ++code) {
        EXPECT_NEAR(curves->linear(1, code), TestProfiles::srgbToLinear(code / 255.0), 1e-5) << code;
    }
}

TEST(ToneCurvesTest, EncodingLookupClampsAndInterpolates) {
    const auto space = TestProfiles::adobeRGBLike();
    const auto curves = ToneCurves::shared(space.own, space.linear, 256);
    ASSERT_NE(curves, nullptr);
    const std::vector<float>& table = curves->encoding();
    ASSERT_EQ(table.size(), 3u * ToneCurves::encodingSize);
    for (int c = 0; c < 3; ++c) {
        const float first = table[static_cast<std::size_t>(c * ToneCurves::encodingSize)];
        const float last = table[static_cast<std::size_t>(c * ToneCurves::encodingSize + 4096)];
        EXPECT_EQ(curves->encode(c, 0.0f), first);
        EXPECT_EQ(curves->encode(c, -3.0f), first);
        EXPECT_EQ(curves->encode(c, std::numeric_limits<float>::quiet_NaN()), first);
        EXPECT_NEAR(curves->encode(c, 1.0f), last, 1e-7f);
        EXPECT_EQ(curves->encode(c, 2.5f), curves->encode(c, 1.0f));
    }
    // Entry k holds the encoding of (k/4096)²; between entries the lookup interpolates along √x.
    const float x = (100.5f / 4096.0f) * (100.5f / 4096.0f);
    const float expected = (table[100] + table[101]) / 2;
    EXPECT_NEAR(curves->encode(0, x), expected, 1e-6f);
    // Adobe RGB's gamma 563/256: the table reproduces the curve's inverse.
    for (float v : {0.001f, 0.02f, 0.18f, 0.5f, 0.9f}) {
        EXPECT_NEAR(curves->encode(1, v), std::pow(v, 256.0 / 563.0), 2e-5) << v;
    }
}

TEST(ToneCurvesTest, CheckOutcomeDoesNotChangeFromRunToRun) {
    // Table-based curves near gamma 1.2 are evaluated by the engine in 16-bit steps that put a few codes just
    // outside the check's tolerance: whether the check passes depends on which samples it draws.
    const auto space = TestProfiles::tabulatedGamma12();
    std::set<bool> outcomes;
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        outcomes.insert(ToneCurves::build(space.own, space.linear, 65536, seed) != nullptr);
    }
    EXPECT_EQ(outcomes.size(), 2u) << "the samples no longer decide; this test has lost its subject";

    // The cache draws its samples from the space itself, so every build of it agrees with every other.
    const std::uint64_t seed = ToneCurves::checkSeed(space.own, 65536);
    EXPECT_EQ(seed, ToneCurves::checkSeed(space.own, 65536));
    EXPECT_NE(seed, ToneCurves::checkSeed(space.own, 256));
    const bool passes = ToneCurves::build(space.own, space.linear, 65536, seed) != nullptr;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ToneCurves::build(space.own, space.linear, 65536, seed) != nullptr, passes);
    }
    EXPECT_EQ(ToneCurves::shared(space.own, space.linear, 65536) != nullptr, passes);
}

TEST(ToneCurvesTest, CommonWorkingSpacesPassOrFailAsMeasured) {
    // Little CMS evaluates a tabulated curve in 16-bit steps: the common 1024-entry sRGB profile misses the
    // tolerance near black on every draw, while curves stored as functions always pass.
    const auto tabulated = TestProfiles::tabulatedSRGB();
    EXPECT_EQ(ToneCurves::shared(tabulated.own, tabulated.linear, 256), nullptr);
    EXPECT_EQ(ToneCurves::shared(tabulated.own, tabulated.linear, 65536), nullptr);
    for (const auto& space :
         {TestProfiles::adobeRGBLike(), TestProfiles::displayP3(), TestProfiles::proPhotoLike()}) {
        EXPECT_NE(ToneCurves::shared(space.own, space.linear, 256), nullptr) << space.name;
        EXPECT_NE(ToneCurves::shared(space.own, space.linear, 65536), nullptr) << space.name;
    }
}

TEST(ToneCurvesTest, ConcurrentRequestsShareOneBuild) {
    const auto space = TestProfiles::space("Wide gamut, gamma 2.0", TestProfiles::proPhotoPrimaries(),
                                           TestProfiles::Curve::gamma, 2.0, 2.1);
    std::vector<std::shared_ptr<const ToneCurves>> results(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] { results[i] = ToneCurves::shared(space.own, space.linear, 256); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ASSERT_NE(results[0], nullptr);
    for (const auto& result : results) {
        EXPECT_EQ(result, results[0]);
    }
    // Readers on many threads at once need no lock.
    std::vector<float> sums(8);
    threads.clear();
    for (std::size_t i = 0; i < sums.size(); ++i) {
        threads.emplace_back([&, i] {
            for (int code = 0; code < 256; ++code) {
                sums[i] += results[i]->encode(static_cast<int>(i % 3),
                                              results[i]->linear(static_cast<int>(i % 3), code));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    // Decoding then encoding gives every code back, so each thread sums (0 + 1 + … + 255) / 255 = 128.
    for (float sum : sums) {
        EXPECT_NEAR(sum, 128.0f, 0.01f);
    }
}
