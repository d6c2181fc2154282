#include "PrintKit/render/decode/ExifOrientation.h"

#include <cstring>

namespace PrintKit::ExifOrientation {

namespace {

constexpr std::uint16_t orientationTag = 0x0112;
constexpr std::uint16_t typeShort = 3;
constexpr std::uint16_t typeLong = 4;

struct Reader {
    std::span<const std::uint8_t> bytes;
    bool bigEndian = false;

    // Offsets are 64-bit so that offset + length can never wrap.
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= bytes.size() && length <= bytes.size() - offset;
    }
    std::uint16_t u16(std::uint64_t at) const {
        std::uint16_t a = bytes[at], b = bytes[at + 1];
        return static_cast<std::uint16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    std::uint32_t u32(std::uint64_t at) const {
        std::uint32_t hi = u16(at), lo = u16(at + 2);
        return bigEndian ? (hi << 16 | lo) : (lo << 16 | hi);
    }
};

} // namespace

std::optional<int> fromTiffBytes(std::span<const std::uint8_t> tiff) {
    Reader reader{tiff};
    if (!reader.has(0, 8)) {
        return std::nullopt;
    }
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        reader.bigEndian = true;
    } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
        return std::nullopt;
    }
    if (reader.u16(2) != 42) {
        return std::nullopt;
    }
    std::uint64_t ifd = reader.u32(4);
    if (!reader.has(ifd, 2)) {
        return std::nullopt;
    }
    std::uint64_t count = reader.u16(ifd);
    if (!reader.has(ifd + 2, count * 12)) {
        return std::nullopt;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t entry = ifd + 2 + i * 12;
        if (reader.u16(entry) != orientationTag) {
            continue;
        }
        std::uint16_t type = reader.u16(entry + 2);
        std::uint32_t values = reader.u32(entry + 4);
        if (values != 1) {
            return std::nullopt;
        }
        if (type == typeShort) {
            return reader.u16(entry + 8);
        }
        if (type == typeLong) {
            std::uint32_t value = reader.u32(entry + 8);
            return value <= 0xFFFF ? std::optional<int>(static_cast<int>(value)) : std::nullopt;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> fromJpegSegment(std::span<const std::uint8_t> segment) {
    static constexpr std::uint8_t signature[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (segment.size() < sizeof signature || std::memcmp(segment.data(), signature, sizeof signature) != 0) {
        return std::nullopt;
    }
    return fromTiffBytes(segment.subspan(sizeof signature));
}

int normalized(std::optional<int> orientation) {
    return orientation && *orientation >= 1 && *orientation <= 8 ? *orientation : 1;
}

} // namespace PrintKit::ExifOrientation
