// The hot loops over runs of floats of the resampler and the band pipeline, built once for each vector level
// of the processor (Processor::VectorLevel) from one text, each build in a file of its own compiled for that
// level only. The level chosen when the program runs picks the table; nothing else of the program is built
// for more than the baseline processor. Every build does exactly the operations of the one-pixel description
// (same order, single precision, multiply then add as two roundings), so every level gives the same bits.
#pragma once

#include "PrintKit/support/Processor.h"

#include <cstddef>
#include <cstdint>

namespace PrintKit::VectorKernels {

struct Table {
    // Tone-table encoding of floats 0 ..< the returned count (channel c of every pixel through table c of
    // four tables of tableSize entries); the caller encodes the rest. A level without a vector form of the
    // table reads returns 0.
    std::size_t (*encode)(const float* in, float* out, std::size_t floats, const float* tables,
                          int tableSize);
    // As BandKernels::quantize, sharpenRow and sharpenColumns.
    void (*quantize)(const float* in, std::uint16_t* out, std::size_t floats);
    void (*sharpenRow)(const float* in, float* out, int pixels, const float* weights, int taps, float amount);
    void (*sharpenColumns)(const float* const* rows, int outputs, std::size_t first, std::size_t floats,
                           const float* weights, int taps, float amount, std::uint16_t* const* quantized);
    // Output rows [0, count) of the resampler's vertical pass, floats [x0, x0 + span) of each: every float
    // the sum of its taps in tap order from zero (rowTaps[i] the first input row of output i, rowWeights[i]
    // its weights, rowCounts[i] how many, input rows `stride` floats apart), then every fourth float (alpha)
    // set to 1. x0 is a multiple of 4.
    void (*sumRows)(const float* const* rowTaps, const float* const* rowWeights, const int* rowCounts,
                    int count, std::ptrdiff_t stride, std::ptrdiff_t x0, std::ptrdiff_t span,
                    float* const* outputs);
};

// The loops built for `level` (off x86-64, every level has the baseline ones). Only a level the processor
// supports may be run.
const Table& forLevel(Processor::VectorLevel level);

// The loops of Processor::vectorLevel().
const Table& chosen();

// One per level, each defined in the file built for it. This header declares no inline function: one
// emitted from a file built for a wider level could be the copy the linker keeps for every caller.
extern const Table baseline;
#if defined(__x86_64__)
extern const Table avx2;
extern const Table avx512;
#endif

} // namespace PrintKit::VectorKernels
