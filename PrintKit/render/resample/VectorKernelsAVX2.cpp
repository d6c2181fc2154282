// The vector loops for AVX2, eight floats at a time. This file alone is built with -mavx2 (never with
// fused multiply-add), and only runs when Processor::vectorLevel() answers avx2 or wider.
#if defined(__x86_64__)
#include "PrintKit/render/resample/VectorKernelsBody.h"

namespace PrintKit::VectorKernels {

const Table avx2 = tableOf<8>();

} // namespace PrintKit::VectorKernels
#endif
