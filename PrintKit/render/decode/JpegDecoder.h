// JPEG through libjpeg-turbo: the embedded ICC profile (APP2), the EXIF orientation (APP1), grey, RGB and
// CMYK samples, and the codec's own reduced decode (DCT scaling) for small prints. A damaged file fails
// with SheetRenderError.unreadableImage; libjpeg's error exits never reach the process.
#pragma once

#include "PrintKit/render/decode/ByteSource.h"
#include "PrintKit/render/decode/DecodedImage.h"

namespace PrintKit::JpegDecoder {

ImageInfo probe(const ByteSource& source, const DecodeLimits& limits);

// minimumLongSide > 0 asks for the smallest scaled decode (1/8 to 8/8) whose longer side is still at least
// that many pixels; 0 decodes at full size.
DecodedImage decode(const ByteSource& source, const DecodeLimits& limits, int minimumLongSide = 0);

} // namespace PrintKit::JpegDecoder
