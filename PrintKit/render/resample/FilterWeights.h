// The Lanczos-3 taps of one axis: for every output sample, which consecutive source samples it reads and
// with which weights. Reference tools publish digests of these numbers, so every arithmetic step (double
// precision until the final rounding to float, the order of every sum) is fixed and must not be "improved".
#pragma once

#include "PrintKit/render/resample/IndexRange.h"

#include <vector>

namespace PrintKit {

struct FilterWeights {
    std::vector<int> starts;    // first source index each output sample reads
    std::vector<int> counts;    // how many consecutive source samples it reads
    std::vector<int> offsets;   // where its weights begin in `weights`
    std::vector<float> weights; // all samples' weights, in output order

    FilterWeights() = default;

    // outputCount samples covering the source extent start ..< start + length (in source samples) of a source
    // of sourceCount samples (at least 1). Taps beyond the source fold onto its edge samples.
    FilterWeights(int outputCount, double start, double length, int sourceCount);

    // A copy whose starts are moved by `by`; used to index a window that begins inside the source.
    FilterWeights shifted(int by) const;

    // The source samples that the outputs in `outputs` (non-empty, inside the lists) read.
    IndexRange used(IndexRange outputs) const;
    // The source samples that any output reads (the lists must not be empty).
    IndexRange used() const;

    int outputCount() const { return static_cast<int>(starts.size()); }

    friend bool operator==(const FilterWeights&, const FilterWeights&) = default;
};

} // namespace PrintKit
