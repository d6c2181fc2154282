// What the processor the program runs on can do, asked once.
#pragma once

namespace PrintKit::Processor {

// Whether AVX2 instructions may be used (never off x86-64).
inline bool hasAVX2() {
#if defined(__x86_64__)
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
#else
    return false;
#endif
}

} // namespace PrintKit::Processor
