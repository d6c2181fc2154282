// PNG through libpng: palette, low-bit grey and transparency keys expanded, 16-bit samples kept (in the
// file's big-endian order), the iCCP profile or the sRGB chunk, and the orientation of an eXIf chunk.
// libpng's longjmp error path is caught at the edge; a damaged file fails with
// SheetRenderError.unreadableImage.
#pragma once

#include "PrintKit/render/decode/ByteSource.h"
#include "PrintKit/render/decode/DecodedImage.h"

namespace PrintKit::PngDecoder {

ImageInfo probe(const ByteSource& source, const DecodeLimits& limits);
DecodedImage decode(const ByteSource& source, const DecodeLimits& limits);

} // namespace PrintKit::PngDecoder
