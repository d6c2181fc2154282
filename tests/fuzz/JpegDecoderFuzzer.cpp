// Arbitrary bytes through the Jpeg front end, from memory and from a file.
#include "DecoderFuzzing.h"
#include "PrintKit/render/decode/JpegDecoder.h"

DECODER_FUZZER(PrintKit::JpegDecoder, 40)
