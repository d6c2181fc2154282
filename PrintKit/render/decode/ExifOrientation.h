// The orientation tag of EXIF data, read with every offset checked against the bytes actually present:
// the data comes straight from a file and may claim anything.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace PrintKit::ExifOrientation {

// The orientation (tag 0x0112 of the first IFD) of TIFF-structured EXIF data, as PNG's eXIf chunk holds
// it; nothing when the tag is absent or the structure is broken.
std::optional<int> fromTiffBytes(std::span<const std::uint8_t> tiff);

// The same from a JPEG APP1 segment's payload, which starts "Exif" and two zero bytes; nothing for any
// other APP1 segment (XMP, for one).
std::optional<int> fromJpegSegment(std::span<const std::uint8_t> segment);

// 1…8 stand; anything else, or nothing, means 1 (upright).
int normalized(std::optional<int> orientation);

} // namespace PrintKit::ExifOrientation
