// Arbitrary bytes through the Tiff front end, from memory and from a file. TIFF has no reduced decode of its
// own: that slot decodes with floating-point samples rounded to 16 bits, as a photo is read for printing.
#include "DecoderFuzzing.h"
#include "PrintKit/render/decode/TiffDecoder.h"

using namespace PrintKit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecoderFuzzing::run(
        data, size, [](const ByteSource& s) { return TiffDecoder::probe(s, DecoderFuzzing::limits); },
        [](const ByteSource& s) { return TiffDecoder::decode(s, DecoderFuzzing::limits); },
        [](const ByteSource& s) {
            return TiffDecoder::decode(s, DecoderFuzzing::limits, FloatSamples::rounded);
        });
    return 0;
}
