// Arbitrary bytes as EXIF data: the reader must stay inside them and answer nothing or a 16-bit value.
#include "PrintKit/render/decode/ExifOrientation.h"

#include <cstdlib>

using namespace PrintKit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    for (auto value : {ExifOrientation::fromTiffBytes(bytes), ExifOrientation::fromJpegSegment(bytes)}) {
        if (value && (*value < 0 || *value > 0xFFFF)) {
            std::abort();
        }
        int normalized = ExifOrientation::normalized(value);
        if (normalized < 1 || normalized > 8) {
            std::abort();
        }
    }
    return 0;
}
