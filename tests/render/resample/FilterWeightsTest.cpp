#include "PrintKit/render/resample/FilterWeights.h"

#include "TestSupport.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace PrintKit;

namespace {

std::string hexDouble(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::hex);
    return std::string(buffer, result.ptr);
}

// The oracle's text form: starts, counts and the bit patterns of the weights.
std::string describe(const FilterWeights& w) {
    std::string out = "starts";
    for (int s : w.starts) {
        out += ' ' + std::to_string(s);
    }
    out += "\ncounts";
    for (int c : w.counts) {
        out += ' ' + std::to_string(c);
    }
    out += "\nweights";
    for (float weight : w.weights) {
        std::uint32_t bits;
        std::memcpy(&bits, &weight, sizeof bits);
        char hex[10];
        std::snprintf(hex, sizeof hex, " %08x", bits);
        out += hex;
    }
    return out + '\n';
}

} // namespace

TEST(FilterWeightsTest, AgreesBitForBitWithAnIndependentComputation) {
    ASSERT_TRUE(TestSupport::haveProgram("python3"));
    struct Case {
        int outputCount;
        double start, length;
        int sourceCount;
    };
    // Outputs, start, length and source samples, four numbers per case: enlarging, reducing, crops inside
    // and past the source; then a same-size axis (one exact tap of 1 per sample, the others exactly 0),
    // reducing by exactly 3 (taps on the kernel's zeros), taps 1e-8 from whole numbers (not the kernel's
    // zeros) and within 1e-9 of them (exact zeros), and a centre just outside the exact-one rule.
    const double chosen[] = {1,   0,       1,       1,  7,    0,     3,      3,    13,   0.25, 4.5,   6,
                             100, 0,       37,      37, 37,   0,     100,    100,  10,   3.3,  80.7,  97,
                             64,  -2.5,    70,      60, 3,    0,     1000,   1000, 300,  99.7, 797.6, 997,
                             4,   1.0 / 3, 2.0 / 3, 1,  1200, 17.25, 1801.5, 6000, 2048, 0,    1300,  1300,
                             20,  0,       20,      20, 30,   0,     90,     90,   20,   1e-8, 20,    20,
                             20,  5e-10,   20,      20, 20,   2e-12, 20,     20};
    std::vector<Case> cases;
    for (std::size_t i = 0; i < std::size(chosen); i += 4) {
        cases.push_back(
            {static_cast<int>(chosen[i]), chosen[i + 1], chosen[i + 2], static_cast<int>(chosen[i + 3])});
    }
    // Plus arbitrary crops and scales, enlarging and reducing, inside and past the source.
    std::uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    for (int i = 0; i < 60; ++i) {
        const int sourceCount = 1 + static_cast<int>(next() * 400);
        const double start = (next() - 0.2) * sourceCount;
        const double length = (0.05 + next()) * sourceCount;
        cases.push_back({1 + static_cast<int>(next() * 200), start, length, sourceCount});
    }
    std::string input;
    std::string expected;
    for (const Case& c : cases) {
        input += std::to_string(c.outputCount) + ' ' + hexDouble(c.start) + ' ' + hexDouble(c.length) + ' ' +
                 std::to_string(c.sourceCount) + '\n';
        expected += describe(FilterWeights(c.outputCount, c.start, c.length, c.sourceCount));
    }
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder / "cases.txt", input);
    std::string answer;
    const std::string script = TestSupport::fixture("lanczos/filter_weights.py").string();
    ASSERT_EQ(
        TestSupport::run("python3 '" + script + "' < '" + (folder / "cases.txt").string() + "'", &answer), 0);
    EXPECT_EQ(answer, expected);
}

TEST(FilterWeightsTest, ShiftingMovesOnlyStartsAndUsedCoversReadSamples) {
    FilterWeights w(40, 10.5, 60, 100);
    const IndexRange all = w.used();
    EXPECT_EQ(all, (IndexRange{w.starts.front(), w.starts.back() + w.counts.back()}));
    EXPECT_EQ(w.used({5, 9}), (IndexRange{w.starts[5], w.starts[8] + w.counts[8]}));
    FilterWeights moved = w.shifted(-all.lowerBound);
    EXPECT_EQ(moved.used(), (IndexRange{0, all.count()}));
    moved.starts = w.starts;
    EXPECT_EQ(moved, w); // nothing else changed
}
