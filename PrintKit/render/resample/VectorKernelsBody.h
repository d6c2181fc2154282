// The text of the vector loops, included by each VectorKernels<Level>.cpp and nowhere else: each of those
// files is compiled for its own level, and instantiates these templates with the vector width native to it
// (4 floats for the baseline's SSE2, 8 for AVX2, 16 for AVX-512).
//
// Everything here has internal linkage, and nothing calls a function defined in a header: a function
// emitted out of line from a file built for AVX2 or AVX-512 could otherwise be the copy the linker keeps for
// every caller, and the program would stop with an illegal instruction on an older processor.
//
// Every float goes through the operations of the one-pixel description in its order (sums from zero, taps
// ascending, multiply then add as two roundings: the build forbids contraction), so the vector width
// changes only how many floats are done at once, never a bit of the result.
#pragma once

#include "PrintKit/render/resample/VectorKernels.h"

#include <cstddef>
#include <cstdint>

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace PrintKit::VectorKernels {

namespace {

template <int N> struct Lanes {
    typedef float Floats __attribute__((vector_size(4 * N)));
    typedef std::int32_t Ints __attribute__((vector_size(4 * N)));
    typedef std::uint16_t Words __attribute__((vector_size(2 * N)));
    // The same vector at any float's address: loads and stores of it may be folded into the arithmetic.
    typedef float Unaligned __attribute__((vector_size(4 * N), aligned(4)));
};

// Independent sums per step of the inner loops: an addition waits for the one before it in its own sum
// only, so eight sums keep both of a processor's adders busy through their latency. Eight accumulators,
// a broadcast weight and a loaded tap fit the sixteen vector registers of SSE2 and AVX2.
constexpr int sums = 8;

template <int N> inline typename Lanes<N>::Floats load(const float* p) {
    return *reinterpret_cast<const typename Lanes<N>::Unaligned*>(p);
}

template <int N> inline void store(float* p, typename Lanes<N>::Floats v) {
    *reinterpret_cast<typename Lanes<N>::Unaligned*>(p) = v;
}

// x in every lane. (Subtracting zero is exact for every x, -0 included, so the compiler drops it and only
// the broadcast remains; adding zero would turn -0 into +0.)
template <int N> inline typename Lanes<N>::Floats splat(float x) {
    return x - typename Lanes<N>::Floats{};
}

// p, hidden from the optimiser. Taps of neighbouring pixels overlap (a vector of 8 floats is two pixels,
// so tap k + 2 of one vector is tap k of the next), and the compiler would keep loaded taps in registers
// for later steps, more than there are: the sums would then go through the stack at every step. Loading
// again from the first-level cache costs less.
inline const float* opaque(const float* p) {
    asm("" : "+r"(p));
    return p;
}

inline float unit(float x) {
    return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
}

// Adding 2^23 to a value of 0…65535 leaves no fraction bits, so the sum is rounded in the processor's
// default mode (to nearest, ties to even), and taking 2^23 away again is exact.
constexpr float roundingBias = 8388608.0f;

inline std::uint16_t quantized(float x) {
    const float scaled = unit(x) * 65535.0f;
    return static_cast<std::uint16_t>(static_cast<int>((scaled + roundingBias) - roundingBias));
}

// quantized() of N floats: the clamp x > 0 ? (x < 1 ? x : 1) : 0 (NaN giving 0) by masks, then the scale
// and the rounding.
template <int N> inline void storeQuantized(std::uint16_t* out, typename Lanes<N>::Floats x) {
    using Floats = typename Lanes<N>::Floats;
    using Ints = typename Lanes<N>::Ints;
    const Ints positive = x > 0.0f;
    const Floats low = (Floats)((Ints)x & positive);
    const Ints below = low < 1.0f;
    const Floats one = splat<N>(1.0f);
    const Floats clamped = (Floats)(((Ints)low & below) | ((Ints)one & ~below));
    const Floats scaled = clamped * 65535.0f;
    const Ints q = __builtin_convertvector((scaled + roundingBias) - roundingBias, Ints);
    const typename Lanes<N>::Words words = __builtin_convertvector(q, typename Lanes<N>::Words);
    __builtin_memcpy(out, &words, sizeof words);
}

template <int N> void quantize(const float* in, std::uint16_t* out, std::size_t floats) {
    std::size_t j = 0;
    for (; j + N <= floats; j += N) {
        storeQuantized<N>(out + j, load<N>(in + j));
    }
    for (; j < floats; ++j) {
        out[j] = quantized(in[j]);
    }
}

template <int N>
void sharpenRow(const float* in, float* out, int pixels, const float* weights, int taps, float amount) {
    using Floats = typename Lanes<N>::Floats;
    const std::ptrdiff_t n = taps;
    const std::ptrdiff_t r = n / 2;
    const std::ptrdiff_t columns = pixels;
    const float a = amount;
    // Pixels within r of either end: taps clamped to the end pixels.
    auto edge = [&](std::ptrdiff_t x) {
        float sum[4] = {0, 0, 0, 0};
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            std::ptrdiff_t j = x + k - r;
            j = j < 0 ? 0 : (j > columns - 1 ? columns - 1 : j);
            for (int c = 0; c < 4; ++c) {
                sum[c] = sum[c] + in[4 * j + c] * weights[k];
            }
        }
        for (int c = 0; c < 4; ++c) {
            const float p = in[4 * x + c];
            out[4 * x + c] = p + (p - sum[c]) * a;
        }
    };
    const std::ptrdiff_t interiorBegin = r < columns ? r : columns;
    const std::ptrdiff_t interiorEnd = columns - r > interiorBegin ? columns - r : interiorBegin;
    for (std::ptrdiff_t x = 0; x < interiorBegin; ++x) {
        edge(x);
    }
    // The interior as one run of floats: channel c of pixel x is float 4x + c, its taps 4 floats apart.
    std::ptrdiff_t f = interiorBegin * 4;
    const std::ptrdiff_t end = interiorEnd * 4;
    for (; f + sums * N <= end; f += sums * N) {
        Floats s[sums];
#pragma GCC unroll 16
        for (int i = 0; i < sums; ++i) {
            s[i] = Floats{};
        }
        const float* tap = in + f - 4 * r;
        for (std::ptrdiff_t k = 0; k < n; ++k, tap += 4) {
            const Floats w = splat<N>(weights[k]);
            tap = opaque(tap);
#pragma GCC unroll 16
            for (int i = 0; i < sums; ++i) {
                s[i] = s[i] + load<N>(tap + i * N) * w;
            }
        }
#pragma GCC unroll 16
        for (int i = 0; i < sums; ++i) {
            const Floats p = load<N>(in + f + i * N);
            store<N>(out + f + i * N, p + (p - s[i]) * a);
        }
    }
    for (; f + N <= end; f += N) {
        Floats sum = Floats{};
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            sum = sum + load<N>(in + f + (k - r) * 4) * weights[k];
        }
        const Floats p = load<N>(in + f);
        store<N>(out + f, p + (p - sum) * a);
    }
    for (; f < end; ++f) {
        float sum = 0;
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            sum = sum + in[f + (k - r) * 4] * weights[k];
        }
        const float p = in[f];
        out[f] = p + (p - sum) * a;
    }
    for (std::ptrdiff_t x = interiorEnd; x < columns; ++x) {
        edge(x);
    }
}

// One output row of sharpenColumns: floats [f, floats) of the row whose taps are rows[0 ..< taps].
template <int N>
void sharpenColumn(const float* const* rows, std::size_t first, std::size_t f, std::size_t floats,
                   const float* weights, int taps, float a, std::uint16_t* out) {
    using Floats = typename Lanes<N>::Floats;
    const float* own = rows[taps / 2] + first;
    for (; f + sums * N <= floats; f += sums * N) {
        Floats s[sums];
#pragma GCC unroll 16
        for (int i = 0; i < sums; ++i) {
            s[i] = Floats{};
        }
        for (int k = 0; k < taps; ++k) {
            const float* tap = rows[k] + first + f;
            const Floats w = splat<N>(weights[k]);
#pragma GCC unroll 16
            for (int i = 0; i < sums; ++i) {
                s[i] = s[i] + load<N>(tap + i * N) * w;
            }
        }
#pragma GCC unroll 16
        for (int i = 0; i < sums; ++i) {
            const Floats p = load<N>(own + f + i * N);
            storeQuantized<N>(out + f + i * N, p + (p - s[i]) * a);
        }
    }
    for (; f + N <= floats; f += N) {
        Floats sum = Floats{};
        for (int k = 0; k < taps; ++k) {
            sum = sum + load<N>(rows[k] + first + f) * weights[k];
        }
        const Floats p = load<N>(own + f);
        storeQuantized<N>(out + f, p + (p - sum) * a);
    }
    for (; f < floats; ++f) {
        float sum = 0;
        for (int k = 0; k < taps; ++k) {
            sum = sum + rows[k][first + f] * weights[k];
        }
        const float p = own[f];
        out[f] = quantized(p + (p - sum) * a);
    }
}

// Output rows in pairs: the two rows' taps are the same rows but one, so each row loaded serves both
// sums (row j is tap j of the first and tap j - 1 of the second), and each sum still adds its taps in
// ascending order. Half of the eight sums are each row's.
template <int N>
void sharpenColumns(const float* const* rows, int outputs, std::size_t first, std::size_t floats,
                    const float* weights, int taps, float amount, std::uint16_t* const* quantized) {
    using Floats = typename Lanes<N>::Floats;
    constexpr int half = sums / 2;
    const float a = amount;
    int o = 0;
    for (; o + 2 <= outputs; o += 2) {
        const float* const* tapRows = rows + o;
        const float* own0 = tapRows[taps / 2] + first;
        const float* own1 = tapRows[taps / 2 + 1] + first;
        std::size_t f = 0;
        for (; f + half * N <= floats; f += half * N) {
            Floats s0[half], s1[half];
#pragma GCC unroll 16
            for (int i = 0; i < half; ++i) {
                s0[i] = Floats{};
                s1[i] = Floats{};
            }
            {
                const float* row = tapRows[0] + first + f;
                const Floats w = splat<N>(weights[0]);
#pragma GCC unroll 16
                for (int i = 0; i < half; ++i) {
                    s0[i] = s0[i] + load<N>(row + i * N) * w;
                }
            }
            for (int j = 1; j < taps; ++j) {
                const float* row = tapRows[j] + first + f;
                const Floats w0 = splat<N>(weights[j]);
                const Floats w1 = splat<N>(weights[j - 1]);
#pragma GCC unroll 16
                for (int i = 0; i < half; ++i) {
                    const Floats t = load<N>(row + i * N);
                    s0[i] = s0[i] + t * w0;
                    s1[i] = s1[i] + t * w1;
                }
            }
            {
                const float* row = tapRows[taps] + first + f;
                const Floats w = splat<N>(weights[taps - 1]);
#pragma GCC unroll 16
                for (int i = 0; i < half; ++i) {
                    s1[i] = s1[i] + load<N>(row + i * N) * w;
                }
            }
#pragma GCC unroll 16
            for (int i = 0; i < half; ++i) {
                const Floats p0 = load<N>(own0 + f + i * N);
                storeQuantized<N>(quantized[o] + f + i * N, p0 + (p0 - s0[i]) * a);
                const Floats p1 = load<N>(own1 + f + i * N);
                storeQuantized<N>(quantized[o + 1] + f + i * N, p1 + (p1 - s1[i]) * a);
            }
        }
        sharpenColumn<N>(tapRows, first, f, floats, weights, taps, a, quantized[o]);
        sharpenColumn<N>(tapRows + 1, first, f, floats, weights, taps, a, quantized[o + 1]);
    }
    if (o < outputs) {
        sharpenColumn<N>(rows + o, first, 0, floats, weights, taps, a, quantized[o]);
    }
}

template <int N>
void sumRows(const float* const* rowTaps, const float* const* rowWeights, const int* rowCounts, int count,
             std::ptrdiff_t stride, std::ptrdiff_t x0, std::ptrdiff_t span, float* const* outputs) {
    using Floats = typename Lanes<N>::Floats;
    for (int row = 0; row < count; ++row) {
        const float* first = rowTaps[row] + x0;
        const float* w = rowWeights[row];
        const int n = rowCounts[row];
        float* out = outputs[row] + x0;
        std::ptrdiff_t f = 0;
        for (; f + sums * N <= span; f += sums * N) {
            Floats s[sums];
#pragma GCC unroll 16
            for (int i = 0; i < sums; ++i) {
                s[i] = Floats{};
            }
            const float* in = first + f;
            for (int k = 0; k < n; ++k, in += stride) {
                const Floats wk = splat<N>(w[k]);
#pragma GCC unroll 16
                for (int i = 0; i < sums; ++i) {
                    s[i] = s[i] + load<N>(in + i * N) * wk;
                }
            }
#pragma GCC unroll 16
            for (int i = 0; i < sums; ++i) {
                store<N>(out + f + i * N, s[i]);
            }
        }
        for (; f + N <= span; f += N) {
            Floats sum = Floats{};
            for (int k = 0; k < n; ++k) {
                sum = sum + load<N>(first + k * stride + f) * w[k];
            }
            store<N>(out + f, sum);
        }
        for (; f < span; ++f) {
            float sum = 0.0f;
            for (int k = 0; k < n; ++k) {
                sum = sum + first[k * stride + f] * w[k];
            }
            out[f] = sum;
        }
        for (std::ptrdiff_t alpha = 3; alpha < span; alpha += 4) {
            out[alpha] = 1.0f;
        }
    }
}

#if defined(__AVX2__)
// The square root and the table reads need instructions the vector extensions do not name. Eight floats
// (two pixels) at a time; the same steps as ToneCurves::encode.
std::size_t encodeAVX2(const float* in, float* out, std::size_t floats, const float* tables, int tableSize) {
    const __m256i offsets = _mm256_setr_epi32(0, tableSize, 2 * tableSize, 3 * tableSize, 0, tableSize,
                                              2 * tableSize, 3 * tableSize);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 scale = _mm256_set1_ps(4096.0f);
    const __m256 last = _mm256_set1_ps(4095.0f);
    std::size_t j = 0;
    for (; j + 8 <= floats; j += 8) {
        const __m256 x = _mm256_loadu_ps(in + j);
        // max(x, 0) answers its second operand when x is NaN: NaN becomes 0, as in the scalar clamp.
        const __m256 v = _mm256_min_ps(_mm256_max_ps(x, zero), one);
        const __m256 t = _mm256_mul_ps(_mm256_sqrt_ps(v), scale);
        const __m256i i = _mm256_cvttps_epi32(_mm256_min_ps(t, last));
        const __m256 f = _mm256_sub_ps(t, _mm256_cvtepi32_ps(i));
        const __m256i index = _mm256_add_epi32(i, offsets);
        // Each lane's two neighbouring entries as one 64-bit read: four reads per gather, half as many as
        // gathering the two entries apart. pairs0 holds lanes 0-3, pairs1 lanes 4-7, each (entry, next).
        const __m256 pairs0 = _mm256_castsi256_ps(_mm256_i32gather_epi64(
            reinterpret_cast<const long long*>(tables), _mm256_castsi256_si128(index), 4));
        const __m256 pairs1 = _mm256_castsi256_ps(_mm256_i32gather_epi64(
            reinterpret_cast<const long long*>(tables), _mm256_extracti128_si256(index, 1), 4));
        // Entries of lanes 0 1 4 5 2 3 6 7, then the lanes put back in order.
        const __m256 a = _mm256_castpd_ps(_mm256_permute4x64_pd(
            _mm256_castps_pd(_mm256_shuffle_ps(pairs0, pairs1, _MM_SHUFFLE(2, 0, 2, 0))),
            _MM_SHUFFLE(3, 1, 2, 0)));
        const __m256 b = _mm256_castpd_ps(_mm256_permute4x64_pd(
            _mm256_castps_pd(_mm256_shuffle_ps(pairs0, pairs1, _MM_SHUFFLE(3, 1, 3, 1))),
            _MM_SHUFFLE(3, 1, 2, 0)));
        _mm256_storeu_ps(out + j, _mm256_add_ps(a, _mm256_mul_ps(f, _mm256_sub_ps(b, a))));
    }
    return j;
}
#else
std::size_t encodeNone(const float*, float*, std::size_t, const float*, int) {
    return 0;
}
#endif

template <int N> constexpr Table tableOf() {
#if defined(__AVX2__)
    constexpr auto encode = encodeAVX2;
#else
    constexpr auto encode = encodeNone;
#endif
    return Table{encode, quantize<N>, sharpenRow<N>, sharpenColumns<N>, sumRows<N>};
}

} // namespace

} // namespace PrintKit::VectorKernels
