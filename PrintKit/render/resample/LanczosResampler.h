// Lanczos-3 resampling of any pixel source to an exact output size, band by band, and the engine's
// parallel loop that the resampler, the linear source, the band pipeline and sharpening share.
// The resampler does no colour work: channels are filtered as plain numbers and every output alpha is 1.
#pragma once

#include "PrintKit/render/resample/FilterWeights.h"
#include "PrintKit/render/resample/IndexRange.h"
#include "PrintKit/render/resample/ResampleSource.h"
#include "PrintKit/support/Geometry.h"
#include "PrintKit/support/PageBuffer.h"
#include "PrintKit/support/ParallelLoop.h"
#include "PrintKit/support/Pixel.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

namespace PrintKit {

class LanczosResampler {
public:
    // crop is in unit coordinates of the source (x from its first column, y from its top row); the output
    // sizes are at least 1. All weights are computed here, once.
    LanczosResampler(std::shared_ptr<ResampleSource> source, const Rect& crop, int outputWidth,
                     int outputHeight);

    const std::shared_ptr<ResampleSource>& source() const { return source_; }
    int outputWidth() const { return outputWidth_; }
    int outputHeight() const { return outputHeight_; }
    // The source columns any output pixel reads; the window every draw asks for is this wide.
    IndexRange columns() const { return columns_; }
    // x taps, with starts relative to columns().lowerBound.
    const FilterWeights& horizontal() const { return horizontal_; }
    // y taps, with absolute source rows.
    const FilterWeights& vertical() const { return vertical_; }

    // Writes output rows `rows` (non-empty, inside the output) into `into`, outputWidth pixels per row.
    // Only the source rows these outputs read are filtered and held, and they are drawn a slice at a time,
    // so memory follows the band, not the image; rows the previous call already filtered are reused. Calls
    // are independent: the same output row always comes out the same. The only error is the source's, passed
    // on unchanged (`into` is then partly written). Meant to be called from one thread at a time; a
    // concurrent call is still correct, only slower.
    void render(IndexRange rows, Pixel* into) const;

    // The two separable passes of render(), on the parallel loop.
    // Horizontal: each of `rowCount` rows of `window` (windowWidth pixels each) becomes one row of
    // `output` (taps.outputCount() pixels each).
    static void horizontalPass(const FilterWeights& taps, const Pixel* window, int windowWidth, int rowCount,
                               Pixel* output);
    // Vertical: output rows `rows` of the taps, read from `input` whose first row is source row
    // inputFirstRow, each `width` pixels; writes rows.count() rows into `output` and sets every alpha to 1.
    static void verticalPass(const FilterWeights& taps, IndexRange rows, const Pixel* input,
                             int inputFirstRow, int width, Pixel* output);

    // Runs body(i) for every i in 0..<n across the machine's processors; returns when all have run.
    // The body must only touch state that no other index touches.
    static void parallel(int n, const std::function<void(int)>& body) { ParallelLoop::run(n, body); }

private:
    // The drawn window and the horizontally filtered rows, kept from band to band: allocating them afresh
    // for every band costs more in page faults than the horizontal pass itself when reducing, and the rows
    // that successive bands share (the vertical taps reach past a band's edges) are filtered only once.
    struct Scratch {
        std::mutex lock;
        PageBuffer window;
        PageBuffer intermediate;
        IndexRange held; // the source rows whose filtered rows lie at the start of `intermediate`
    };

    // Leaves the horizontal pass of source rows `used` in scratch.intermediate (row i is source row
    // used.lowerBound + i), drawing and filtering only the rows it does not hold yet, a few at a time, so
    // that the drawn window never holds more than a slice of them.
    void filterRows(Scratch& scratch, IndexRange used) const;

    std::shared_ptr<ResampleSource> source_;
    int outputWidth_;
    int outputHeight_;
    IndexRange columns_;
    FilterWeights horizontal_;
    FilterWeights vertical_;
    std::unique_ptr<Scratch> scratch_ = std::make_unique<Scratch>();
};

} // namespace PrintKit
