// Arbitrary bytes through the Heif front end, from memory and from a file.
#include "DecoderFuzzing.h"
#include "PrintKit/render/decode/HeifDecoder.h"

DECODER_FUZZER(PrintKit::HeifDecoder)
