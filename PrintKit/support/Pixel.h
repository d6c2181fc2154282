// The renderer's working pixel: red, green, blue and alpha as single-precision floats, 16 bytes. Buffers are
// rows of pixels laid end to end without padding, so a buffer w pixels wide has a row stride of w.
#pragma once

namespace PrintKit {

// Trivially constructible on purpose: band buffers of many megapixels are allocated and then filled, and
// must not be zeroed first. Write Pixel{} for a zero pixel.
struct Pixel {
    float r, g, b, a;

    friend bool operator==(const Pixel&, const Pixel&) = default;
};

static_assert(sizeof(Pixel) == 16, "pixel buffers are handed to code that expects four packed floats");

} // namespace PrintKit
