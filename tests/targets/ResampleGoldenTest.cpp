#include "PrintKit/targets/ResampleGolden.h"

#include "PrintKit/render/resample/LanczosResampler.h"
#include "PrintKit/settings/OutputSharpening.h"
#include "TestSupport.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace PrintKit;
using nlohmann::json;
using ResampleGolden::Digest;

namespace {

std::vector<std::uint32_t> bits(const Pixel* pixels, std::size_t count) {
    std::vector<std::uint32_t> values;
    for (std::size_t i = 0; i < count; ++i) {
        for (float v : {pixels[i].r, pixels[i].g, pixels[i].b}) {
            values.push_back(std::bit_cast<std::uint32_t>(v));
        }
    }
    return values;
}

json digest(const std::vector<std::uint32_t>& values) {
    const Digest d(values);
    return json{{"count", d.count}, {"fnv", d.fnv}, {"first", d.first}};
}

json answers(json weights, json resample, json sharpen) {
    const json request{
        {"weights", std::move(weights)}, {"resample", std::move(resample)}, {"sharpen", std::move(sharpen)}};
    return json::parse(ResampleGolden::answers(request.dump()));
}

json resampleCase(int sourceWidth, int sourceHeight, std::vector<double> crop, int outputWidth,
                  int outputHeight, std::vector<int> rows, int seed) {
    return json{{"sourceWidth", sourceWidth},
                {"sourceHeight", sourceHeight},
                {"crop", crop},
                {"outputWidth", outputWidth},
                {"outputHeight", outputHeight},
                {"rows", rows},
                {"seed", seed}};
}

json weightsCase(int outputCount, double start, double length, int sourceCount) {
    return json{
        {"outputCount", outputCount}, {"start", start}, {"length", length}, {"sourceCount", sourceCount}};
}

const std::uint32_t one = 0x3F800000; // 1.0f

} // namespace

TEST(ResampleGoldenTest, DigestIsFNV1aOverLittleEndianBytes) {
    const Digest empty(std::vector<std::uint32_t>{});
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(empty.fnv, "cbf29ce484222325");
    EXPECT_TRUE(empty.first.empty());
    // The bytes of "abcd", and a value whose hash has a leading zero digit that must not be written.
    EXPECT_EQ(Digest({0x64636261}).fnv, "fc179f83ee0724dd");
    EXPECT_EQ(Digest({6}).fnv, "d301e6ef1629ad3");
    std::vector<std::uint32_t> thirty(30);
    for (std::uint32_t i = 0; i < 30; ++i) {
        thirty[i] = i * 1000;
    }
    const Digest d(thirty);
    EXPECT_EQ(d.count, 30);
    EXPECT_EQ(d.first, std::vector<std::uint32_t>(thirty.begin(), thirty.begin() + 24));
}

TEST(ResampleGoldenTest, WeightsOfASameSizeAxisAndOfATotalFold) {
    const json answer = answers({weightsCase(10, 0, 10, 10), weightsCase(5, 0, 1, 1),
                                 weightsCase(3, -1000, 10, 50), weightsCase(0, 0, 5, 5)},
                                json::array(), json::array())["weights"];
    // Same size: output i reads sources i − 3 … i + 3 cut to the source, with a single 1 on source i.
    std::vector<std::uint32_t> starts, counts, weights;
    for (int i = 0; i < 10; ++i) {
        const int first = std::max(i - 3, 0), last = std::min(i + 3, 9);
        starts.push_back(static_cast<std::uint32_t>(first));
        counts.push_back(static_cast<std::uint32_t>(last - first + 1));
        for (int j = first; j <= last; ++j) {
            weights.push_back(j == i ? one : 0);
        }
    }
    EXPECT_EQ(answer[0]["starts"], digest(starts));
    EXPECT_EQ(answer[0]["counts"], digest(counts));
    EXPECT_EQ(answer[0]["weights"], digest(weights));
    // A one-sample source, and an extent wholly left of the source: every tap folds onto sample 0.
    EXPECT_EQ(answer[1], (json{{"starts", digest({0, 0, 0, 0, 0})},
                               {"counts", digest({1, 1, 1, 1, 1})},
                               {"weights", digest({one, one, one, one, one})}}));
    EXPECT_EQ(answer[2], (json{{"starts", digest({0, 0, 0})},
                               {"counts", digest({1, 1, 1})},
                               {"weights", digest({one, one, one})}}));
    EXPECT_EQ(answer[3]["weights"], digest({}));
}

TEST(ResampleGoldenTest, BandsMatchTheWholeRender) {
    const std::vector<double> crop{0.1, 0.2, 0.7, 0.6};
    LanczosResampler whole(std::make_shared<ResampleGolden::PatternSource>(40, 30, 3),
                           Rect(0.1, 0.2, 0.7, 0.6), 57, 23);
    std::vector<Pixel> image(57 * 23);
    whole.render({0, 23}, image.data());
    const json answer = answers(
        json::array(),
        {resampleCase(40, 30, crop, 57, 23, {0, 23}, 3), resampleCase(40, 30, crop, 57, 23, {0, 5}, 3),
         resampleCase(40, 30, crop, 57, 23, {5, 17}, 3), resampleCase(40, 30, crop, 57, 23, {17, 23}, 3),
         resampleCase(40, 30, crop, 57, 23, {9, 9}, 3)},
        json::array())["resample"];
    EXPECT_EQ(answer[0], digest(bits(image.data(), image.size())));
    EXPECT_EQ(answer[1], digest(bits(image.data(), 57 * 5)));
    EXPECT_EQ(answer[2], digest(bits(image.data() + 57 * 5, 57 * 12)));
    EXPECT_EQ(answer[3], digest(bits(image.data() + 57 * 17, 57 * 6)));
    EXPECT_EQ(answer[4], digest({}));
}

TEST(ResampleGoldenTest, RefusesCasesThatWouldCrashRunForHoursOrExhaustMemory) {
    const json none = json::array();
    // Sizes, crops, rows and seeds that no real case has, each in a request of its own.
    for (const json& request :
         json::parse(TestSupport::readFile(TestSupport::fixture("targets/resample-refusals.json")))) {
        const std::string body = request.dump();
        try {
            ResampleGolden::answers(body);
            ADD_FAILURE() << "answered " << body;
        } catch (const ResampleGoldenError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("재표본화 기준 사례를 계산할 수 없습니다: ", 0), 0u)
                << error.what();
        }
    }
    try {
        ResampleGolden::answers(json{
            {"weights", none},
            {"resample",
             {resampleCase(9, 9, {0, 0, 1, 1}, 4, 4, {0, 4}, 0),
              resampleCase(9, 9, {0, 0, 1, 1}, 4, 4, {3, 2}, 0)}},
            {"sharpen", none}}.dump());
    } catch (const ResampleGoldenError& error) {
        EXPECT_EQ(error.detail(), "resample[1] rows 3–2: 출력 행 0–4 밖입니다");
    }
}
