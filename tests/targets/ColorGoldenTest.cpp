#include "PrintKit/targets/ColorGolden.h"

#include "PrintKit/render/color/ColorTransform.h"
#include "TargetFixtures.h"
#include "TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <system_error>

using namespace PrintKit;
using nlohmann::json;

namespace {

// Both bytes of every sample differ, and the set spans black, white, the straight part of the sRGB curve
// near black and the power part.
const json samples = {{0, 0, 0},
                      {65535, 65535, 65535},
                      {32768, 16384, 49152},
                      {1000, 60000, 20000},
                      {0x1234, 0xABCD, 0x00FF},
                      {2000, 2500, 2600}};

std::string request(const std::vector<std::string>& profiles, const json& colors = samples) {
    return json{{"colors", colors}, {"profiles", profiles}}.dump();
}

class ColorGoldenTest : public testing::Test {
protected:
    TestSupport::TemporaryDirectory folder;
    std::string srgb = TargetFixtures::writeProfile(folder / "srgb.icc", TargetFixtures::sRGBProfile());
    std::string linear =
        TargetFixtures::writeProfile(folder / "linear.icc", TargetFixtures::linearRGBProfile());
};

} // namespace

TEST_F(ColorGoldenTest, AnswersEveryProfileIntentAndCompensationInOrderOnTheSRGBCurve) {
    const std::string text = ColorGolden::answers(request({srgb, linear}));
    EXPECT_EQ(text.rfind("[{\"profile\":\"" + srgb +
                             "\",\"intent\":\"perceptual\",\"blackPointCompensation\":true,",
                         0),
              0u);
    const json answers = json::parse(text);
    ASSERT_EQ(answers.size(), 8u);
    std::size_t a = 0;
    for (const std::string& profile : {srgb, linear}) {
        for (const char* intent : {"perceptual", "relativeColorimetric"}) {
            for (bool compensation : {true, false}) {
                EXPECT_EQ(answers[a]["profile"].get<std::string>() + answers[a]["intent"].get<std::string>() +
                              (answers[a]["blackPointCompensation"].get<bool>() ? "+" : "-"),
                          profile + intent + (compensation ? "+" : "-"));
                // To the sRGB profile itself, or to the linear one by the sRGB formula, within 2/65535.
                for (std::size_t i = 0; i < samples.size(); ++i) {
                    for (std::size_t c = 0; c < 3; ++c) {
                        const double v = samples[i][c].get<double>() / 65535.0;
                        EXPECT_NEAR(answers[a]["colors"][i][c].get<double>(),
                                    65535 * (profile == linear ? TestProfiles::srgbToLinear(v) : v), 2);
                    }
                }
                ++a;
            }
        }
    }
    // The command line gives the same bytes, and fails on a bad request.
    const std::string tool = QUILM_BINARY_DIR "/tests/quilm-targets color-cases ";
    TestSupport::writeFile(folder / "cases.json", request({srgb, linear}));
    TestSupport::writeFile(folder / "bad.json", request({linear}, json::array({{1, 2}})));
    std::string out;
    ASSERT_EQ(TestSupport::run(tool + (folder / "cases.json").string(), &out), 0);
    EXPECT_EQ(out, text);
    EXPECT_EQ(TestSupport::run(tool + (folder / "bad.json").string() + " 2>/dev/null"), 1);
}

TEST_F(ColorGoldenTest, RefusesRequestsOutsideSixteenBitsAndUnusableProfiles) {
    for (const json& colors : {json::array({{70000, 0, 0}}), json::array({{-1, 0, 0}}),
                               json::array({{1.5, 0, 0}}), json::array({1, 2, 3})}) {
        EXPECT_THROW(ColorGolden::answers(request({srgb}, colors)), json::exception) << colors;
    }
    auto twoValues = TestSupport::thrown<ColorGoldenError>([&] {
        ColorGolden::answers(request({srgb}, json::array({{1, 2, 3}, {1, 2}})));
    });
    ASSERT_TRUE(twoValues);
    EXPECT_STREQ(twoValues->what(), "색 변환 기준 사례가 올바르지 않습니다: colors[1]: 값 2개");
    TestSupport::writeFile(folder / "junk.icc", std::string(300, 'j'));
    EXPECT_THROW(ColorGolden::answers(request({srgb, (folder / "junk.icc").string()})), ColorTransformError);
    const auto gray = TargetFixtures::writeProfile(folder / "gray.icc", TestProfiles::gray());
    EXPECT_THROW(ColorGolden::answers(request({gray})), ColorTransformError); // RGB samples into grey
}
