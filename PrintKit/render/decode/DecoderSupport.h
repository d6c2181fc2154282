// What every decoder front end shares: the size checks against the decode limits, done in checked
// arithmetic before any pixel memory is taken, and the allocation of the decoded image.
#pragma once

#include "PrintKit/render/decode/ByteSource.h"
#include "PrintKit/render/decode/DecodedImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace PrintKit::DecoderSupport {

// a × b, or nothing when it overflows.
std::optional<std::size_t> multiply(std::size_t a, std::size_t b);

// True when a width × height image is within the limits (both sides at least 1).
bool sizeAllowed(std::int64_t width, std::int64_t height, const DecodeLimits& limits);

// Bytes of a packed buffer of width × height pixels of channels samples, or nothing when the arithmetic
// overflows or the result exceeds limits.maxAllocation.
std::optional<std::size_t> bufferBytes(std::int64_t width, std::int64_t height, int channels,
                                       SampleType sample, const DecodeLimits& limits);

// A decoded image with its layout filled in and uninitialised pixel memory; fails (unreadableImage with
// the source's name) when the size breaks the limits or the memory cannot be had.
DecodedImage allocate(const ByteSource& source, ImageFormat format, std::int64_t width, std::int64_t height,
                      ColorModel model, int channels, SampleType sample, AlphaMode alpha,
                      const DecodeLimits& limits);

} // namespace PrintKit::DecoderSupport
