// Every vector level this processor can run against the one-pixel description of each loop, bit for bit,
// on runs whose lengths and starts fall on and off every vector width (4, 8 and 16 floats) and on its
// blocks of eight vectors.
#include "PrintKit/render/resample/VectorKernels.h"

#include "PrintKit/render/color/ToneCurves.h"
#include "PrintKit/settings/OutputSharpening.h"
#include "PrintKit/support/Rounding.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

using namespace PrintKit;
using Processor::VectorLevel;

namespace {

std::vector<VectorLevel> runnableLevels() {
    std::vector<VectorLevel> levels;
    for (VectorLevel level : {VectorLevel::baseline, VectorLevel::avx2, VectorLevel::avx512}) {
        if (level <= Processor::supportedVectorLevel()) {
            levels.push_back(level);
        }
    }
    return levels;
}

// Values around 0…1 with a few beyond, some exact halves of a 16-bit step.
std::vector<float> randomFloats(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-0.2f, 1.2f);
    std::vector<float> v(count);
    for (std::size_t i = 0; i < count; ++i) {
        v[i] = i % 7 == 3 ? (static_cast<float>(random() % 65536) + 0.5f) / 65535.0f : value(random);
    }
    return v;
}

bool sameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

float unit(float x) {
    return x > 0 ? (x < 1 ? x : 1) : 0;
}

// The run lengths every loop is tried on: every length up to three blocks of the widest level, then a few
// long ones.
std::vector<std::size_t> lengths() {
    std::vector<std::size_t> n;
    for (std::size_t i = 0; i <= 3 * 8 * 16 + 5; ++i) {
        n.push_back(i);
    }
    for (std::size_t i : {1021u, 4096u, 4099u}) {
        n.push_back(i);
    }
    return n;
}

} // namespace

TEST(VectorKernelsTest, EveryLevelQuantizesAndEncodesAsTheOnePixelSteps) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> in = randomFloats(4099, 1);
    for (std::size_t i = 0; i < in.size(); i += 37) {
        in[i] = std::array<float, 5>{nan, inf, -inf, -0.0f, 1.0f}[i % 5];
    }
    // Four tables of a curve-like shape; the fourth all 1, as EncodingTables makes it.
    std::vector<float> tables(4 * ToneCurves::encodingSize, 1.0f);
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < ToneCurves::encodingSize; ++i) {
            tables[c * ToneCurves::encodingSize + i] = std::pow(i / 4096.0f, 0.4f + 0.1f * c);
        }
    }
    for (VectorLevel level : runnableLevels()) {
        const VectorKernels::Table& k = VectorKernels::forLevel(level);
        SCOPED_TRACE(std::string(Processor::name(level)));
        for (std::size_t n : lengths()) {
            for (std::size_t start : {0u, 1u, 4u}) {
                if (start + n > in.size()) {
                    continue;
                }
                std::vector<std::uint16_t> q(n + 1, 0xABCD);
                k.quantize(in.data() + start, q.data(), n);
                for (std::size_t i = 0; i < n; ++i) {
                    ASSERT_EQ(q[i], Rounding::sample16(unit(in[start + i]) * 65535.0f)) << n << " " << i;
                }
                ASSERT_EQ(q[n], 0xABCD) << "written past the run of " << n;
            }
            if (n % 4 != 0) {
                continue; // encoding takes whole pixels
            }
            std::vector<float> out(n + 1, 7.0f);
            const std::size_t done =
                k.encode(in.data(), out.data(), n, tables.data(), ToneCurves::encodingSize);
            ASSERT_LE(done, n);
            if (level != VectorLevel::baseline) {
                ASSERT_GT(done + 8, n) << "the vector loop left whole vectors to the caller";
            }
            for (std::size_t i = 0; i < done; ++i) {
                const float expected =
                    ToneCurves::encode(tables.data() + (i & 3) * ToneCurves::encodingSize, in[i]);
                ASSERT_TRUE(sameBits(out[i], expected)) << n << " " << i << ": " << out[i] << " " << expected;
            }
            ASSERT_EQ(out[done], 7.0f);
        }
    }
}

TEST(VectorKernelsTest, EveryLevelSharpensAlongTheRowAsThePixelByPixelMask) {
    const std::vector<float> in = randomFloats(4 * 1100, 2);
    for (VectorLevel level : runnableLevels()) {
        const VectorKernels::Table& k = VectorKernels::forLevel(level);
        SCOPED_TRACE(std::string(Processor::name(level)));
        // 3, 7, 13 and 37 taps: radius 1 to 18.
        for (double resolution : {72.0, 300.0, 720.0, 2400.0}) {
            const std::vector<float> w = kernel(resolution);
            const int n = static_cast<int>(w.size());
            const int r = n / 2;
            for (int width : {1, 2, r, 2 * r, 2 * r + 1, 2 * r + 3, 2 * r + 16, 2 * r + 33, 97, 1100}) {
                if (width < 1) {
                    continue;
                }
                std::vector<float> out(4 * width + 4, 9.0f);
                k.sharpenRow(in.data(), out.data(), width, w.data(), n, 0.8f);
                for (int x = 0; x < width; ++x) {
                    for (int c = 0; c < 4; ++c) {
                        float sum = 0;
                        for (int t = 0; t < n; ++t) {
                            const int j = std::clamp(x + t - r, 0, width - 1);
                            sum = sum + in[4 * j + c] * w[t];
                        }
                        const float p = in[4 * x + c];
                        ASSERT_TRUE(sameBits(out[4 * x + c], p + (p - sum) * 0.8f))
                            << n << " taps, width " << width << ", pixel " << x << ", channel " << c;
                    }
                }
                ASSERT_EQ(out[4 * width], 9.0f);
            }
        }
    }
}

TEST(VectorKernelsTest, EveryLevelSharpensDownTheColumnsAndRoundsAsThePixelByPixelMask) {
    const int taps = 13;
    const std::vector<float> w = kernel(720);
    ASSERT_EQ(w.size(), std::size_t{taps});
    const std::size_t rowFloats = 4200;
    const int most = 5;
    std::vector<std::vector<float>> rows;
    std::vector<const float*> pointers;
    for (int j = 0; j < most + taps - 1; ++j) {
        rows.push_back(randomFloats(rowFloats, 10 + j));
        pointers.push_back(rows.back().data());
    }
    // One row given twice, as at the top of a band where the taps are clamped.
    pointers[0] = pointers[1];
    for (VectorLevel level : runnableLevels()) {
        const VectorKernels::Table& k = VectorKernels::forLevel(level);
        SCOPED_TRACE(std::string(Processor::name(level)));
        // Rows in pairs and one left over.
        for (int outputs : {1, 2, most}) {
            for (std::size_t floats : lengths()) {
                for (std::size_t first : {0u, 4u, 100u}) {
                    std::vector<std::vector<std::uint16_t>> q(outputs,
                                                              std::vector<std::uint16_t>(floats + 1, 0xABCD));
                    std::vector<std::uint16_t*> into;
                    for (auto& row : q) {
                        into.push_back(row.data());
                    }
                    k.sharpenColumns(pointers.data(), outputs, first, floats, w.data(), taps, 1.4f,
                                     into.data());
                    for (int i = 0; i < outputs; ++i) {
                        for (std::size_t f = 0; f < floats; ++f) {
                            float sum = 0;
                            for (int t = 0; t < taps; ++t) {
                                sum = sum + pointers[i + t][first + f] * w[t];
                            }
                            const float p = pointers[i + taps / 2][first + f];
                            ASSERT_EQ(q[i][f], Rounding::sample16(unit(p + (p - sum) * 1.4f) * 65535.0f))
                                << "output " << i << " of " << outputs << ", " << floats << " floats from "
                                << first << ", float " << f;
                        }
                        ASSERT_EQ(q[i][floats], 0xABCD);
                    }
                }
            }
        }
    }
}

TEST(VectorKernelsTest, EveryLevelSumsTheResamplersRowsInTapOrderAndSetsAlpha) {
    const std::ptrdiff_t stride = 4 * 300;
    const std::vector<float> input = randomFloats(static_cast<std::size_t>(stride) * 20, 3);
    const std::vector<float> weights = randomFloats(64, 4);
    // Three output rows of 6, 1 and 11 taps, starting at different input rows and weights.
    const float* rowTaps[3] = {input.data(), input.data() + 5 * stride, input.data() + 2 * stride};
    const float* rowWeights[3] = {weights.data(), weights.data() + 10, weights.data() + 30};
    const int rowCounts[3] = {6, 1, 11};
    for (VectorLevel level : runnableLevels()) {
        const VectorKernels::Table& k = VectorKernels::forLevel(level);
        SCOPED_TRACE(std::string(Processor::name(level)));
        for (std::ptrdiff_t x0 : {0, 4, 36}) {
            for (std::size_t length : lengths()) {
                const auto span = static_cast<std::ptrdiff_t>(length);
                if (x0 + span > stride) {
                    continue;
                }
                std::vector<std::vector<float>> out(3, std::vector<float>(stride + 1, 5.0f));
                float* outputs[3] = {out[0].data(), out[1].data(), out[2].data()};
                k.sumRows(rowTaps, rowWeights, rowCounts, 3, stride, x0, span, outputs);
                for (int i = 0; i < 3; ++i) {
                    for (std::ptrdiff_t f = 0; f < stride + 1; ++f) {
                        float expected = 5.0f;
                        if (f >= x0 && f < x0 + span) {
                            expected = 0.0f;
                            for (int t = 0; t < rowCounts[i]; ++t) {
                                expected = expected + rowTaps[i][t * stride + f] * rowWeights[i][t];
                            }
                            if (f % 4 == 3) {
                                expected = 1.0f;
                            }
                        }
                        ASSERT_TRUE(sameBits(out[i][f], expected))
                            << "row " << i << ", span " << span << " from " << x0 << ", float " << f;
                    }
                }
            }
        }
    }
}
