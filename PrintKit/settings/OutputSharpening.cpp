#include "PrintKit/settings/OutputSharpening.h"

#include "PrintKit/support/ParallelLoop.h"

#include <cmath>
#include <cstddef>
#include <memory>

namespace PrintKit {

namespace {

// 0.07 mm in inches; the blur has this standard deviation on paper at every resolution.
constexpr double sigmaPerDot = 0.07 / 25.4;
constexpr double smallestSigma = 0.3;

double sigmaFor(double resolution) {
    double dots = resolution;
    if (!(dots > 0)) { // NaN as well as zero and below: all mean "no usable resolution"
        dots = 0;
    }
    if (dots > maximumSharpeningResolution) {
        dots = maximumSharpeningResolution;
    }
    double sigma = dots * sigmaPerDot;
    return smallestSigma >= sigma ? smallestSigma : sigma;
}

int radiusFor(double sigma) {
    return static_cast<int>(std::ceil(3 * sigma));
}

// Keeps a value inside 0…1 the way the reference results were made: a negative zero comes out as +0 and a
// NaN stays NaN (the 16-bit rounding that follows decides what NaN becomes).
inline float clampUnit(float v) {
    float low = 0.0f >= v ? 0.0f : v;
    return 1.0f < low ? 1.0f : low;
}

} // namespace

std::vector<float> kernel(double resolution) {
    const double sigma = sigmaFor(resolution);
    const int r = radiusFor(sigma);
    std::vector<double> g;
    g.reserve(static_cast<std::size_t>(2 * r + 1));
    for (int i = -r; i <= r; ++i) {
        g.push_back(std::exp(-static_cast<double>(i * i) / (sigma * (sigma + sigma))));
    }
    double sum = 0;
    for (double value : g) {
        sum = sum + value;
    }
    std::vector<float> weights;
    weights.reserve(g.size());
    for (double value : g) {
        weights.push_back(static_cast<float>(value / sum));
    }
    return weights;
}

int halo(OutputSharpening level, double resolution) {
    if (level == OutputSharpening::off) {
        return 0;
    }
    return radiusFor(sigmaFor(resolution));
}

void apply(OutputSharpening level, Pixel* pixels, int width, int rows, double resolution) {
    if (level == OutputSharpening::off || pixels == nullptr || width < 1 || rows < 1) {
        return;
    }
    const std::vector<float> weights = kernel(resolution);
    const float* w = weights.data();
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(weights.size());
    const std::ptrdiff_t r = n / 2;
    const float a = amount(level);
    const std::ptrdiff_t columns = width;
    const std::ptrdiff_t height = rows;
    auto scratch = std::make_unique_for_overwrite<Pixel[]>(static_cast<std::size_t>(columns * height));
    Pixel* t = scratch.get();

    // Horizontal blur and unsharp step, one row per index. The taps of the first and last r columns are
    // clamped to the edge; the columns between read their taps directly. Both orders of arithmetic are the
    // same, so the split changes speed only.
    ParallelLoop::run(rows, [&](int y) {
        const Pixel* source = pixels + y * columns;
        Pixel* target = t + y * columns;
        auto finish = [&](std::ptrdiff_t x, float br, float bg, float bb, float ba) {
            const Pixel p = source[x];
            target[x] =
                Pixel{p.r + (p.r - br) * a, p.g + (p.g - bg) * a, p.b + (p.b - bb) * a, p.a + (p.a - ba) * a};
        };
        auto clampedColumn = [&](std::ptrdiff_t x, std::ptrdiff_t k) {
            std::ptrdiff_t j = x + k - r;
            return j < 0 ? 0 : (j > columns - 1 ? columns - 1 : j);
        };
        auto edge = [&](std::ptrdiff_t x) {
            float br = 0, bg = 0, bb = 0, ba = 0;
            for (std::ptrdiff_t k = 0; k < n; ++k) {
                const Pixel q = source[clampedColumn(x, k)];
                br = br + q.r * w[k];
                bg = bg + q.g * w[k];
                bb = bb + q.b * w[k];
                ba = ba + q.a * w[k];
            }
            finish(x, br, bg, bb, ba);
        };
        const std::ptrdiff_t interiorBegin = r < columns ? r : columns;
        const std::ptrdiff_t interiorEnd = columns - r > interiorBegin ? columns - r : interiorBegin;
        for (std::ptrdiff_t x = 0; x < interiorBegin; ++x) {
            edge(x);
        }
        for (std::ptrdiff_t x = interiorBegin; x < interiorEnd; ++x) {
            const Pixel* tap = source + x - r;
            float br = 0, bg = 0, bb = 0, ba = 0;
            for (std::ptrdiff_t k = 0; k < n; ++k) {
                br = br + tap[k].r * w[k];
                bg = bg + tap[k].g * w[k];
                bb = bb + tap[k].b * w[k];
                ba = ba + tap[k].a * w[k];
            }
            finish(x, br, bg, bb, ba);
        }
        for (std::ptrdiff_t x = interiorEnd; x < columns; ++x) {
            edge(x);
        }
    });

    // Vertical blur into the pixel rows themselves (this pass reads only the scratch rows), then the
    // unsharp step against the horizontal result and the clamp.
    ParallelLoop::run(rows, [&](int y) {
        Pixel* target = pixels + y * columns;
        for (std::ptrdiff_t x = 0; x < columns; ++x) {
            target[x] = Pixel{0, 0, 0, 0};
        }
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            std::ptrdiff_t i = y + k - r;
            i = i < 0 ? 0 : (i > height - 1 ? height - 1 : i);
            const Pixel* row = t + i * columns;
            const float wk = w[k];
            for (std::ptrdiff_t x = 0; x < columns; ++x) {
                target[x].r = target[x].r + row[x].r * wk;
                target[x].g = target[x].g + row[x].g * wk;
                target[x].b = target[x].b + row[x].b * wk;
                target[x].a = target[x].a + row[x].a * wk;
            }
        }
        const Pixel* own = t + y * columns;
        for (std::ptrdiff_t x = 0; x < columns; ++x) {
            const Pixel s = own[x];
            const Pixel b = target[x];
            target[x] = Pixel{clampUnit(s.r + (s.r - b.r) * a), clampUnit(s.g + (s.g - b.g) * a),
                              clampUnit(s.b + (s.b - b.b) * a), 1.0f};
        }
    });
}

} // namespace PrintKit
