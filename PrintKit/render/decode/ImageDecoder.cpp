#include "PrintKit/render/decode/ImageDecoder.h"

#include "PrintKit/render/decode/HeifDecoder.h"
#include "PrintKit/render/decode/ImageReducer.h"
#include "PrintKit/render/decode/JpegDecoder.h"
#include "PrintKit/render/decode/PngDecoder.h"
#include "PrintKit/render/decode/TiffDecoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace PrintKit::ImageDecoder {

namespace {

constexpr std::size_t headBytes = 512;

bool startsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool isHeifBrand(const std::uint8_t* brand) {
    static constexpr std::array<const char*, 8> brands = {"heic", "heix", "heim", "heis",
                                                          "hevc", "hevx", "mif1", "msf1"};
    return std::any_of(brands.begin(), brands.end(),
                       [&](const char* known) { return std::memcmp(brand, known, 4) == 0; });
}

// An ISO base media file whose leading 'ftyp' box names a HEIF brand, as major or compatible brand.
bool isHeif(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 16 || std::memcmp(bytes.data() + 4, "ftyp", 4) != 0) {
        return false;
    }
    std::size_t boxSize = static_cast<std::size_t>(bytes[0]) << 24 |
                          static_cast<std::size_t>(bytes[1]) << 16 | static_cast<std::size_t>(bytes[2]) << 8 |
                          bytes[3];
    if (boxSize < 16) {
        return false;
    }
    boxSize = std::min(boxSize, bytes.size());
    if (isHeifBrand(bytes.data() + 8)) {
        return true;
    }
    for (std::size_t at = 16; at + 4 <= boxSize; at += 4) {
        if (isHeifBrand(bytes.data() + at)) {
            return true;
        }
    }
    return false;
}

ImageFormat formatOf(const ByteSource& source) {
    std::uint8_t head[headBytes];
    std::int64_t got = source.read(0, head, sizeof head);
    if (got <= 0) {
        source.fail();
    }
    auto format = recognize(std::span<const std::uint8_t>(head, static_cast<std::size_t>(got)));
    if (!format) {
        source.fail();
    }
    return *format;
}

DecodedImage decodeAt(const ByteSource& source, const DecodeLimits& limits, int minimumLongSide,
                      FloatSamples floats) {
    switch (formatOf(source)) {
    case ImageFormat::jpeg:
        return JpegDecoder::decode(source, limits, minimumLongSide);
    case ImageFormat::png:
        return PngDecoder::decode(source, limits);
    case ImageFormat::tiff:
        return TiffDecoder::decode(source, limits, floats);
    case ImageFormat::heif:
        return HeifDecoder::decode(source, limits);
    }
    source.fail();
}

} // namespace

std::optional<ImageFormat> recognize(std::span<const std::uint8_t> head) {
    if (startsWith(head, {0xFF, 0xD8, 0xFF})) {
        return ImageFormat::jpeg;
    }
    if (startsWith(head, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) {
        return ImageFormat::png;
    }
    // Classic TIFF (42) and BigTIFF (43), in either byte order.
    if (startsWith(head, {'I', 'I', 42, 0}) || startsWith(head, {'M', 'M', 0, 42}) ||
        startsWith(head, {'I', 'I', 43, 0}) || startsWith(head, {'M', 'M', 0, 43})) {
        return ImageFormat::tiff;
    }
    if (isHeif(head)) {
        return ImageFormat::heif;
    }
    return std::nullopt;
}

ImageInfo probe(const ByteSource& source, const DecodeLimits& limits) {
    switch (formatOf(source)) {
    case ImageFormat::jpeg:
        return JpegDecoder::probe(source, limits);
    case ImageFormat::png:
        return PngDecoder::probe(source, limits);
    case ImageFormat::tiff:
        return TiffDecoder::probe(source, limits);
    case ImageFormat::heif:
        return HeifDecoder::probe(source, limits);
    }
    source.fail();
}

ImageInfo probe(const std::filesystem::path& path, const DecodeLimits& limits) {
    ByteSource source(path);
    return probe(source, limits);
}

DecodedImage decode(const ByteSource& source, const DecodeLimits& limits, FloatSamples floats) {
    return decodeAt(source, limits, 0, floats);
}

DecodedImage decode(const std::filesystem::path& path, const DecodeLimits& limits, FloatSamples floats) {
    ByteSource source(path);
    return decode(source, limits, floats);
}

DecodedImage decodeReduced(const ByteSource& source, int maxPixel, const DecodeLimits& limits) {
    maxPixel = std::max(maxPixel, 1);
    DecodedImage full = decodeAt(source, limits, maxPixel, FloatSamples::kept);
    try {
        return ImageReducer::upright(ImageReducer::reduced(full, maxPixel));
    } catch (const std::bad_alloc&) {
        source.fail();
    }
}

DecodedImage decodeReduced(const std::filesystem::path& path, int maxPixel, const DecodeLimits& limits) {
    ByteSource source(path);
    return decodeReduced(source, maxPixel, limits);
}

} // namespace PrintKit::ImageDecoder
