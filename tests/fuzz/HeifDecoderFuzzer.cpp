// Arbitrary bytes through the Heif front end, from memory and from a file.
#include "DecoderFuzzing.h"
#include "PrintKit/render/decode/HeifDecoder.h"

using namespace PrintKit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecoderFuzzing::run(
        data, size, [](const ByteSource& s) { return HeifDecoder::probe(s, DecoderFuzzing::limits); },
        [](const ByteSource& s) { return HeifDecoder::decode(s, DecoderFuzzing::limits); },
        [](const ByteSource& s) { return HeifDecoder::decode(s, DecoderFuzzing::limits); });
    return 0;
}
