// Arbitrary bytes through the Tiff front end, from memory and from a file. TIFF has no reduced decode of its
// own: that slot decodes with floating-point samples rounded to 16 bits, as a photo is read for printing.
#include "DecoderFuzzing.h"
#include "PrintKit/render/decode/TiffDecoder.h"

DECODER_FUZZER(PrintKit::TiffDecoder, PrintKit::FloatSamples::rounded)
