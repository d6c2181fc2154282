#include "PrintKit/settings/OutputSharpening.h"

#include "TestSupport.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <sstream>
#include <thread>

using namespace PrintKit;

namespace {

std::vector<std::uint32_t> bits(const std::vector<float>& values) {
    std::vector<std::uint32_t> out(values.size());
    std::memcpy(out.data(), values.data(), values.size() * sizeof(float));
    return out;
}

bool sameBits(const std::vector<Pixel>& a, const std::vector<Pixel>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Pixel)) == 0;
}

std::vector<Pixel> noise(int width, int rows, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-0.2f, 1.2f);
    std::vector<Pixel> pixels(static_cast<std::size_t>(width) * rows);
    for (auto& p : pixels) {
        p = Pixel{value(random), value(random), value(random), value(random)};
    }
    return pixels;
}

// The unsharp mask written out plainly, one pixel and one channel at a time, every tap clamped.
std::vector<Pixel> plainSharpen(std::vector<Pixel> p, int width, int rows, const std::vector<float>& w,
                                float a) {
    const int n = static_cast<int>(w.size());
    const int r = n / 2;
    auto channel = [](Pixel& px, int c) -> float& {
        return c == 0 ? px.r : c == 1 ? px.g : c == 2 ? px.b : px.a;
    };
    auto at = [&](std::vector<Pixel>& buffer, int x, int y) -> Pixel& {
        return buffer[static_cast<std::size_t>(y) * width + x];
    };
    std::vector<Pixel> t(p.size());
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 4; ++c) {
                float blur = 0;
                for (int k = 0; k < n; ++k) {
                    int j = std::min(std::max(x + k - r, 0), width - 1);
                    blur = blur + channel(at(p, j, y), c) * w[k];
                }
                float v = channel(at(p, x, y), c);
                channel(at(t, x, y), c) = v + (v - blur) * a;
            }
        }
    }
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                float blur = 0;
                for (int k = 0; k < n; ++k) {
                    int i = std::min(std::max(y + k - r, 0), rows - 1);
                    blur = blur + channel(at(t, x, i), c) * w[k];
                }
                float v = channel(at(t, x, y), c);
                v = v + (v - blur) * a;
                if (!(v > 0) && !std::isnan(v)) {
                    v = 0; // negative zero too
                }
                channel(at(p, x, y), c) = v > 1 ? 1 : v;
            }
            at(p, x, y).a = 1;
        }
    }
    return p;
}

} // namespace

// The oracle is Python's own double arithmetic and rounding to single precision, not this library.
TEST(OutputSharpeningTest, KernelMatchesAnIndependentComputation) {
    const std::vector<double> resolutions{0, 72, 108.857, 150, 300, 360, 720, 1200, 1440, 2880, 5760, 9600};
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder / "kernel.py", R"(import math, struct, sys
for d in map(float, sys.argv[1:]):
    sigma = max(d * (0.07 / 25.4), 0.3)
    r = math.ceil(3 * sigma)
    g = [math.exp(-float(i * i) / (sigma * (sigma + sigma))) for i in range(-r, r + 1)]
    total = 0.0
    for v in g:
        total += v
    print(' '.join(str(struct.unpack('<I', struct.pack('<f', v / total))[0]) for v in g))
)");
    std::string command = "python3 '" + (folder / "kernel.py").string() + "'";
    for (double d : resolutions) {
        command += " " + std::to_string(d);
    }
    std::string output;
    ASSERT_EQ(TestSupport::run(command, &output), 0) << "python3 is needed for this test";
    std::istringstream lines(output);
    for (double d : resolutions) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << d;
        std::istringstream numbers(line);
        std::vector<std::uint32_t> expected;
        for (std::uint32_t word; numbers >> word;) {
            expected.push_back(word);
        }
        EXPECT_EQ(bits(kernel(d)), expected) << d << " dpi";
    }
}

TEST(OutputSharpeningTest, KernelIsANormalisedSymmetricGaussianOfFixedSizeOnPaper) {
    const std::pair<double, std::size_t> sizes[] = {{72, 3}, {300, 7}, {360, 7}, {720, 13}, {1440, 25}};
    for (const auto& [dpi, count] : sizes) {
        auto weights = kernel(dpi);
        ASSERT_EQ(weights.size(), count) << dpi;
        double sum = 0;
        for (std::size_t k = 0; k < count; ++k) {
            EXPECT_EQ(weights[k], weights[count - 1 - k]);
            sum += weights[k];
        }
        EXPECT_NEAR(sum, 1.0, 1e-6) << dpi;
    }
    EXPECT_NEAR(kernel(72)[0], 0.003836, 5e-7);
    EXPECT_NEAR(kernel(72)[1], 0.992328, 5e-7);
    EXPECT_NEAR(kernel(360)[3], 0.402205, 5e-7);
    EXPECT_NEAR(kernel(720)[6], 0.201242, 5e-7);
    EXPECT_NEAR(kernel(1440)[12], 0.100687, 5e-7);
    EXPECT_EQ(kernel(108.857), kernel(0));
}

TEST(OutputSharpeningTest, UnusableResolutionsGetBoundedKernels) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const auto smallest = kernel(72);
    for (double d : {nan, -infinity, -720.0, 0.0, -0.0, 4.9e-324}) {
        EXPECT_EQ(kernel(d), smallest) << d;
        EXPECT_EQ(halo(OutputSharpening::high, d), 1) << d;
    }
    const auto largest = kernel(maximumSharpeningResolution);
    EXPECT_EQ(largest.size(), 161u);
    for (double d : {9600.5, 1e7, 1e300, std::numeric_limits<double>::max(), infinity}) {
        EXPECT_EQ(kernel(d), largest) << d;
        EXPECT_EQ(halo(OutputSharpening::low, d), 80) << d;
    }
    EXPECT_EQ(halo(OutputSharpening::standard, 720), 6);
    EXPECT_EQ(halo(OutputSharpening::off, 720), 0);

    // A buffer much smaller than the kernel: every tap lands on an edge pixel.
    for (double d : {nan, infinity}) {
        auto pixels = noise(3, 2, 7);
        auto expected = plainSharpen(pixels, 3, 2, kernel(d), amount(OutputSharpening::high));
        apply(OutputSharpening::high, pixels.data(), 3, 2, d);
        EXPECT_TRUE(sameBits(pixels, expected)) << d;
    }
}

TEST(OutputSharpeningTest, OffAndEmptyBuffersAreLeftAlone) {
    auto pixels = noise(16, 9, 1);
    pixels[3].r = std::numeric_limits<float>::quiet_NaN();
    const auto before = pixels;
    apply(OutputSharpening::off, pixels.data(), 16, 9, 720);
    EXPECT_TRUE(sameBits(pixels, before));
    apply(OutputSharpening::high, pixels.data(), 0, 9, 720);
    apply(OutputSharpening::high, pixels.data(), 16, 0, 720);
    apply(OutputSharpening::high, pixels.data(), -4, 9, 720);
    apply(OutputSharpening::high, nullptr, 16, 9, 720);
    EXPECT_TRUE(sameBits(pixels, before));
}

TEST(OutputSharpeningTest, MatchesTheStraightforwardArithmeticBitForBit) {
    struct Case {
        int width, rows;
        double dpi;
    };
    // Ordinary blocks, blocks narrower or shorter than the kernel, single columns and rows.
    const Case cases[] = {{37, 23, 720}, {64, 40, 300}, {5, 40, 1440}, {40, 5, 1440},
                          {1, 9, 720},   {9, 1, 720},   {13, 13, 360}, {200, 3, 2880}};
    unsigned seed = 11;
    for (const auto& c : cases) {
        for (auto level : {OutputSharpening::low, OutputSharpening::standard, OutputSharpening::high}) {
            auto pixels = noise(c.width, c.rows, ++seed);
            auto expected = plainSharpen(pixels, c.width, c.rows, kernel(c.dpi), amount(level));
            apply(level, pixels.data(), c.width, c.rows, c.dpi);
            EXPECT_TRUE(sameBits(pixels, expected)) << c.width << "x" << c.rows << " at " << c.dpi << " dpi";
        }
    }
}

TEST(OutputSharpeningTest, FlatAreasKeepTheirColourInsideTheUnitRange) {
    std::vector<Pixel> flat(12 * 7, Pixel{0.25f, 0.5f, 0.75f, 0.3f});
    apply(OutputSharpening::high, flat.data(), 12, 7, 720);
    for (const auto& p : flat) {
        EXPECT_NEAR(p.r, 0.25f, 1e-6f);
        EXPECT_NEAR(p.g, 0.5f, 1e-6f);
        EXPECT_NEAR(p.b, 0.75f, 1e-6f);
        EXPECT_EQ(p.a, 1.0f);
    }
    std::vector<Pixel> outside(6 * 6, Pixel{1.2f, -0.3f, -0.0f, 5.0f});
    apply(OutputSharpening::low, outside.data(), 6, 6, 360);
    for (const auto& p : outside) {
        EXPECT_EQ(p.r, 1.0f);
        EXPECT_EQ(p.g, 0.0f);
        EXPECT_FALSE(std::signbit(p.g));
        EXPECT_FALSE(std::signbit(p.b)); // a negative zero comes out as +0
        EXPECT_EQ(p.a, 1.0f);
    }
}

// What the band pipeline does: each band is sharpened with `halo` rows above and below (fewer at the
// image's edges) and only its own rows are kept.
TEST(OutputSharpeningTest, BandsWithHaloGiveTheSameBitsAsTheWholeImage) {
    const int width = 23, rows = 301, band = 50;
    const double dpi = 720;
    const auto level = OutputSharpening::standard;
    const auto original = noise(width, rows, 99);
    auto whole = original;
    apply(level, whole.data(), width, rows, dpi);

    auto inBands = [&](int extra) {
        std::vector<Pixel> result(original.size());
        for (int top = 0; top < rows; top += band) {
            const int bottom = std::min(top + band, rows);
            const int from = std::max(top - extra, 0);
            const int to = std::min(bottom + extra, rows);
            std::vector<Pixel> piece(original.begin() + from * width, original.begin() + to * width);
            apply(level, piece.data(), width, to - from, dpi);
            std::copy(piece.begin() + (top - from) * width, piece.begin() + (bottom - from) * width,
                      result.begin() + top * width);
        }
        return result;
    };
    EXPECT_TRUE(sameBits(inBands(halo(level, dpi)), whole));
    // Without the halo the rows next to band edges come out differently: the halo is what makes them equal.
    EXPECT_FALSE(sameBits(inBands(0), whole));
}

TEST(OutputSharpeningTest, ConcurrentCallsOnSeparateBuffersDoNotDisturbEachOther) {
    const auto original = noise(97, 61, 5);
    auto expected = original;
    apply(OutputSharpening::high, expected.data(), 97, 61, 1440);
    std::vector<std::vector<Pixel>> copies(4, original);
    std::vector<std::thread> threads;
    for (auto& copy : copies) {
        threads.emplace_back([&copy] { apply(OutputSharpening::high, copy.data(), 97, 61, 1440); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& copy : copies) {
        EXPECT_TRUE(sameBits(copy, expected));
    }
}
