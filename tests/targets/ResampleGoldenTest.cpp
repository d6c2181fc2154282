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

// The test pattern, written out here from its definition rather than taken from the engine.
Pixel pattern(std::uint64_t x, std::uint64_t y, std::uint64_t seed) {
    float v[3];
    for (std::uint64_t c = 0; c < 3; ++c) {
        const std::uint64_t bits = ((x * 73856093) ^ (y * 19349663) ^ ((seed + c) * 951)) & 1023;
        v[c] = static_cast<float>(static_cast<double>(bits) / 1023);
    }
    return Pixel{v[0], v[1], v[2], 1};
}

std::vector<Pixel> patternBlock(int width, int rows, int seed) {
    std::vector<Pixel> block;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            block.push_back(pattern(x, y, seed));
        }
    }
    return block;
}

std::vector<std::uint32_t> bits(const Pixel* pixels, std::size_t count) {
    std::vector<std::uint32_t> values;
    for (std::size_t i = 0; i < count; ++i) {
        for (float v : {pixels[i].r, pixels[i].g, pixels[i].b}) {
            values.push_back(std::bit_cast<std::uint32_t>(v));
        }
    }
    return values;
}

std::vector<std::uint32_t> floats(const std::vector<float>& values) {
    std::vector<std::uint32_t> result;
    for (float v : values) {
        result.push_back(std::bit_cast<std::uint32_t>(v));
    }
    return result;
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

json sharpenCase(int width, int rows, double resolution, const std::string& level, int seed) {
    return json{
        {"width", width}, {"rows", rows}, {"resolution", resolution}, {"level", level}, {"seed", seed}};
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

TEST(ResampleGoldenTest, EmptyRequestAnswersTheFiveKernelsInTextOrder) {
    const std::string text = ResampleGolden::answers(R"({"weights": [], "resample": [], "sharpen": []})");
    EXPECT_EQ(text.rfind(R"({"kernels":{"1440":[)", 0), 0u);
    EXPECT_LT(text.find(R"("300":)"), text.find(R"("360":)"));
    EXPECT_LT(text.find(R"("360":)"), text.find(R"("72":)"));
    EXPECT_LT(text.find(R"("72":)"), text.find(R"("720":)"));
    EXPECT_NE(text.find(R"(]},"resample":[],"sharpen":[],"weights":[]})"), std::string::npos);

    const json kernels = json::parse(text)["kernels"];
    const std::map<std::string, std::size_t> taps{
        {"72", 3}, {"300", 7}, {"360", 7}, {"720", 13}, {"1440", 25}};
    for (const auto& [key, count] : taps) {
        const auto values = kernels.at(key).get<std::vector<std::uint32_t>>();
        ASSERT_EQ(values.size(), count) << key;
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(values[i], values[count - 1 - i]) << key;
        }
    }
    // At 72 dpi sigma is its floor, 0.3 pixels: taps e, 1, e with e = exp(−1 / 0.18), summed in that order.
    const double e = std::exp(-1 / 0.18);
    EXPECT_EQ(kernels["72"], floats({static_cast<float>(e / (e + 1 + e)), static_cast<float>(1 / (e + 1 + e)),
                                     static_cast<float>(e / (e + 1 + e))}));
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

TEST(ResampleGoldenTest, SameSizeResampleAndUnsharpenedBlocksAreTheBarePattern) {
    const auto bare = patternBlock(13, 9, 7);
    const json expected = digest(bits(bare.data(), bare.size()));
    const json answer =
        answers(json::array(), json::array({resampleCase(13, 9, {0, 0, 1, 1}, 13, 9, {0, 9}, 7)}),
                {sharpenCase(13, 9, 720, "off", 7), sharpenCase(13, 9, 720, "Standard", 7),
                 sharpenCase(1, 1, 300, "off", 0), sharpenCase(0, 5, 300, "high", 0)});
    EXPECT_EQ(answer["resample"][0], expected);
    EXPECT_EQ(answer["sharpen"][0], expected);
    EXPECT_EQ(answer["sharpen"][1], expected);
    // Seed 0 at (0, 0): 0, 951/1023, 878/1023.
    EXPECT_EQ(answer["sharpen"][2]["first"],
              json(floats({0.0f, static_cast<float>(951.0 / 1023), static_cast<float>(878.0 / 1023)})));
    EXPECT_EQ(answer["sharpen"][3], digest({}));
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

TEST(ResampleGoldenTest, SharpenCasesAreTheEnginesSharpening) {
    json cases = json::array();
    for (const char* level : {"low", "standard", "high"}) {
        cases.push_back(sharpenCase(31, 17, 720, level, 5));
    }
    const json answer = answers(json::array(), json::array(), cases)["sharpen"];
    for (std::size_t i = 0; i < 3; ++i) {
        auto block = patternBlock(31, 17, 5);
        apply(allCases<OutputSharpening>()[i + 1], block.data(), 31, 17, 720);
        EXPECT_EQ(answer[i], digest(bits(block.data(), block.size()))) << i;
    }
    EXPECT_NE(answer[0], answer[2]);
}

TEST(ResampleGoldenTest, AnswersDoNotDependOnTheNumberOfWorkers) {
    if (!TestSupport::haveProgram("taskset")) {
        GTEST_SKIP() << "taskset is needed";
    }
    TestSupport::TemporaryDirectory folder;
    const json request{
        {"weights", json::array({weightsCase(997, 3.25, 4000.5, 5000)})},
        {"resample", json::array({resampleCase(700, 500, {0.05, 0.1, 0.9, 0.8}, 311, 203, {7, 190}, 11)})},
        {"sharpen", json::array({sharpenCase(257, 163, 1440, "high", 2)})}};
    TestSupport::writeFile(folder / "cases.json", request.dump());
    const std::string command =
        QUILM_BINARY_DIR "/tests/quilm-targets resample-cases " + (folder / "cases.json").string();
    std::string one, all;
    ASSERT_EQ(TestSupport::run("taskset -c 0 " + command, &one), 0);
    ASSERT_EQ(TestSupport::run(command, &all), 0);
    EXPECT_EQ(one, all);
    EXPECT_EQ(all, ResampleGolden::answers(request.dump()));
}

TEST(ResampleGoldenTest, RefusesCasesThatWouldCrashRunForHoursOrExhaustMemory) {
    const json none = json::array();
    const std::vector<std::tuple<json, json, json>> requests = {
        {json::array({weightsCase(4, 0, 4, 0)}), none, none},
        {json::array({weightsCase(-1, 0, 4, 4)}), none, none},
        {json::array({weightsCase(4, 1e12, 4, 4)}), none, none},
        {json::array({weightsCase(1, 0, 1e8, 4)}), none, none},
        {none, json::array({resampleCase(0, 9, {0, 0, 1, 1}, 4, 4, {0, 4}, 0)}), none},
        {none, json::array({resampleCase(9, 9, {0, 0, 1, 1}, 0, 4, {0, 4}, 0)}), none},
        {none, json::array({resampleCase(9, 9, {0, 0, 1}, 4, 4, {0, 4}, 0)}), none},
        {none, json::array({resampleCase(9, 9, {0, 0, 1e300, 1}, 4, 4, {0, 4}, 0)}), none},
        {none, json::array({resampleCase(9, 9, {0, 0, 1, 1}, 4, 4, {3, 2}, 0)}), none},
        {none, json::array({resampleCase(9, 9, {0, 0, 1, 1}, 4, 4, {0, 5}, 0)}), none},
        {none, json::array({resampleCase(9, 9, {0, 0, 1, 1}, 4, 4, {-1, 2}, 0)}), none},
        {none, json::array({resampleCase(9, 9, {0, 0, 1, 1}, 4, 4, {0}, 0)}), none},
        {none, json::array({resampleCase(9, 9, {0, 0, 1, 1}, 4, 4, {0, 4}, -1)}), none},
        {none, json::array({resampleCase(9, 9, {0, 0, 1, 1}, 20000, 20000, {0, 20000}, 0)}), none},
        {none, none, json::array({sharpenCase(-1, 4, 300, "high", 0)})},
        {none, none, json::array({sharpenCase(100000, 100000, 300, "high", 0)})},
        {none, none, json::array({sharpenCase(4, 4, 300, "high", -5)})},
    };
    for (const auto& [weights, resample, sharpen] : requests) {
        const std::string body =
            json{{"weights", weights}, {"resample", resample}, {"sharpen", sharpen}}.dump();
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

TEST(ResampleGoldenTest, DecodingRequiresEveryKeyAndWholeNumbers) {
    EXPECT_THROW(ResampleGolden::answers(R"({"weights": [], "resample": []})"), json::exception);
    json wrong{{"weights", json::array({weightsCase(4, 0, 4, 4)})},
               {"resample", json::array()},
               {"sharpen", json::array()}};
    for (const json& bad : {json(4.5), json("4"), json(1e20), json(nullptr)}) {
        json request = wrong;
        request["weights"][0]["outputCount"] = bad;
        EXPECT_THROW(ResampleGolden::answers(request.dump()), json::exception) << bad;
    }
    json missing = wrong;
    missing["weights"][0].erase("start");
    EXPECT_THROW(ResampleGolden::answers(missing.dump()), json::exception);
}
