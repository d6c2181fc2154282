// The vector loops for AVX-512, sixteen floats at a time, from the same text as the narrower ones. This
// file alone is built with -mavx512f and its companions, and only runs when Processor::vectorLevel() answers
// avx512.
#if defined(__x86_64__)
#include "PrintKit/render/resample/VectorKernelsBody.h"

namespace PrintKit::VectorKernels {

const Table avx512 = tableOf<16>();

} // namespace PrintKit::VectorKernels
#endif
