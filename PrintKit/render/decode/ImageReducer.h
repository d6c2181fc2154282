// Reduced, upright copies of a decoded image, for grid cells far smaller than their photo: an area average
// in the image's own samples down to a longer side of at most maxPixel, and the orientation applied once so
// the copy can be used with orientation 1.
#pragma once

#include "PrintKit/render/decode/DecodedImage.h"

namespace PrintKit::ImageReducer {

// The longer side becomes min(its length, maxPixel) (at least 1) and the shorter one keeps the aspect
// (rounded, at least 1); each output pixel is the coverage-weighted mean of the stored pixels under it,
// with colour weighted by alpha when alpha is straight. Same model, channels, sample type, byte order,
// profile and orientation. An image already small enough is returned as an equal copy.
DecodedImage reduced(const DecodedImage& image, int maxPixel);

// The image with its orientation applied to the pixels, orientation 1.
DecodedImage upright(const DecodedImage& image);

} // namespace PrintKit::ImageReducer
