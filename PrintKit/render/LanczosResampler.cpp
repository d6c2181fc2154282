#include "PrintKit/render/LanczosResampler.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace PrintKit {

namespace {

// Four lanes of one pixel. With -ffp-contract=off the multiply and the add stay two roundings, exactly as
// the published weights' digests assume; the vector form only does four channels at once.
typedef float Lanes __attribute__((vector_size(16)));

inline Lanes load(const Pixel& p) {
    Lanes v;
    std::memcpy(&v, &p, sizeof v);
    return v;
}

inline void store(Pixel& p, Lanes v) {
    std::memcpy(&p, &v, sizeof v);
}

inline Lanes splat(float w) {
    return Lanes{w, w, w, w};
}

std::size_t pixelCount(int columns, int rows) {
    auto c = static_cast<std::uint64_t>(columns);
    auto r = static_cast<std::uint64_t>(rows);
    if (r != 0 && c > std::numeric_limits<std::int64_t>::max() / sizeof(Pixel) / r) {
        throw std::length_error("pixel buffer too large");
    }
    return static_cast<std::size_t>(c * r);
}

// Uninitialised on purpose: every pixel is written before it is read.
Pixel* reserve(std::unique_ptr<Pixel[]>& buffer, std::size_t& capacity, std::size_t count) {
    if (count > capacity) {
        buffer.reset();
        capacity = 0;
        buffer.reset(new Pixel[count]);
        capacity = count;
    }
    return buffer.get();
}

} // namespace

LanczosResampler::LanczosResampler(std::shared_ptr<ResampleSource> source, const Rect& crop, int outputWidth,
                                   int outputHeight)
    : source_(std::move(source)), outputWidth_(outputWidth), outputHeight_(outputHeight) {
    assert(source_ && outputWidth >= 1 && outputHeight >= 1);
    const int sourceWidth = source_->width();
    const int sourceHeight = source_->height();
    horizontal_ =
        FilterWeights(outputWidth, crop.minX() * sourceWidth, crop.width() * sourceWidth, sourceWidth);
    columns_ = horizontal_.used();
    horizontal_ = horizontal_.shifted(-columns_.lowerBound);
    vertical_ =
        FilterWeights(outputHeight, crop.minY() * sourceHeight, crop.height() * sourceHeight, sourceHeight);
}

void LanczosResampler::render(IndexRange rows, Pixel* into) const {
    assert(!rows.isEmpty() && rows.lowerBound >= 0 && rows.upperBound <= outputHeight_);
    const IndexRange used = vertical_.used(rows);
    const std::size_t windowCount = pixelCount(columns_.count(), used.count());
    const std::size_t intermediateCount = pixelCount(outputWidth_, used.count());
    // A second thread rendering at the same time gets buffers of its own for the call.
    std::unique_lock guard(scratch_->lock, std::try_to_lock);
    Scratch own;
    Scratch& scratch = guard.owns_lock() ? *scratch_ : own;
    Pixel* window = reserve(scratch.window, scratch.windowCapacity, windowCount);
    source_->draw(columns_, used, window);
    Pixel* intermediate = reserve(scratch.intermediate, scratch.intermediateCapacity, intermediateCount);
    horizontalPass(horizontal_, window, columns_.count(), used.count(), intermediate);
    verticalPass(vertical_, rows, intermediate, used.lowerBound, outputWidth_, into);
}

void LanczosResampler::horizontalPass(const FilterWeights& taps, const Pixel* window, int windowWidth,
                                      int rowCount, Pixel* output) {
    const int width = taps.outputCount();
    const int* starts = taps.starts.data();
    const int* counts = taps.counts.data();
    const int* offsets = taps.offsets.data();
    const float* weights = taps.weights.data();
    parallel(rowCount, [&](int r) {
        const Pixel* source = window + static_cast<std::ptrdiff_t>(r) * windowWidth;
        Pixel* destination = output + static_cast<std::ptrdiff_t>(r) * width;
        for (int x = 0; x < width; ++x) {
            const Pixel* in = source + starts[x];
            const float* w = weights + offsets[x];
            const int n = counts[x];
            Lanes sum = splat(0.0f);
            for (int k = 0; k < n; ++k) {
                sum = sum + load(in[k]) * splat(w[k]);
            }
            store(destination[x], sum);
        }
    });
}

void LanczosResampler::verticalPass(const FilterWeights& taps, IndexRange rows, const Pixel* input,
                                    int inputFirstRow, int width, Pixel* output) {
    const auto stride = static_cast<std::ptrdiff_t>(width);
    parallel(rows.count(), [&](int i) {
        const auto y = static_cast<std::size_t>(rows.lowerBound + i);
        const int n = taps.counts[y];
        const float* w = taps.weights.data() + taps.offsets[y];
        const Pixel* first = input + (taps.starts[y] - inputFirstRow) * stride;
        Pixel* destination = output + i * stride;
        // Every pixel sums its taps in tap order from zero, exactly as a row-by-row accumulation would;
        // working through short blocks keeps the partial sums in the first-level cache for any tap count.
        constexpr std::ptrdiff_t block = 256;
        Lanes sums[block];
        for (std::ptrdiff_t x0 = 0; x0 < stride; x0 += block) {
            const std::ptrdiff_t span = std::min(block, stride - x0);
            for (std::ptrdiff_t x = 0; x < span; ++x) {
                sums[x] = splat(0.0f);
            }
            for (int k = 0; k < n; ++k) {
                const Pixel* in = first + k * stride + x0;
                const Lanes weight = splat(w[k]);
                for (std::ptrdiff_t x = 0; x < span; ++x) {
                    sums[x] = sums[x] + load(in[x]) * weight;
                }
            }
            for (std::ptrdiff_t x = 0; x < span; ++x) {
                Lanes sum = sums[x];
                sum[3] = 1.0f;
                store(destination[x0 + x], sum);
            }
        }
    });
}

} // namespace PrintKit
