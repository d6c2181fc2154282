#include "PrintKit/render/resample/LanczosResampler.h"

#include "PrintKit/render/resample/VectorKernels.h"

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

// Bytes of drawn source pixels held at once: a slice of rows that stays in the cache between the draw and
// the horizontal pass, and at least enough rows to give every processor a few.
constexpr std::size_t windowBytes = std::size_t{4} << 20;
constexpr int windowMinimumRows = 32;

// Room for `count` pixels, uninitialised on purpose (every pixel is written before it is read); the old
// contents are dropped when the buffer grows.
Pixel* reserve(PageBuffer& buffer, std::size_t count) {
    if (count * sizeof(Pixel) > buffer.size()) {
        buffer = PageBuffer();
        buffer = PageBuffer(count * sizeof(Pixel));
    }
    return buffer.as<Pixel>();
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
    // A second thread rendering at the same time gets buffers of its own for the call.
    std::unique_lock guard(scratch_->lock, std::try_to_lock);
    Scratch own;
    Scratch& scratch = guard.owns_lock() ? *scratch_ : own;
    filterRows(scratch, used);
    verticalPass(vertical_, rows, scratch.intermediate.as<Pixel>(), used.lowerBound, outputWidth_, into);
}

void LanczosResampler::filterRows(Scratch& scratch, IndexRange used) const {
    const std::size_t rowPixels = static_cast<std::size_t>(outputWidth_);
    const std::size_t needed = pixelCount(outputWidth_, used.count());
    // Rows held from the last call that this one starts with (bands go down the image).
    int kept = 0;
    if (used.lowerBound >= scratch.held.lowerBound && used.lowerBound < scratch.held.upperBound) {
        kept = std::min(scratch.held.upperBound, used.upperBound) - used.lowerBound;
    }
    const std::size_t keptPixels = static_cast<std::size_t>(kept) * rowPixels;
    const std::size_t from = static_cast<std::size_t>(used.lowerBound - scratch.held.lowerBound) * rowPixels;
    if (needed * sizeof(Pixel) > scratch.intermediate.size()) {
        PageBuffer larger(needed * sizeof(Pixel));
        if (kept > 0) {
            std::memcpy(larger.as<Pixel>(), scratch.intermediate.as<Pixel>() + from,
                        keptPixels * sizeof(Pixel));
        }
        scratch.intermediate = std::move(larger);
    } else if (kept > 0 && from > 0) {
        std::memmove(scratch.intermediate.as<Pixel>(), scratch.intermediate.as<Pixel>() + from,
                     keptPixels * sizeof(Pixel));
    }
    // Extended slice by slice, so that a failing draw leaves only finished rows claimed.
    scratch.held = IndexRange{used.lowerBound, used.lowerBound + kept};

    const int windowWidth = columns_.count();
    const std::size_t rowBytes = static_cast<std::size_t>(windowWidth) * sizeof(Pixel);
    const int slice = static_cast<int>(std::clamp<std::size_t>(windowBytes / rowBytes, windowMinimumRows,
                                                               static_cast<std::size_t>(used.count())));
    Pixel* window = nullptr;
    for (int top = used.lowerBound + kept; top < used.upperBound; top += slice) {
        const IndexRange part{top, std::min(top + slice, used.upperBound)};
        if (!window) {
            window = reserve(scratch.window, pixelCount(windowWidth, std::min(slice, used.upperBound - top)));
        }
        source_->draw(columns_, part, window);
        horizontalPass(horizontal_, window, windowWidth, part.count(),
                       scratch.intermediate.as<Pixel>() +
                           static_cast<std::size_t>(top - used.lowerBound) * rowPixels);
        scratch.held.upperBound = part.upperBound;
    }
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
    // Jobs of a few output rows each, worked in tiles of columns: neighbouring output rows read mostly the
    // same input rows, and a tile of them stays in the cache from one row to the next.
    constexpr int groupRows = 8;
    constexpr std::ptrdiff_t tilePixels = 256;
    const int groups = (rows.count() + groupRows - 1) / groupRows;
    parallel(groups, [&](int g) {
        const int begin = g * groupRows;
        const int count = std::min(groupRows, rows.count() - begin);
        const float* rowTaps[groupRows];
        const float* rowWeights[groupRows];
        int rowCounts[groupRows];
        float* outputs[groupRows];
        for (int i = 0; i < count; ++i) {
            const auto y = static_cast<std::size_t>(rows.lowerBound + begin + i);
            rowTaps[i] = reinterpret_cast<const float*>(input + (taps.starts[y] - inputFirstRow) * stride);
            rowWeights[i] = taps.weights.data() + taps.offsets[y];
            rowCounts[i] = taps.counts[y];
            outputs[i] = reinterpret_cast<float*>(output + (begin + i) * stride);
        }
        const VectorKernels::Table& kernels = VectorKernels::chosen();
        for (std::ptrdiff_t x = 0; x < stride; x += tilePixels) {
            const std::ptrdiff_t span = std::min(tilePixels, stride - x);
            kernels.sumRows(rowTaps, rowWeights, rowCounts, count, 4 * stride, 4 * x, 4 * span, outputs);
        }
    });
}

} // namespace PrintKit
