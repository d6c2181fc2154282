// Anything the Lanczos resampler can read: an image that paints any window of its pixels as four-float
// pixels. Sources hold caches and are shared by reference (std::shared_ptr).
#pragma once

#include "PrintKit/render/resample/IndexRange.h"
#include "PrintKit/support/Pixel.h"

namespace PrintKit {

class ResampleSource {
public:
    virtual ~ResampleSource() = default;

    // The size of the image as the source presents it, in pixels.
    virtual int width() const = 0;
    virtual int height() const = 0;

    // Fills every pixel of the window columns × rows (both inside the image), row by row from
    // rows.lowerBound, with a row stride of columns.count() pixels. May throw; the resampler passes the error
    // on unchanged.
    virtual void draw(IndexRange columns, IndexRange rows, Pixel* into) = 0;

protected:
    ResampleSource() = default;
    ResampleSource(const ResampleSource&) = default;
    ResampleSource& operator=(const ResampleSource&) = default;
};

} // namespace PrintKit
