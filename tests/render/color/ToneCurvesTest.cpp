#include "PrintKit/render/color/ToneCurves.h"

#include "PrintKit/render/color/ColorTransform.h"
#include "TestProfiles.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <thread>
#include <vector>

using namespace PrintKit;

// Each test asks for its own spaces: the cache is the process's, and first builds are what is tested.

TEST(ToneCurvesTest, ConcurrentRequestsShareOneBuildPerSpaceAndDepth) {
    const auto space = TestProfiles::displayP3();
    std::vector<std::shared_ptr<const ToneCurves>> results(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] { results[i] = ToneCurves::shared(space.own, space.linear, 256); });
    }
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads[i].join();
        EXPECT_EQ(results[i], results[0]);
    }
    ASSERT_NE(results[0], nullptr);
    EXPECT_EQ(results[0]->levels(), 256);
    // The linear bytes are not part of the key: the same space is not built again.
    EXPECT_EQ(ToneCurves::shared(space.own, "", 256), results[0]);
    const auto sixteen = ToneCurves::shared(space.own, space.linear, 65536);
    ASSERT_NE(sixteen, nullptr);
    EXPECT_EQ(sixteen->toLinear().size(), 3u * 65536);
    EXPECT_EQ(ToneCurves::shared(space.own, space.linear, 65536), sixteen);
}

TEST(ToneCurvesTest, RefusedForAProfileThatMixesChannelsOrUnusableInput) {
    const std::string mixing = TestProfiles::channelMixing();
    const auto space = TestProfiles::space("Adobe primaries, gamma 2.4", TestProfiles::adobeRGBPrimaries,
                                           TestProfiles::Curve::gamma, 2.4, 2.1);
    EXPECT_EQ(ToneCurves::shared(mixing, space.linear, 256), nullptr);
    // No seed finds samples that pass: greys stay grey, colours do not.
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
        EXPECT_EQ(ToneCurves::build(mixing, space.linear, 256, seed), nullptr);
    }
    EXPECT_EQ(ToneCurves::shared("garbage", space.linear, 256), nullptr);
    EXPECT_EQ(ToneCurves::shared(space.own, TestProfiles::gray(), 256), nullptr);
    EXPECT_EQ(ToneCurves::build(space.own, space.linear, 1000, 1), nullptr);
}

TEST(ToneCurvesTest, CheckOutcomeIsTheSameOnEveryRunAndCommonSpacesPassOrFailAsMeasured) {
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
    EXPECT_EQ(ToneCurves::build(space.own, space.linear, 65536, seed) != nullptr, passes);
    EXPECT_EQ(ToneCurves::shared(space.own, space.linear, 65536) != nullptr, passes);
    // Little CMS evaluates a tabulated curve in 16-bit steps: the common 1024-entry sRGB profile misses the
    // tolerance near black on every draw, while curves stored as functions always pass.
    const auto tabulated = TestProfiles::tabulatedSRGB();
    EXPECT_EQ(ToneCurves::shared(tabulated.own, tabulated.linear, 256), nullptr);
    EXPECT_EQ(ToneCurves::shared(tabulated.own, tabulated.linear, 65536), nullptr);
    for (const auto& working : {TestProfiles::adobeRGBLike(), TestProfiles::proPhotoLike()}) {
        EXPECT_NE(ToneCurves::shared(working.own, working.linear, 256), nullptr) << working.name;
        EXPECT_NE(ToneCurves::shared(working.own, working.linear, 65536), nullptr) << working.name;
    }
}
