// Arbitrary bytes through the Tiff front end, from memory and from a file.
#include "DecoderFuzzing.h"
#include "PrintKit/render/decode/TiffDecoder.h"

DECODER_FUZZER(PrintKit::TiffDecoder)
