// HEIF/HEIC through libheif: the primary image, with the file's rotation and mirroring already applied by
// libheif (so its orientation is always 1), 8-bit samples as they are and 9- to 16-bit samples scaled to the
// full 16-bit range, alpha when present, and the colour as a raw ICC profile or built from the nclx box.
#pragma once

#include "PrintKit/render/decode/ByteSource.h"
#include "PrintKit/render/decode/DecodedImage.h"

namespace PrintKit::HeifDecoder {

ImageInfo probe(const ByteSource& source, const DecodeLimits& limits);
DecodedImage decode(const ByteSource& source, const DecodeLimits& limits);

} // namespace PrintKit::HeifDecoder
