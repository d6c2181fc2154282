#include "PrintKit/render/decode/DecoderSupport.h"

#include <bit>
#include <new>

namespace PrintKit::DecoderSupport {

std::optional<std::size_t> multiply(std::size_t a, std::size_t b) {
    std::size_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) {
        return std::nullopt;
    }
    return product;
}

bool sizeAllowed(std::int64_t width, std::int64_t height, const DecodeLimits& limits) {
    if (width < 1 || height < 1 || width > limits.maxDimension || height > limits.maxDimension) {
        return false;
    }
    std::int64_t pixels = 0;
    return !__builtin_mul_overflow(width, height, &pixels) && pixels <= limits.maxPixels;
}

std::optional<std::size_t> bufferBytes(std::int64_t width, std::int64_t height, int channels,
                                       SampleType sample, const DecodeLimits& limits) {
    if (width < 1 || height < 1 || channels < 1) {
        return std::nullopt;
    }
    auto row =
        multiply(static_cast<std::size_t>(width),
                 static_cast<std::size_t>(channels) * static_cast<std::size_t>(bytesPerSample(sample)));
    if (!row) {
        return std::nullopt;
    }
    auto total = multiply(*row, static_cast<std::size_t>(height));
    if (!total || *total > limits.maxAllocation) {
        return std::nullopt;
    }
    return total;
}

DecodedImage allocate(const ByteSource& source, ImageFormat format, std::int64_t width, std::int64_t height,
                      ColorModel model, int channels, SampleType sample, AlphaMode alpha,
                      const DecodeLimits& limits) {
    if (!sizeAllowed(width, height, limits)) {
        source.fail();
    }
    auto bytes = bufferBytes(width, height, channels, sample, limits);
    if (!bytes) {
        source.fail();
    }
    DecodedImage image;
    image.format = format;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.model = model;
    image.channels = channels;
    image.sample = sample;
    image.littleEndian = std::endian::native == std::endian::little;
    image.alpha = alpha;
    image.bytesPerRow = *bytes / static_cast<std::size_t>(height);
    try {
        image.pixels = PixelBytes(*bytes);
    } catch (const std::bad_alloc&) {
        source.fail();
    }
    return image;
}

} // namespace PrintKit::DecoderSupport
