#include "PrintKit/render/sheet/BandKernels.h"

#include "PrintKit/render/resample/VectorClones.h"
#include "PrintKit/support/Processor.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace PrintKit::BandKernels {

namespace {

// Sixteen floats: four pixels. Vector extensions rather than intrinsics, so that one text serves every
// vector width the loops are built for.
typedef float Floats __attribute__((vector_size(64)));
typedef std::int32_t Ints __attribute__((vector_size(64)));
constexpr std::size_t width = 16;

// The helpers take and give vectors by reference: passed by value between functions built for different
// vector widths, they would change the calling convention.
inline void load(Floats& v, const float* p) {
    std::memcpy(&v, p, sizeof v);
}

inline void store(float* p, const Floats& v) {
    std::memcpy(p, &v, sizeof v);
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

// quantized() of 16 floats: the clamp x > 0 ? (x < 1 ? x : 1) : 0 (NaN giving 0) by masks, then the scale
// and the rounding.
inline void storeQuantized(std::uint16_t* out, const Floats& x) {
    const Ints positive = x > 0.0f;
    const Floats low = (Floats)((Ints)x & positive);
    const Ints below = low < 1.0f;
    const Floats one = Floats{} + 1.0f;
    const Floats clamped = (Floats)(((Ints)low & below) | ((Ints)one & ~below));
    const Floats scaled = clamped * 65535.0f;
    const Ints q = __builtin_convertvector((scaled + roundingBias) - roundingBias, Ints);
    for (std::size_t i = 0; i < width; ++i) {
        out[i] = static_cast<std::uint16_t>(q[i]);
    }
}

inline float encodeOne(const float* table, float x) {
    return ToneCurves::encode(table, x);
}

void encodePortable(const float* in, float* out, std::size_t floats, const float* tables) {
    for (std::size_t j = 0; j < floats; ++j) {
        out[j] = encodeOne(tables + (j & 3) * ToneCurves::encodingSize, in[j]);
    }
}

#if defined(__x86_64__)
// The square root and the table reads need instructions the vector extensions do not name.
__attribute__((target("avx2"))) void encodeAVX2(const float* in, float* out, std::size_t floats,
                                                const float* tables) {
    const __m256i offsets = _mm256_setr_epi32(0, ToneCurves::encodingSize, 2 * ToneCurves::encodingSize,
                                              3 * ToneCurves::encodingSize, 0, ToneCurves::encodingSize,
                                              2 * ToneCurves::encodingSize, 3 * ToneCurves::encodingSize);
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
        const __m256 a = _mm256_i32gather_ps(tables, index, 4);
        const __m256 b = _mm256_i32gather_ps(tables + 1, index, 4);
        _mm256_storeu_ps(out + j, _mm256_add_ps(a, _mm256_mul_ps(f, _mm256_sub_ps(b, a))));
    }
    encodePortable(in + j, out + j, floats - j, tables);
}
#endif

} // namespace

EncodingTables::EncodingTables(const ToneCurves& curves)
    : values_(4 * static_cast<std::size_t>(ToneCurves::encodingSize), 1.0f) {
    std::copy(curves.encoding().begin(), curves.encoding().begin() + 3 * ToneCurves::encodingSize,
              values_.begin());
}

void encode(const float* in, float* out, std::size_t floats, const EncodingTables& tables) {
#if defined(__x86_64__)
    if (Processor::hasAVX2()) {
        encodeAVX2(in, out, floats, tables.data());
        return;
    }
#endif
    encodePortable(in, out, floats, tables.data());
}

QUILM_VECTOR_CLONES void quantize(const float* in, std::uint16_t* out, std::size_t floats) {
    std::size_t j = 0;
    for (; j + width <= floats; j += width) {
        Floats v;
        load(v, in + j);
        storeQuantized(out + j, v);
    }
    for (; j < floats; ++j) {
        out[j] = quantized(in[j]);
    }
}

void pack(const std::uint16_t* quantized, std::size_t pixels, std::uint16_t* into, Samples layout) {
    auto big = [](std::uint16_t v) {
        return std::endian::native == std::endian::big ? v : static_cast<std::uint16_t>((v >> 8) | (v << 8));
    };
    auto little = [](std::uint16_t v) {
        return std::endian::native == std::endian::little ? v
                                                          : static_cast<std::uint16_t>((v >> 8) | (v << 8));
    };
    switch (layout) {
    case Samples::bigEndian:
        for (std::size_t i = 0; i < pixels; ++i) {
            into[3 * i] = big(quantized[4 * i]);
            into[3 * i + 1] = big(quantized[4 * i + 1]);
            into[3 * i + 2] = big(quantized[4 * i + 2]);
        }
        break;
    case Samples::littleEndian:
        for (std::size_t i = 0; i < pixels; ++i) {
            into[3 * i] = little(quantized[4 * i]);
            into[3 * i + 1] = little(quantized[4 * i + 1]);
            into[3 * i + 2] = little(quantized[4 * i + 2]);
        }
        break;
    case Samples::paddedLittleEndian:
        for (std::size_t i = 0; i < pixels; ++i) {
            into[4 * i] = little(quantized[4 * i]);
            into[4 * i + 1] = little(quantized[4 * i + 1]);
            into[4 * i + 2] = little(quantized[4 * i + 2]);
            into[4 * i + 3] = 0;
        }
        break;
    }
}

QUILM_VECTOR_CLONES void sharpenRow(const float* in, float* out, int pixels, const float* weights, int taps,
                                    float amount) {
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
    const std::ptrdiff_t interiorBegin = std::min(r, columns);
    const std::ptrdiff_t interiorEnd = std::max(columns - r, interiorBegin);
    for (std::ptrdiff_t x = 0; x < interiorBegin; ++x) {
        edge(x);
    }
    // The interior as one run of floats: channel c of pixel x is float 4x + c, its taps 4 floats apart.
    // Four vectors at a time: their sums do not depend on each other, so the additions overlap instead of
    // waiting for one another; each float still adds its taps in order.
    std::ptrdiff_t f = interiorBegin * 4;
    const std::ptrdiff_t end = interiorEnd * 4;
    constexpr auto step = static_cast<std::ptrdiff_t>(width);
    for (; f + 4 * step <= end; f += 4 * step) {
        Floats s0 = Floats{}, s1 = s0, s2 = s0, s3 = s0, t0, t1, t2, t3;
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            const float* tap = in + f + (k - r) * 4;
            const float w = weights[k];
            load(t0, tap);
            load(t1, tap + step);
            load(t2, tap + 2 * step);
            load(t3, tap + 3 * step);
            s0 = s0 + t0 * w;
            s1 = s1 + t1 * w;
            s2 = s2 + t2 * w;
            s3 = s3 + t3 * w;
        }
        load(t0, in + f);
        load(t1, in + f + step);
        load(t2, in + f + 2 * step);
        load(t3, in + f + 3 * step);
        store(out + f, t0 + (t0 - s0) * a);
        store(out + f + step, t1 + (t1 - s1) * a);
        store(out + f + 2 * step, t2 + (t2 - s2) * a);
        store(out + f + 3 * step, t3 + (t3 - s3) * a);
    }
    for (; f + step <= end; f += step) {
        Floats sum = Floats{}, t;
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            load(t, in + f + (k - r) * 4);
            sum = sum + t * weights[k];
        }
        load(t, in + f);
        store(out + f, t + (t - sum) * a);
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

QUILM_VECTOR_CLONES void sharpenColumns(const float* const* rows, std::size_t first, std::size_t floats,
                                        const float* weights, int taps, float amount, std::uint16_t* out) {
    const float a = amount;
    const float* own = rows[taps / 2] + first;
    std::size_t f = 0;
    // Four independent vectors at a time, as in sharpenRow.
    for (; f + 4 * width <= floats; f += 4 * width) {
        Floats s0 = Floats{}, s1 = s0, s2 = s0, s3 = s0, t0, t1, t2, t3;
        for (int k = 0; k < taps; ++k) {
            const float* tap = rows[k] + first + f;
            const float w = weights[k];
            load(t0, tap);
            load(t1, tap + width);
            load(t2, tap + 2 * width);
            load(t3, tap + 3 * width);
            s0 = s0 + t0 * w;
            s1 = s1 + t1 * w;
            s2 = s2 + t2 * w;
            s3 = s3 + t3 * w;
        }
        load(t0, own + f);
        load(t1, own + f + width);
        load(t2, own + f + 2 * width);
        load(t3, own + f + 3 * width);
        const Floats r0 = t0 + (t0 - s0) * a, r1 = t1 + (t1 - s1) * a, r2 = t2 + (t2 - s2) * a,
                     r3 = t3 + (t3 - s3) * a;
        storeQuantized(out + f, r0);
        storeQuantized(out + f + width, r1);
        storeQuantized(out + f + 2 * width, r2);
        storeQuantized(out + f + 3 * width, r3);
    }
    for (; f + width <= floats; f += width) {
        Floats sum = Floats{}, t;
        for (int k = 0; k < taps; ++k) {
            load(t, rows[k] + first + f);
            sum = sum + t * weights[k];
        }
        load(t, own + f);
        const Floats result = t + (t - sum) * a;
        storeQuantized(out + f, result);
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

} // namespace PrintKit::BandKernels
