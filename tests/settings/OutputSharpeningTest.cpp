#include "PrintKit/settings/OutputSharpening.h"

#include "TestSupport.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <sstream>

using namespace PrintKit;

namespace {

const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();

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

// The unsharp mask written out plainly, channel by channel, every tap clamped to the buffer.
std::vector<Pixel> plainSharpen(std::vector<Pixel> p, int width, int rows, const std::vector<float>& w,
                                float a) {
    const int r = static_cast<int>(w.size()) / 2;
    auto at = [&](std::vector<Pixel>& v, int x, int y, int c) -> float& {
        Pixel& px =
            v[static_cast<std::size_t>(std::clamp(y, 0, rows - 1)) * width + std::clamp(x, 0, width - 1)];
        return c == 0 ? px.r : c == 1 ? px.g : c == 2 ? px.b : px.a;
    };
    std::vector<Pixel> t(p.size());
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 4; ++c) {
                float blur = 0;
                for (int k = 0; k < static_cast<int>(w.size()); ++k) {
                    blur = blur + at(p, x + k - r, y, c) * w[k];
                }
                at(t, x, y, c) = at(p, x, y, c) + (at(p, x, y, c) - blur) * a;
            }
        }
    }
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                float blur = 0;
                for (int k = 0; k < static_cast<int>(w.size()); ++k) {
                    blur = blur + at(t, x, y + k - r, c) * w[k];
                }
                float v = at(t, x, y, c) + (at(t, x, y, c) - blur) * a;
                at(p, x, y, c) = std::isnan(v) ? v : v > 1 ? 1.0f : v > 0 ? v : 0.0f; // -0 becomes +0
            }
            at(p, x, y, 3) = 1;
        }
    }
    return p;
}

} // namespace

// The oracle is Python's double arithmetic and rounding to single precision, not this library.
TEST(OutputSharpeningTest, KernelsMatchAnIndependentComputationAndStayBounded) {
    const std::vector<double> resolutions{0, 72, 108.857, 300, 720, 1440, 5760, 9600};
    std::string command = "python3 '" + TestSupport::fixture("sharpening/kernel.py").string() + "'", output;
    for (double d : resolutions) {
        command += " " + std::to_string(d);
    }
    ASSERT_EQ(TestSupport::run(command, &output), 0) << "python3 is needed for this test";
    std::istringstream lines(output);
    for (double d : resolutions) {
        std::string line;
        std::getline(lines, line);
        std::istringstream numbers(line);
        std::vector<std::uint32_t> expected;
        for (std::uint32_t word; numbers >> word;) {
            expected.push_back(word);
        }
        const auto weights = kernel(d);
        std::vector<std::uint32_t> actual(weights.size());
        std::memcpy(actual.data(), weights.data(), weights.size() * sizeof(float));
        EXPECT_EQ(actual, expected) << d << " dpi";
    }
    EXPECT_NEAR(kernel(360)[3], 0.402205, 5e-7); // a published value, as a check on the oracle itself
    // Resolutions that are no number, zero or negative get the smallest kernel, anything above 9600 dpi the
    // 9600 dpi one: never a kernel without bound.
    for (double d : {notANumber, -infinity, -720.0, 0.0, 4.9e-324}) {
        EXPECT_EQ(kernel(d), kernel(72)) << d;
        EXPECT_EQ(halo(OutputSharpening::high, d), 1) << d;
    }
    EXPECT_EQ(kernel(maximumSharpeningResolution).size(), 161u);
    for (double d : {9600.5, 1e300, infinity}) {
        EXPECT_EQ(kernel(d), kernel(maximumSharpeningResolution)) << d;
        EXPECT_EQ(halo(OutputSharpening::low, d), 80) << d;
    }
    EXPECT_EQ(halo(OutputSharpening::standard, 720), 6);
    EXPECT_EQ(halo(OutputSharpening::off, 720), 0);
}

TEST(OutputSharpeningTest, MatchesTheStraightforwardArithmeticBitForBit) {
    struct Case {
        int width, rows;
        double dpi;
    };
    // Ordinary blocks, blocks narrower or shorter than the kernel, single columns and rows.
    const Case cases[] = {{37, 23, 720}, {64, 40, 300}, {5, 40, 1440},
                          {40, 5, 1440}, {1, 9, 720},   {9, 1, 720}};
    unsigned seed = 11;
    for (const auto& c : cases) {
        for (auto level : {OutputSharpening::low, OutputSharpening::standard, OutputSharpening::high}) {
            auto pixels = noise(c.width, c.rows, ++seed);
            auto expected = plainSharpen(pixels, c.width, c.rows, kernel(c.dpi), amount(level));
            apply(level, pixels.data(), c.width, c.rows, c.dpi);
            EXPECT_TRUE(sameBits(pixels, expected)) << c.width << "x" << c.rows << " at " << c.dpi;
        }
    }
}

TEST(OutputSharpeningTest, KeepsColoursInTheUnitRangeAndLeavesOffAlone) {
    std::vector<Pixel> outside(6 * 6, Pixel{1.2f, -0.3f, -0.0f, 5.0f});
    apply(OutputSharpening::low, outside.data(), 6, 6, 360);
    for (const auto& p : outside) {
        EXPECT_EQ(p.r, 1.0f);
        EXPECT_EQ(p.a, 1.0f);
        EXPECT_FALSE(std::signbit(p.g) || std::signbit(p.b)); // never a negative zero
    }
    std::vector<Pixel> tiny(3 * 2,
                            Pixel{0.5f, 0.5f, 0.5f, 1}); // far smaller than the kernel: flat stays flat
    apply(OutputSharpening::high, tiny.data(), 3, 2, infinity);
    EXPECT_NEAR(tiny[5].g, 0.5f, 1e-6f);
    auto pixels = noise(16, 9, 1);
    pixels[3].r = std::numeric_limits<float>::quiet_NaN();
    const auto before = pixels;
    apply(OutputSharpening::off, pixels.data(), 16, 9, 720);
    apply(OutputSharpening::high, pixels.data(), 0, 9, 720);
    apply(OutputSharpening::high, nullptr, 16, 9, 720);
    EXPECT_TRUE(sameBits(pixels, before));
}

// What the band pipeline does: a band is sharpened with `halo` rows above and below (fewer at the image's
// edges) and only its own rows are kept.
TEST(OutputSharpeningTest, BandsWithHaloGiveTheSameBitsAsTheWholeImage) {
    const int width = 23, rows = 301, band = 50;
    const auto level = OutputSharpening::standard;
    const auto original = noise(width, rows, 99);
    auto whole = original;
    apply(level, whole.data(), width, rows, 720);
    auto inBands = [&](int extra) {
        std::vector<Pixel> result(original.size());
        for (int top = 0; top < rows; top += band) {
            const int bottom = std::min(top + band, rows), from = std::max(top - extra, 0),
                      to = std::min(bottom + extra, rows);
            std::vector<Pixel> piece(original.begin() + from * width, original.begin() + to * width);
            apply(level, piece.data(), width, to - from, 720);
            std::copy(piece.begin() + (top - from) * width, piece.begin() + (bottom - from) * width,
                      result.begin() + top * width);
        }
        return result;
    };
    EXPECT_TRUE(sameBits(inBands(halo(level, 720)), whole));
    EXPECT_FALSE(sameBits(inBands(0), whole)); // the halo is what makes band edges equal
}
