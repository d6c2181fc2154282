// The renderer's working pixel: red, green, blue and alpha as single-precision floats, 16 bytes. Buffers are
// rows of pixels laid end to end without padding, so a buffer w pixels wide has a row stride of w.
#pragma once

namespace PrintKit {

// Deliberately without member initialisers: band buffers of many megabytes are allocated for overwrite
// and must not be cleared first.
struct Pixel {
    float r, g, b, a;

    friend bool operator==(const Pixel&, const Pixel&) = default;
};

static_assert(sizeof(Pixel) == 16, "pixel buffers are handed to code that expects four packed floats");

} // namespace PrintKit
