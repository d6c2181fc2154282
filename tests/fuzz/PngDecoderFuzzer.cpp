// Arbitrary bytes through the Png front end, from memory and from a file.
#include "DecoderFuzzing.h"
#include "PrintKit/render/decode/PngDecoder.h"

DECODER_FUZZER(PrintKit::PngDecoder)
