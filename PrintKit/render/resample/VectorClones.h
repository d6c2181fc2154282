// Hot loops written over runs of floats are built several times: for AVX-512, for AVX2 and for the
// baseline processor, and the loader picks the widest the machine has when the program starts. Only
// single operations of the language are vectorised (no fused multiply-add: the build forbids contraction),
// so every build gives the same bits. Elsewhere than x86-64 Linux the one baseline build serves.
#pragma once

// The loader runs the choosing functions before ThreadSanitizer's runtime is set up, which that runtime
// does not survive: its builds keep the baseline loop.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUILM_NO_VECTOR_CLONES 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define QUILM_NO_VECTOR_CLONES 1
#endif

#if defined(__x86_64__) && defined(__linux__) && !defined(QUILM_NO_VECTOR_CLONES)
#define QUILM_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define QUILM_VECTOR_CLONES
#endif
