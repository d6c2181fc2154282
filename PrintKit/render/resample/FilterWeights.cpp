#include "PrintKit/render/resample/FilterWeights.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace PrintKit {

namespace {

// Lanczos-3 at x (in filter widths). Exact 1 at the centre and exact 0 at every other whole number, so an
// aligned same-size axis copies its source bit for bit instead of leaking tiny residues into neighbours.
double lanczos3(double x) {
    double magnitude = std::fabs(x);
    if (magnitude < 1e-12) {
        return 1.0;
    }
    if (magnitude >= 3.0) {
        return 0.0;
    }
    if (std::fabs(x - std::round(x)) < 1e-9) { // std::round: halves away from zero
        return 0.0;
    }
    const double pi = 3.141592653589793;
    double p = x * pi;
    return ((std::sin(p) * 3.0) * std::sin(p / 3.0)) / (p * p);
}

} // namespace

FilterWeights::FilterWeights(int outputCount, double start, double length, int sourceCount) {
    assert(outputCount >= 0 && sourceCount >= 1);
    if (outputCount <= 0) {
        return;
    }
    const double scale = length / static_cast<double>(outputCount);
    // Reducing stretches the kernel by the reduction factor so that it also acts as the low-pass filter.
    const double filterScale = std::max(scale, 1.0);
    const double support = 3.0 * filterScale;
    const auto size = static_cast<std::size_t>(outputCount);
    starts.reserve(size);
    counts.reserve(size);
    offsets.reserve(size);
    weights.reserve(size * static_cast<std::size_t>(2.0 * support + 2.0));

    std::vector<double> slots;
    for (int i = 0; i < outputCount; ++i) {
        // Source sample j is centred on j, so the output centre moves back by half a sample.
        const double center = (start + scale * (static_cast<double>(i) + 0.5)) + (-0.5);
        const auto lo = static_cast<long long>(std::ceil(center - support));
        const auto hi = static_cast<long long>(std::floor(center + support));
        const long long lastIndex = sourceCount - 1;
        const long long first = std::min(std::max(lo, 0LL), lastIndex);
        const long long last = std::min(std::max(hi, 0LL), lastIndex);
        const long long count = last - first + 1;
        slots.assign(static_cast<std::size_t>(count), 0.0);
        for (long long j = lo; j <= std::max(lo, hi); ++j) {
            const double x = (static_cast<double>(j) - center) / filterScale;
            // Taps outside the source fold onto the nearest edge sample: the edge is extended, not mirrored.
            const long long slot = std::min(std::max(j, 0LL), lastIndex) - first;
            slots[static_cast<std::size_t>(slot)] += lanczos3(x);
        }
        double sum = 0.0;
        for (double value : slots) {
            sum += value;
        }
        starts.push_back(static_cast<int>(first));
        counts.push_back(static_cast<int>(count));
        offsets.push_back(static_cast<int>(weights.size()));
        for (double value : slots) {
            weights.push_back(sum == 0.0 ? 0.0f : static_cast<float>(value / sum));
        }
    }
}

FilterWeights FilterWeights::shifted(int by) const {
    FilterWeights copy = *this;
    for (int& s : copy.starts) {
        s += by;
    }
    return copy;
}

IndexRange FilterWeights::used(IndexRange outputs) const {
    assert(!outputs.isEmpty() && outputs.lowerBound >= 0 && outputs.upperBound <= outputCount());
    auto i = static_cast<std::size_t>(outputs.lowerBound);
    int lower = starts[i];
    int upper = starts[i] + counts[i];
    for (++i; i < static_cast<std::size_t>(outputs.upperBound); ++i) {
        lower = std::min(lower, starts[i]);
        upper = std::max(upper, starts[i] + counts[i]);
    }
    return {lower, upper};
}

IndexRange FilterWeights::used() const {
    return used({0, outputCount()});
}

} // namespace PrintKit
