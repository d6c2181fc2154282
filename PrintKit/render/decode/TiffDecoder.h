// TIFF through libtiff: the first image of the file, in strips or tiles, chunky or planar, 8- and 16-bit
// integer or 16- and 32-bit float samples, grey, RGB, CMYK and CIELAB with an alpha channel if present, the
// ICC profile and orientation tags; palette, bilevel and subsampled colour go through libtiff's RGBA reader.
// Every size a file claims is checked before memory is taken; libtiff's messages are kept per file and
// never printed.
#pragma once

#include "PrintKit/render/decode/ByteSource.h"
#include "PrintKit/render/decode/DecodedImage.h"

namespace PrintKit::TiffDecoder {

ImageInfo probe(const ByteSource& source, const DecodeLimits& limits);
DecodedImage decode(const ByteSource& source, const DecodeLimits& limits,
                    FloatSamples floats = FloatSamples::kept);

} // namespace PrintKit::TiffDecoder
