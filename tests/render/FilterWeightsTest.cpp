#include "PrintKit/render/FilterWeights.h"

#include "TestSupport.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

using namespace PrintKit;

namespace {

struct Case {
    int outputCount;
    double start;
    double length;
    int sourceCount;
};

std::string hexDouble(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::hex);
    return std::string(buffer, result.ptr);
}

std::string describe(const FilterWeights& w) {
    std::ostringstream out;
    out << "starts";
    for (int s : w.starts) {
        out << ' ' << s;
    }
    out << "\ncounts";
    for (int c : w.counts) {
        out << ' ' << c;
    }
    out << "\nweights";
    for (float weight : w.weights) {
        std::uint32_t bits;
        std::memcpy(&bits, &weight, sizeof bits);
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", bits);
        out << ' ' << hex;
    }
    out << '\n';
    return out.str();
}

float sumOf(const FilterWeights& w, std::size_t i) {
    double sum = 0;
    for (int k = 0; k < w.counts[i]; ++k) {
        sum += w.weights[static_cast<std::size_t>(w.offsets[i] + k)];
    }
    return static_cast<float>(sum);
}

} // namespace

TEST(FilterWeightsTest, AgreesBitForBitWithAnIndependentComputation) {
    ASSERT_TRUE(TestSupport::haveProgram("python3"));
    const std::vector<Case> cases = {
        {5, 0, 5, 5},                     // same size
        {1, 0, 1, 1},                     // one sample
        {7, 0, 3, 3},                     // enlarging a tiny source: every tap folds
        {13, 0.25, 4.5, 6},               // fractional crop
        {100, 0, 37, 37},                 // enlarging by 2.7
        {37, 0, 100, 100},                // reducing by 2.7
        {10, 3.3, 80.7, 97},              // reducing by about 8 from inside the source
        {64, -2.5, 70, 60},               // a crop reaching past both edges (borderless extension)
        {3, 0, 1000, 1000},               // reducing by 333
        {300, 0.1 * 997, 0.8 * 997, 997}, // a crop as the layout computes it
        {250, 0, 250 * 0.7, 200},         // reducing exactly by 0.7 (kernel zeros on whole numbers)
        {33, 0, 99, 99},                  // reducing by exactly 3: taps on whole filter widths
        {4, 1.0 / 3, 2.0 / 3, 1},         // single source sample
        {1200, 17.25, 1801.5, 6000},      // wide reduction of a large source
        {20, 1e-8, 20, 20},               // taps 1e-8 from whole numbers: not kernel zeros
        {20, 5e-10, 20, 20},              // taps within 1e-9 of whole numbers: kernel zeros
        {20, 2e-12, 20, 20},              // a centre tap just outside the exact-one rule
        {2048, 0, 1300, 1300},            // enlarging by about 1.58
    };
    std::vector<Case> all = cases;
    // Plus arbitrary crops and scales, where a change in the order of any rounding step would show.
    std::uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) / 9007199254740992.0; // 0 ≤ value < 1
    };
    for (int i = 0; i < 60; ++i) {
        const int sourceCount = 1 + static_cast<int>(next() * 400);
        const double start = (next() - 0.2) * sourceCount;
        const double length = (0.05 + next()) * sourceCount;
        const int outputCount = 1 + static_cast<int>(next() * 200);
        all.push_back({outputCount, start, length, sourceCount});
    }
    std::string input;
    std::string expected;
    for (const Case& c : all) {
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

TEST(FilterWeightsTest, NoOutputGivesEmptyLists) {
    FilterWeights w(0, 0, 10, 10);
    EXPECT_TRUE(w.starts.empty());
    EXPECT_TRUE(w.counts.empty());
    EXPECT_TRUE(w.offsets.empty());
    EXPECT_TRUE(w.weights.empty());
}

TEST(FilterWeightsTest, SameSizeAxisHasOneExactTapPerSample) {
    FilterWeights w(20, 0, 20, 20);
    ASSERT_EQ(w.outputCount(), 20);
    EXPECT_EQ(w.starts[0], 0);
    EXPECT_EQ(w.counts[0], 4);
    EXPECT_EQ(std::vector<float>(w.weights.begin(), w.weights.begin() + 4), (std::vector<float>{1, 0, 0, 0}));
    for (std::size_t i = 0; i < 20; ++i) {
        const int expectedCount =
            std::min<int>(static_cast<int>(i), 3) + 1 + std::min<int>(19 - static_cast<int>(i), 3);
        EXPECT_EQ(w.counts[i], expectedCount) << i;
        for (int k = 0; k < w.counts[i]; ++k) {
            const float weight = w.weights[static_cast<std::size_t>(w.offsets[i] + k)];
            // Bit-exact: a centre tap of 0.99999994 or a neighbour of 1e-17 would blur the copy.
            EXPECT_EQ(weight, w.starts[i] + k == static_cast<int>(i) ? 1.0f : 0.0f) << i << ' ' << k;
        }
    }
    EXPECT_EQ(w.counts[10], 7);
}

TEST(FilterWeightsTest, OffsetsAndWeightsLineUp) {
    FilterWeights w(57, 1.5, 203.25, 211);
    ASSERT_EQ(w.counts.size(), w.starts.size());
    ASSERT_EQ(w.offsets.size(), w.starts.size());
    int offset = 0;
    for (std::size_t i = 0; i < w.starts.size(); ++i) {
        EXPECT_EQ(w.offsets[i], offset);
        offset += w.counts[i];
        EXPECT_GE(w.starts[i], 0);
        EXPECT_LE(w.starts[i] + w.counts[i], 211);
        EXPECT_NEAR(sumOf(w, i), 1.0f, 1e-6f) << i;
    }
    EXPECT_EQ(static_cast<std::size_t>(offset), w.weights.size());
}

TEST(FilterWeightsTest, EnlargingKeepsSevenTapsAndReducingWidensThem) {
    for (double factor : {1.01, 1.5, 2.0, 5.33, 40.0}) {
        FilterWeights w(static_cast<int>(100 * factor), 0, 100, 100);
        for (int count : w.counts) {
            EXPECT_LE(count, 7) << factor;
        }
    }
    for (double s : {1.5, 2.0, 3.7, 10.0}) {
        const int sourceCount = 4000;
        FilterWeights w(static_cast<int>(sourceCount / s), 0, sourceCount, sourceCount);
        const double scale = sourceCount / static_cast<double>(w.outputCount());
        const std::size_t middle = w.starts.size() / 2;
        // Support 3s on each side: about 6s + 1 taps, never more than 6s + 2.
        EXPECT_GE(w.counts[middle], static_cast<int>(std::floor(6 * scale)) - 1) << s;
        EXPECT_LE(w.counts[middle], static_cast<int>(std::ceil(6 * scale)) + 1) << s;
    }
}

TEST(FilterWeightsTest, TapsOnWholeFilterWidthsAreExactlyZero) {
    // Reducing by exactly 3: the centre of output i lies on source 3i + 1, so the taps 3, 6 and 9 samples
    // away sit on the kernel's zeros at 1, 2 and 3 filter widths.
    FilterWeights w(30, 0, 90, 90);
    for (std::size_t i = 3; i < 27; ++i) {
        const int centre = 3 * static_cast<int>(i) + 1;
        for (int k = 0; k < w.counts[i]; ++k) {
            const int distance = w.starts[i] + k - centre;
            if (distance != 0 && distance % 3 == 0) {
                EXPECT_EQ(w.weights[static_cast<std::size_t>(w.offsets[i] + k)], 0.0f)
                    << i << ' ' << distance;
            }
        }
    }
}

TEST(FilterWeightsTest, TapsBeyondTheSourceFoldOntoTheEdge) {
    // Two outputs from one source sample: all taps fold onto it, so each output is that sample exactly.
    FilterWeights single(2, 0, 1, 1);
    EXPECT_EQ(single.counts, (std::vector<int>{1, 1}));
    EXPECT_EQ(single.weights, (std::vector<float>{1, 1}));
    // A crop starting left of the source: the first output's taps all land on sample 0 and beyond.
    FilterWeights outside(10, -5, 10, 10);
    EXPECT_EQ(outside.starts[0], 0);
    EXPECT_NEAR(sumOf(outside, 0), 1.0f, 1e-6f);
}

TEST(FilterWeightsTest, ShiftingMovesOnlyStartsAndUsedCoversReadSamples) {
    FilterWeights w(40, 10.5, 60, 100);
    const IndexRange all = w.used();
    EXPECT_EQ(all.lowerBound, w.starts.front());
    EXPECT_EQ(all.upperBound, w.starts.back() + w.counts.back());
    const IndexRange some = w.used({5, 9});
    EXPECT_EQ(some.lowerBound, w.starts[5]);
    EXPECT_EQ(some.upperBound, w.starts[8] + w.counts[8]);

    FilterWeights moved = w.shifted(-all.lowerBound);
    EXPECT_EQ(moved.counts, w.counts);
    EXPECT_EQ(moved.offsets, w.offsets);
    EXPECT_EQ(moved.weights, w.weights);
    for (std::size_t i = 0; i < w.starts.size(); ++i) {
        EXPECT_EQ(moved.starts[i], w.starts[i] - all.lowerBound);
    }
    EXPECT_EQ(moved.used().lowerBound, 0);
}
