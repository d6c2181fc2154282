#include "PrintKit/render/FilterWeights.h"

#include "TestSupport.h"

#include <charconv>
#include <cmath>
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

float weight(const FilterWeights& w, std::size_t i, int k) {
    return w.weights[static_cast<std::size_t>(w.offsets[i] + k)];
}

} // namespace

TEST(FilterWeightsTest, AgreesBitForBitWithAnIndependentComputation) {
    ASSERT_TRUE(TestSupport::haveProgram("python3"));
    struct Case {
        int outputCount;
        double start, length;
        int sourceCount;
    };
    std::vector<Case> cases = {
        {5, 0, 5, 5},
        {1, 0, 1, 1},
        {7, 0, 3, 3},
        {13, 0.25, 4.5, 6},
        {100, 0, 37, 37},
        {37, 0, 100, 100},
        {10, 3.3, 80.7, 97},
        {64, -2.5, 70, 60},
        {3, 0, 1000, 1000},
        {300, 99.7, 797.6, 997},
        {33, 0, 99, 99},
        {4, 1.0 / 3, 2.0 / 3, 1},
        {1200, 17.25, 1801.5, 6000},
        {2048, 0, 1300, 1300},
        {20, 1e-8, 20, 20},  // taps 1e-8 from whole numbers: not the kernel's zeros
        {20, 5e-10, 20, 20}, // taps within 1e-9 of whole numbers: exact zeros
        {20, 2e-12, 20, 20}, // a centre just outside the exact-one rule
    };
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

TEST(FilterWeightsTest, SameSizeAxisHasOneExactTapPerSample) {
    EXPECT_EQ(FilterWeights(0, 0, 10, 10), FilterWeights());
    FilterWeights w(20, 0, 20, 20);
    // The first sample's taps left of the source fold onto sample 0, and weigh nothing.
    EXPECT_EQ(w.starts[0], 0);
    EXPECT_EQ(std::vector<float>(w.weights.begin(), w.weights.begin() + 4), (std::vector<float>{1, 0, 0, 0}));
    int offset = 0;
    for (std::size_t i = 0; i < 20; ++i) {
        const int x = static_cast<int>(i);
        EXPECT_EQ(w.offsets[i], offset);
        offset += w.counts[i];
        EXPECT_EQ(w.counts[i], std::min(x, 3) + 1 + std::min(19 - x, 3)) << i;
        for (int k = 0; k < w.counts[i]; ++k) {
            // Bit-exact: a centre of 0.99999994 or a neighbour of 1e-17 would blur the copy.
            EXPECT_EQ(weight(w, i, k), w.starts[i] + k == x ? 1.0f : 0.0f) << i << ' ' << k;
        }
    }
    EXPECT_EQ(static_cast<std::size_t>(offset), w.weights.size());
}

TEST(FilterWeightsTest, EnlargingKeepsSevenTapsAndReducingWidensThem) {
    for (double factor : {1.01, 1.5, 5.33, 40.0}) {
        for (int count : FilterWeights(static_cast<int>(100 * factor), 0, 100, 100).counts) {
            EXPECT_LE(count, 7) << factor;
        }
    }
    for (double s : {1.5, 3.7, 10.0}) {
        FilterWeights w(static_cast<int>(4000 / s), 0, 4000, 4000);
        const double scale = 4000.0 / w.outputCount();
        const int middle = w.counts[w.counts.size() / 2];
        EXPECT_GE(middle, static_cast<int>(std::floor(6 * scale)) - 1) << s; // support 3s on each side
        EXPECT_LE(middle, static_cast<int>(std::ceil(6 * scale)) + 1) << s;
    }
}

TEST(FilterWeightsTest, TapsOnWholeFilterWidthsAreExactlyZero) {
    // Reducing by exactly 3: output i is centred on source 3i + 1, so taps 3, 6 and 9 samples away sit on
    // the kernel's zeros at 1, 2 and 3 filter widths.
    FilterWeights w(30, 0, 90, 90);
    for (std::size_t i = 3; i < 27; ++i) {
        for (int k = 0; k < w.counts[i]; ++k) {
            const int distance = w.starts[i] + k - (3 * static_cast<int>(i) + 1);
            if (distance != 0 && distance % 3 == 0) {
                EXPECT_EQ(weight(w, i, k), 0.0f) << i << ' ' << distance;
            }
        }
    }
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
