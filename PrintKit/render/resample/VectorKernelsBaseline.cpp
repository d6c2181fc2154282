// The vector loops for any processor of the architecture (on x86-64, SSE2: four floats at a time), and the
// choice between the levels' tables. This file is built without any instruction-set option.
#include "PrintKit/render/resample/VectorKernelsBody.h"

namespace PrintKit::VectorKernels {

const Table baseline = tableOf<4>();

const Table& forLevel(Processor::VectorLevel level) {
#if defined(__x86_64__)
    switch (level) {
    case Processor::VectorLevel::avx512:
        return avx512;
    case Processor::VectorLevel::avx2:
        return avx2;
    case Processor::VectorLevel::baseline:
        break;
    }
#else
    (void)level;
#endif
    return baseline;
}

const Table& chosen() {
    return forLevel(Processor::vectorLevel());
}

} // namespace PrintKit::VectorKernels
