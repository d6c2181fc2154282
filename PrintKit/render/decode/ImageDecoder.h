// The engine's image reader: recognises JPEG, PNG, TIFF and HEIF from a file's first bytes (never from its
// name), reads what a file claims from its headers alone, and decodes its first image in full or reduced.
// Every failure — a missing file, an unknown format, a damaged or oversized image — is
// SheetRenderError.unreadableImage with the file's path (or the name given for bytes in memory).
#pragma once

#include "PrintKit/render/decode/ByteSource.h"
#include "PrintKit/render/decode/DecodedImage.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace PrintKit::ImageDecoder {

// The format whose signature the bytes begin with (the first few hundred bytes are enough).
std::optional<ImageFormat> recognize(std::span<const std::uint8_t> head);

ImageInfo probe(const std::filesystem::path& path, const DecodeLimits& limits = {});
ImageInfo probe(const ByteSource& source, const DecodeLimits& limits = {});

DecodedImage decode(const std::filesystem::path& path, const DecodeLimits& limits = {},
                    FloatSamples floats = FloatSamples::kept);
DecodedImage decode(const ByteSource& source, const DecodeLimits& limits = {},
                    FloatSamples floats = FloatSamples::kept);

// The first image made upright (orientation 1) with its longer side at most maxPixel, computed from the full
// image — never from a thumbnail the file may embed. JPEG decodes at the smallest of its own reduced scales
// that still keeps maxPixel, the other formats in full; an area average then takes the image down.
DecodedImage decodeReduced(const std::filesystem::path& path, int maxPixel, const DecodeLimits& limits = {});
DecodedImage decodeReduced(const ByteSource& source, int maxPixel, const DecodeLimits& limits = {});

} // namespace PrintKit::ImageDecoder
