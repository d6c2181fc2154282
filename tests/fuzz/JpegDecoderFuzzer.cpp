// Arbitrary bytes through the Jpeg front end, from memory and from a file.
#include "DecoderFuzzing.h"
#include "PrintKit/render/decode/JpegDecoder.h"

using namespace PrintKit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecoderFuzzing::run(
        data, size, [](const ByteSource& s) { return JpegDecoder::probe(s, DecoderFuzzing::limits); },
        [](const ByteSource& s) { return JpegDecoder::decode(s, DecoderFuzzing::limits); },
        [](const ByteSource& s) { return JpegDecoder::decode(s, DecoderFuzzing::limits, 40); });
    return 0;
}
