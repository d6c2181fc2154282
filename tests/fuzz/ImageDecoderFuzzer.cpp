// Arbitrary bytes through the format recognition and the reduced, upright read of the image reader.
#include "DecoderFuzzing.h"
#include "PrintKit/render/ImageDecoder.h"

using namespace PrintKit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecoderFuzzing::run(
        data, size, [](const ByteSource& s) { return ImageDecoder::probe(s, DecoderFuzzing::limits); },
        [](const ByteSource& s) { return ImageDecoder::decode(s, DecoderFuzzing::limits); },
        [](const ByteSource& s) { return ImageDecoder::decodeReduced(s, 17, DecoderFuzzing::limits); });
    return 0;
}
