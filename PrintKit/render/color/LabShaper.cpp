#include "PrintKit/render/color/LabShaper.h"

#include "PrintKit/render/color/TransformPlugin.h"
#include "PrintKit/support/Processor.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <lcms2_plugin.h>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace PrintKit::LabShaper {

namespace {

constexpr int lastCode = 65535;

// --- Little CMS's arithmetic, step by step ---

// Little CMS's rounding of a value on the 0…65535 scale to a 16-bit code (internal to the library): half a
// code added and the result saturated, then floored through a double whose mantissa ends in 16 bits of
// fraction, so that a value less than 2⁻¹⁷ below a whole number already counts as that number.
inline std::uint16_t saturateWord(double d) {
    d += 0.5;
    if (d <= 0) {
        return 0;
    }
    if (d >= 65535.0) {
        return 0xFFFF;
    }
    const auto bits = std::bit_cast<std::uint64_t>((d - 32767.0) + 68719476736.0 * 1.5);
    const auto fixed = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    return static_cast<std::uint16_t>(static_cast<std::uint16_t>(fixed >> 16) + 32767U);
}

// A value whose 16-bit encoding is plain arithmetic: Little CMS clamps finite values, and what it makes of
// one that is not a number is its own, so pixels with such values go through Little CMS itself.
inline bool usual(float v) {
    return std::fabs(v) <= std::numeric_limits<float>::max();
}

// The matrix of the pipeline, rows being outputs, as Little CMS stores it.
struct Matrix {
    std::array<double, 9> m{};
    std::array<double, 3> offset{};
    bool hasOffset = false;
};

// One destination curve as codes.
struct Codes {
    // thresholds[k]: the least single-precision input that Little CMS's curve and rounding make code k or
    // more; −∞ for code 0 and +∞ past the last code, so that every input lies between two of them.
    std::vector<float> thresholds;
    // The code scale (code + ½ of the curve's value) at x = (i / 4096)², i = 0 … 4096, as pairs of value and
    // step to the next node: an estimate of the code, which the thresholds then confirm or correct.
    std::vector<float> estimate;
    // Around the break between the curve's two pieces the codes do not rise with the input: the pieces meet
    // with a jump, downwards for sRGB's own parameters once they are rounded to a profile's fixed-point
    // numbers. There every input's code is kept, one per single-precision value from windowFrom to windowTo.
    float windowFrom = 0;
    float windowTo = 0;
    std::vector<std::uint16_t> window;
};

constexpr int estimateSteps = 4096;

struct Evaluator {
    static constexpr std::uint32_t tag = 0x4C414253; // tells this plug-in's transforms from any other
    std::uint32_t mark = tag;
    const cmsPipeline* pipeline = nullptr; // the transform's own, for pixels the encoding does not keep
    Matrix matrix;
    std::array<double, 3> white{}; // the white Little CMS's Lab to XYZ step uses (D50)
    std::array<std::shared_ptr<const Codes>, 3> codes;
    bool copyAlpha = false;
};

// Lab to its 16-bit encoding (cmsFloat2LabEncoded): L* over 0…100, a* and b* over −128…127, clamped.
inline void encode(const float lab[3], std::uint16_t w[3]) {
    const double l = std::clamp<double>(lab[0], 0.0, 100.0);
    const double a = std::clamp<double>(lab[1], -128.0, 127.0);
    const double b = std::clamp<double>(lab[2], -128.0, 127.0);
    w[0] = saturateWord(l * 655.35);
    w[1] = saturateWord((a + 128.0) * 257.0);
    w[2] = saturateWord((b + 128.0) * 257.0);
}

// Little CMS's inverse of the CIE lightness function.
inline double inverseLightness(double t) {
    constexpr double limit = 24.0 / 116.0;
    if (t <= limit) {
        return (108.0 / 841.0) * (t - (16.0 / 116.0));
    }
    return t * t * t;
}

// The encoded colour as the pipeline's Lab to XYZ stage computes it: each code scaled to 0…1 in single
// precision, Lab and XYZ in double precision, XYZ scaled to the connection space's 16-bit range and rounded
// to single precision.
inline void toXYZ(const Evaluator& e, const std::uint16_t w[3], float xyz[3]) {
    constexpr double largestXYZ = 1.0 + 32767.0 / 32768.0;
    const float in[3] = {static_cast<float>(w[0]) / 65535.0F, static_cast<float>(w[1]) / 65535.0F,
                         static_cast<float>(w[2]) / 65535.0F};
    const double l = in[0] * 100.0;
    const double a = in[1] * 255.0 - 128.0;
    const double b = in[2] * 255.0 - 128.0;
    const double fy = (l + 16.0) / 116.0;
    const double fx = fy + 0.002 * a;
    const double fz = fy - 0.005 * b;
    xyz[0] = static_cast<float>(inverseLightness(fx) * e.white[0] / largestXYZ);
    xyz[1] = static_cast<float>(inverseLightness(fy) * e.white[1] / largestXYZ);
    xyz[2] = static_cast<float>(inverseLightness(fz) * e.white[2] / largestXYZ);
}

// The matrix stage: each output summed in double precision from zero, in column order, the offset last,
// then rounded to single precision.
inline void multiply(const Matrix& matrix, const float in[3], float out[3]) {
    for (std::size_t i = 0; i < 3; ++i) {
        double sum = 0;
        for (std::size_t j = 0; j < 3; ++j) {
            sum += in[j] * matrix.m[3 * i + j];
        }
        if (matrix.hasOffset) {
            sum += matrix.offset[i];
        }
        out[i] = static_cast<float>(sum);
    }
}

// Single-precision values in order as integers: the bit patterns of positive values count up, those of
// negative values count down from zero.
inline std::int32_t orderOf(float v) {
    const auto bits = std::bit_cast<std::int32_t>(v);
    return bits >= 0 ? bits : -(bits & 0x7FFFFFFF);
}
inline float valueOf(std::int32_t order) {
    return order >= 0 ? std::bit_cast<float>(order)
                      : std::bit_cast<float>(
                            static_cast<std::int32_t>(static_cast<std::uint32_t>(-order) | 0x80000000U));
}

// The code of a value before the curve: estimated, then moved to the one whose thresholds hold the value.
inline std::uint16_t codeOf(const Codes& codes, float y, int guess) {
    if (y >= codes.windowFrom && y <= codes.windowTo) {
        return codes.window[static_cast<std::size_t>(orderOf(y) - orderOf(codes.windowFrom))];
    }
    const float* t = codes.thresholds.data();
    int k = std::clamp(guess, 0, lastCode);
    while (y >= t[k + 1]) {
        ++k;
    }
    while (y < t[k]) {
        --k;
    }
    return static_cast<std::uint16_t>(k);
}

inline int estimateOf(const Codes& codes, float y) {
    const float t = std::sqrt(std::max(y, 0.0f)) * static_cast<float>(estimateSteps);
    const int i = static_cast<int>(std::min(t, static_cast<float>(estimateSteps - 1)));
    const float* node = codes.estimate.data() + 2 * i;
    const float code = node[0] + (t - static_cast<float>(i)) * node[1];
    return static_cast<int>(std::clamp(code, 0.0f, static_cast<float>(lastCode)));
}

// One pixel exactly as Little CMS converts it: its own encoding and pipeline.
void pixelByLittleCMS(const Evaluator& e, const float* in, std::uint16_t* out) {
    const cmsCIELab lab{in[0], in[1], in[2]};
    std::uint16_t w[3];
    cmsFloat2LabEncoded(w, &lab);
    std::uint16_t rgb[3];
    cmsPipelineEval16(w, rgb, e.pipeline);
    std::copy(rgb, rgb + 3, out);
    if (e.copyAlpha) {
        out[3] = saturateWord(in[3] * 65535.0);
    }
}

// Pixels of four floats (L*, a*, b*, alpha) to four 16-bit values (red, green, blue, alpha); without the
// alpha copy, the destination's fourth values are left as they were.
void rowPortable(const Evaluator& e, const float* in, std::uint16_t* out, std::size_t pixels) {
    for (std::size_t p = 0; p < pixels; ++p, in += 4, out += 4) {
        if (!usual(in[0]) || !usual(in[1]) || !usual(in[2]) || (e.copyAlpha && !usual(in[3]))) {
            pixelByLittleCMS(e, in, out);
            continue;
        }
        std::uint16_t w[3];
        encode(in, w);
        float xyz[3], y[3];
        toXYZ(e, w, xyz);
        multiply(e.matrix, xyz, y);
        for (std::size_t c = 0; c < 3; ++c) {
            out[c] = codeOf(*e.codes[c], y[c], estimateOf(*e.codes[c], y[c]));
        }
        if (e.copyAlpha) {
            out[3] = saturateWord(in[3] * 65535.0);
        }
    }
}

#if defined(__x86_64__)
// Four pixels at a time, each value in its own lane with the one-pixel arithmetic above, in double precision
// where that is double. Pixels with values the encoding does not keep go through Little CMS; a code the
// estimate does not hit at once, or one inside a curve's window, is found one lane at a time.

// Little CMS's rounding of four values to 16-bit codes, as saturateWord: (d − 32767) rounded to a multiple
// of 2⁻¹⁶ through the same double addition, then floored.
__attribute__((target("avx2"))) inline __m128i saturateWords(__m256d d) {
    const __m256d magic = _mm256_set1_pd(68719476736.0 * 1.5);
    d = _mm256_add_pd(d, _mm256_set1_pd(0.5));
    const __m256d rounded =
        _mm256_sub_pd(_mm256_add_pd(_mm256_sub_pd(d, _mm256_set1_pd(32767.0)), magic), magic);
    __m256d code = _mm256_add_pd(_mm256_floor_pd(rounded), _mm256_set1_pd(32767.0));
    code = _mm256_blendv_pd(code, _mm256_set1_pd(65535.0),
                            _mm256_cmp_pd(d, _mm256_set1_pd(65535.0), _CMP_GE_OQ));
    code = _mm256_blendv_pd(code, _mm256_setzero_pd(), _mm256_cmp_pd(d, _mm256_setzero_pd(), _CMP_LE_OQ));
    return _mm256_cvtpd_epi32(code);
}

__attribute__((target("avx2"))) inline __m256d inverseLightness(__m256d t) {
    const __m256d linear =
        _mm256_mul_pd(_mm256_set1_pd(108.0 / 841.0), _mm256_sub_pd(t, _mm256_set1_pd(16.0 / 116.0)));
    const __m256d cube = _mm256_mul_pd(_mm256_mul_pd(t, t), t);
    return _mm256_blendv_pd(cube, linear, _mm256_cmp_pd(t, _mm256_set1_pd(24.0 / 116.0), _CMP_LE_OQ));
}

// The first and second halves of four pairs of floats read at the given indices of a table (scale in bytes),
// in four loads of two floats each, which the processor overlaps better than one gather.
template <int Scale>
__attribute__((target("avx2"))) inline void loadPairs(const float* table, __m128i index, __m128& first,
                                                      __m128& second) {
    const auto* base = reinterpret_cast<const char*>(table);
    const auto pair = [base](int i) {
        return reinterpret_cast<const double*>(base + std::ptrdiff_t{Scale} * i);
    };
    const __m128 low = _mm_castpd_ps(
        _mm_loadh_pd(_mm_load_sd(pair(_mm_extract_epi32(index, 0))), pair(_mm_extract_epi32(index, 1))));
    const __m128 high = _mm_castpd_ps(
        _mm_loadh_pd(_mm_load_sd(pair(_mm_extract_epi32(index, 2))), pair(_mm_extract_epi32(index, 3))));
    first = _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
    second = _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
}

__attribute__((target("avx2"))) void rowAVX2(const Evaluator& e, const float* in, std::uint16_t* out,
                                             std::size_t pixels) {
    constexpr double largestXYZ = 1.0 + 32767.0 / 32768.0;
    const __m128 signBit = _mm_set1_ps(-0.0f);
    const __m128 largest = _mm_set1_ps(std::numeric_limits<float>::max());
    __m256d m[9];
    for (std::size_t j = 0; j < 9; ++j) {
        m[j] = _mm256_set1_pd(e.matrix.m[j]);
    }
    // Read once: the compiler cannot tell that nothing in the loop changes them.
    const bool copyAlpha = e.copyAlpha, hasOffset = e.matrix.hasOffset;
    const std::array<double, 3> white = e.white, offset = e.matrix.offset;
    const std::array<const Codes*, 3> channels = {e.codes[0].get(), e.codes[1].get(), e.codes[2].get()};
    std::size_t p = 0;
    for (; p + 4 <= pixels; p += 4) {
        const float* x = in + 4 * p;
        std::uint16_t* o = out + 4 * p;
        __m128 l = _mm_loadu_ps(x), a = _mm_loadu_ps(x + 4), b = _mm_loadu_ps(x + 8),
               alpha = _mm_loadu_ps(x + 12);
        _MM_TRANSPOSE4_PS(l, a, b, alpha);
        __m128 finite = _mm_cmple_ps(_mm_andnot_ps(signBit, l), largest);
        finite = _mm_and_ps(finite, _mm_cmple_ps(_mm_andnot_ps(signBit, a), largest));
        finite = _mm_and_ps(finite, _mm_cmple_ps(_mm_andnot_ps(signBit, b), largest));
        if (copyAlpha) {
            finite = _mm_and_ps(finite, _mm_cmple_ps(_mm_andnot_ps(signBit, alpha), largest));
        }
        if (_mm_movemask_ps(finite) != 0xF) {
            rowPortable(e, x, o, 4);
            continue;
        }
        // The 16-bit encoding.
        const __m256d lClamped =
            _mm256_min_pd(_mm256_max_pd(_mm256_cvtps_pd(l), _mm256_setzero_pd()), _mm256_set1_pd(100.0));
        const __m256d abLow = _mm256_set1_pd(-128.0), abHigh = _mm256_set1_pd(127.0);
        const __m256d aClamped = _mm256_min_pd(_mm256_max_pd(_mm256_cvtps_pd(a), abLow), abHigh);
        const __m256d bClamped = _mm256_min_pd(_mm256_max_pd(_mm256_cvtps_pd(b), abLow), abHigh);
        const __m128i wl = saturateWords(_mm256_mul_pd(lClamped, _mm256_set1_pd(655.35)));
        const __m128i wa = saturateWords(
            _mm256_mul_pd(_mm256_add_pd(aClamped, _mm256_set1_pd(128.0)), _mm256_set1_pd(257.0)));
        const __m128i wb = saturateWords(
            _mm256_mul_pd(_mm256_add_pd(bClamped, _mm256_set1_pd(128.0)), _mm256_set1_pd(257.0)));
        // Lab to XYZ.
        const __m128 scale = _mm_set1_ps(65535.0F);
        const __m256d lab[3] = {
            _mm256_mul_pd(_mm256_cvtps_pd(_mm_div_ps(_mm_cvtepi32_ps(wl), scale)), _mm256_set1_pd(100.0)),
            _mm256_sub_pd(
                _mm256_mul_pd(_mm256_cvtps_pd(_mm_div_ps(_mm_cvtepi32_ps(wa), scale)), _mm256_set1_pd(255.0)),
                _mm256_set1_pd(128.0)),
            _mm256_sub_pd(
                _mm256_mul_pd(_mm256_cvtps_pd(_mm_div_ps(_mm_cvtepi32_ps(wb), scale)), _mm256_set1_pd(255.0)),
                _mm256_set1_pd(128.0))};
        const __m256d fy = _mm256_div_pd(_mm256_add_pd(lab[0], _mm256_set1_pd(16.0)), _mm256_set1_pd(116.0));
        const __m256d fx = _mm256_add_pd(fy, _mm256_mul_pd(_mm256_set1_pd(0.002), lab[1]));
        const __m256d fz = _mm256_sub_pd(fy, _mm256_mul_pd(_mm256_set1_pd(0.005), lab[2]));
        const __m256d f[3] = {fx, fy, fz};
        __m256d xyz[3];
#pragma GCC unroll 3
        for (std::size_t c = 0; c < 3; ++c) {
            const __m256d v = _mm256_mul_pd(inverseLightness(f[c]), _mm256_set1_pd(white[c]));
            // Rounded to single precision and back, as the stage hands its values on.
            xyz[c] = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_div_pd(v, _mm256_set1_pd(largestXYZ))));
        }
        // The matrix, then each channel's code.
        __m128i code[3];
#pragma GCC unroll 3
        for (std::size_t c = 0; c < 3; ++c) {
            __m256d sum = _mm256_setzero_pd();
#pragma GCC unroll 3
            for (std::size_t j = 0; j < 3; ++j) {
                sum = _mm256_add_pd(sum, _mm256_mul_pd(xyz[j], m[3 * c + j]));
            }
            if (hasOffset) {
                sum = _mm256_add_pd(sum, _mm256_set1_pd(offset[c]));
            }
            const __m128 y = _mm256_cvtpd_ps(sum);
            const Codes& codes = *channels[c];
            const __m128 t = _mm_mul_ps(_mm_sqrt_ps(_mm_max_ps(y, _mm_setzero_ps())),
                                        _mm_set1_ps(static_cast<float>(estimateSteps)));
            const __m128i i =
                _mm_cvttps_epi32(_mm_min_ps(t, _mm_set1_ps(static_cast<float>(estimateSteps - 1))));
            __m128 value, step;
            loadPairs<8>(codes.estimate.data(), i, value, step);
            const __m128 estimate = _mm_add_ps(value, _mm_mul_ps(_mm_sub_ps(t, _mm_cvtepi32_ps(i)), step));
            __m128i k = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(estimate, _mm_setzero_ps()),
                                                    _mm_set1_ps(static_cast<float>(lastCode))));
            __m128 low, high;
            loadPairs<4>(codes.thresholds.data(), k, low, high);
            const __m128 up = _mm_cmpge_ps(y, high);
            const __m128 down = _mm_cmplt_ps(y, low);
            k = _mm_add_epi32(_mm_sub_epi32(k, _mm_castps_si128(up)), _mm_castps_si128(down));
            const __m128 inWindow = _mm_and_ps(_mm_cmpge_ps(y, _mm_set1_ps(codes.windowFrom)),
                                               _mm_cmple_ps(y, _mm_set1_ps(codes.windowTo)));
            const int missed = _mm_movemask_ps(_mm_or_ps(_mm_or_ps(up, down), inWindow));
            if (missed) {
                // Moved by one already; the thresholds decide whether that was far enough (or the window).
                alignas(16) float ys[4];
                alignas(16) std::int32_t ks[4];
                _mm_store_ps(ys, y);
                _mm_store_si128(reinterpret_cast<__m128i*>(ks), k);
                for (int lane = 0; lane < 4; ++lane) {
                    if (missed & (1 << lane)) {
                        ks[lane] = codeOf(codes, ys[lane], ks[lane]);
                    }
                }
                k = _mm_load_si128(reinterpret_cast<const __m128i*>(ks));
            }
            code[c] = k;
        }
        const __m128i alphaCode =
            copyAlpha ? saturateWords(_mm256_mul_pd(_mm256_cvtps_pd(alpha), _mm256_set1_pd(65535.0)))
                      : _mm_setzero_si128();
        const __m128i rg = _mm_or_si128(code[0], _mm_slli_epi32(code[1], 16));
        const __m128i ba = _mm_or_si128(code[2], _mm_slli_epi32(alphaCode, 16));
        __m128i first = _mm_unpacklo_epi32(rg, ba), second = _mm_unpackhi_epi32(rg, ba);
        auto* target = reinterpret_cast<__m128i*>(o);
        if (!copyAlpha) {
            first = _mm_blend_epi16(first, _mm_loadu_si128(target), 0x88);
            second = _mm_blend_epi16(second, _mm_loadu_si128(target + 1), 0x88);
        }
        _mm_storeu_si128(target, first);
        _mm_storeu_si128(target + 1, second);
    }
    rowPortable(e, in + 4 * p, out + 4 * p, pixels - p);
}
#endif

void row(const Evaluator& e, const float* in, std::uint16_t* out, std::size_t pixels) {
#if defined(__x86_64__)
    if (Processor::vectorLevel() >= Processor::VectorLevel::avx2) {
        rowAVX2(e, in, out, pixels);
        return;
    }
#endif
    rowPortable(e, in, out, pixels);
}

void transform(struct _cmstransform_struct* cargo, const void* input, void* output, cmsUInt32Number pixels,
               cmsUInt32Number lines, const cmsStride* stride) {
    const auto& e = *static_cast<const Evaluator*>(_cmsGetTransformUserData(cargo));
    TransformPlugin::eachLine(input, output, lines, stride, [&](const std::uint8_t* in, std::uint8_t* out) {
        row(e, reinterpret_cast<const float*>(in), reinterpret_cast<std::uint16_t*>(out), pixels);
    });
}

// --- the curve's codes ---

inline int exactCode(const cmsToneCurve* curve, float y) {
    return saturateWord(cmsEvalToneCurveFloat(curve, y) * 65535.0);
}

// The only curve form taken: IEC 61966-2.1's (sRGB's) inverted, Little CMS's parametric type −4, whose two
// pieces (a line below the break, a root above it) rise when its slope, scale and exponent are positive.
// Little CMS evaluates each piece with an error far below the step between neighbouring inputs, so the codes
// rise with the input on either side of the break; at the break itself, where the two pieces meet with
// parameters rounded to the profile's fixed-point numbers, the codes of every input nearby are kept.
bool monotoneForm(const cmsToneCurve* curve) {
    constexpr double tolerance = 0.0001; // below it, Little CMS makes a piece 0
    const cmsFloat64Number* p = cmsGetToneCurveParams(curve);
    return cmsGetToneCurveParametricType(curve) == -4 && p && p[0] > tolerance && p[1] > tolerance &&
           p[3] > tolerance;
}

// The value at which Little CMS moves from one piece of the curve to the other.
float breakOf(const cmsToneCurve* curve) {
    const cmsFloat64Number* p = cmsGetToneCurveParams(curve);
    const double e = p[1] * p[4] + p[2];
    return static_cast<float>(e < 0 ? 0.0 : std::pow(e, p[0]));
}

// Each threshold from the one before: the step between the last two predicts the next, and the prediction
// is widened until it brackets the threshold, which is then halved down to one value. Inside the window the
// search sees the code just below it, so that what it searches rises everywhere.
std::shared_ptr<const Codes> makeCodes(const cmsToneCurve* curve) {
    if (!monotoneForm(curve)) {
        return nullptr;
    }
    auto codes = std::make_shared<Codes>();
    // A window far wider than the jump: it must hold every input whose code is out of order.
    constexpr std::int32_t nearBreak = 16384;
    const std::int32_t breakOrder = orderOf(breakOf(curve));
    const std::int32_t windowFrom = breakOrder - nearBreak, windowTo = breakOrder + nearBreak;
    codes->windowFrom = valueOf(windowFrom);
    codes->windowTo = valueOf(windowTo);
    codes->window.resize(static_cast<std::size_t>(windowTo - windowFrom) + 1);
    for (std::int32_t order = windowFrom; order <= windowTo; ++order) {
        codes->window[static_cast<std::size_t>(order - windowFrom)] =
            static_cast<std::uint16_t>(exactCode(curve, valueOf(order)));
    }
    const int belowWindow = exactCode(curve, valueOf(windowFrom - 1));
    if (belowWindow > exactCode(curve, valueOf(windowTo + 1))) {
        return nullptr;
    }
    const auto code = [&](std::int32_t order) {
        return order < windowFrom || order > windowTo ? exactCode(curve, valueOf(order)) : belowWindow;
    };
    // Far past anything a Lab colour can become, and well inside the curve's domain.
    constexpr float reach = 1e6f;
    const std::int32_t lowest = orderOf(-reach), highest = orderOf(reach);
    if (code(lowest) != 0 || code(highest) != lastCode) {
        return nullptr;
    }
    std::vector<std::int32_t> at(lastCode + 1);
    at[0] = lowest;
    std::int32_t below = lowest; // code(below) < k throughout
    for (int k = 1; k <= lastCode; ++k) {
        const std::int32_t previous = at[static_cast<std::size_t>(k - 1)];
        if (k > 1 && code(previous) >= k) {
            at[static_cast<std::size_t>(k)] = previous;
            continue;
        }
        const std::int32_t gap = k > 2 ? previous - at[static_cast<std::size_t>(k - 2)] : 1;
        const auto guess = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(std::int64_t{previous} + gap, std::int64_t{below} + 1, highest));
        std::int32_t above = guess; // code(above) >= k
        std::int64_t widen = 2;
        if (code(guess) >= k) {
            for (;;) {
                const auto lower = static_cast<std::int32_t>(std::max<std::int64_t>(above - widen, below));
                if (lower == below || code(lower) < k) {
                    below = lower;
                    break;
                }
                above = lower;
                widen *= 2;
            }
        } else {
            below = guess;
            for (;;) {
                const auto higher = static_cast<std::int32_t>(std::min<std::int64_t>(below + widen, highest));
                if (code(higher) >= k) {
                    above = higher;
                    break;
                }
                below = higher;
                widen *= 2;
            }
        }
        while (above - below > 1) {
            const std::int32_t middle = below + (above - below) / 2;
            if (code(middle) >= k) {
                above = middle;
            } else {
                below = middle;
            }
        }
        at[static_cast<std::size_t>(k)] = above;
    }
    codes->thresholds.resize(lastCode + 2);
    codes->thresholds[0] = -std::numeric_limits<float>::infinity();
    for (int k = 1; k <= lastCode; ++k) {
        codes->thresholds[static_cast<std::size_t>(k)] = valueOf(at[static_cast<std::size_t>(k)]);
    }
    codes->thresholds[lastCode + 1] = std::numeric_limits<float>::infinity();

    codes->estimate.resize(2 * (estimateSteps + 1));
    for (int i = 0; i <= estimateSteps; ++i) {
        const float s = static_cast<float>(i) / static_cast<float>(estimateSteps);
        codes->estimate[static_cast<std::size_t>(2 * i)] =
            static_cast<float>(cmsEvalToneCurveFloat(curve, s * s) * 65535.0 + 0.5);
    }
    for (int i = 0; i < estimateSteps; ++i) {
        codes->estimate[static_cast<std::size_t>(2 * i + 1)] =
            codes->estimate[static_cast<std::size_t>(2 * i + 2)] -
            codes->estimate[static_cast<std::size_t>(2 * i)];
    }
    codes->estimate[2 * estimateSteps + 1] = codes->estimate[2 * estimateSteps - 1];
    return codes;
}

// What identifies a parametric curve: its type and parameters.
std::string keyOf(const cmsToneCurve* curve) {
    const int type = cmsGetToneCurveParametricType(curve);
    std::string key(reinterpret_cast<const char*>(&type), sizeof type);
    key.append(reinterpret_cast<const char*>(cmsGetToneCurveParams(curve)), 10 * sizeof(cmsFloat64Number));
    return key;
}

// The codes of a curve, made once per process (so is the verdict on a curve they cannot be made for).
std::shared_ptr<const Codes> codesFor(const cmsToneCurve* curve) {
    if (!monotoneForm(curve)) {
        return nullptr;
    }
    // Never destroyed: transforms on other threads may still be made while the process exits.
    static auto* lock = new std::mutex;
    static auto* made = new std::map<std::string, std::shared_ptr<const Codes>>;
    std::string key = keyOf(curve);
    std::lock_guard guard(*lock);
    if (auto found = made->find(key); found != made->end()) {
        return found->second;
    }
    auto codes = makeCodes(curve);
    made->emplace(std::move(key), codes);
    return codes;
}

// --- taking a pipeline apart ---

bool isIdentity(const cmsToneCurve* curve) {
    if (cmsGetToneCurveParametricType(curve) != 1) {
        return false;
    }
    const cmsFloat64Number* parameters = cmsGetToneCurveParams(curve);
    return parameters && parameters[0] == 1.0;
}

const cmsToneCurve* const* curvesOf(cmsStage* stage) {
    if (cmsStageType(stage) != cmsSigCurveSetElemType) {
        return nullptr;
    }
    const auto* data = static_cast<const _cmsStageToneCurvesData*>(cmsStageData(stage));
    return data && data->nCurves == 3 && data->TheCurves ? data->TheCurves : nullptr;
}

// Identity curves (which pass every value of the 16-bit encoding unchanged), Lab to XYZ, one matrix, the
// destination's curves: the pipeline Little CMS builds from its Lab profile to a matrix-shaper RGB profile.
std::unique_ptr<Evaluator> build(const cmsPipeline* lut) {
    std::vector<cmsStage*> stages;
    for (cmsStage* s = cmsPipelineGetPtrToFirstStage(lut); s; s = cmsStageNext(s)) {
        if (cmsStageType(s) == cmsSigIdentityElemType) {
            continue;
        }
        if (cmsStageInputChannels(s) != 3 || cmsStageOutputChannels(s) != 3) {
            return nullptr;
        }
        stages.push_back(s);
    }
    std::size_t k = 0;
    while (k < stages.size() && curvesOf(stages[k]) &&
           std::all_of(curvesOf(stages[k]), curvesOf(stages[k]) + 3, isIdentity)) {
        ++k;
    }
    if (stages.size() != k + 3 || cmsStageType(stages[k]) != cmsSigLab2XYZElemType ||
        cmsStageType(stages[k + 1]) != cmsSigMatrixElemType || !curvesOf(stages[k + 2])) {
        return nullptr;
    }
    auto e = std::make_unique<Evaluator>();
    const auto* matrix = static_cast<const _cmsStageMatrixData*>(cmsStageData(stages[k + 1]));
    if (!matrix || !matrix->Double) {
        return nullptr;
    }
    std::copy(matrix->Double, matrix->Double + 9, e->matrix.m.begin());
    if (matrix->Offset) {
        e->matrix.hasOffset = true;
        std::copy(matrix->Offset, matrix->Offset + 3, e->matrix.offset.begin());
    }
    const cmsCIEXYZ* white = cmsD50_XYZ();
    e->white = {white->X, white->Y, white->Z};
    const cmsToneCurve* const* curves = curvesOf(stages[k + 2]);
    for (std::size_t c = 0; c < 3; ++c) {
        e->codes[c] = codesFor(curves[c]);
        if (!e->codes[c]) {
            return nullptr;
        }
    }
    e->pipeline = lut;
    return e;
}

// The evaluator against Little CMS's own evaluation of the same pipeline, on a grid through and past the
// Lab range, with alpha values through and past 0…1.
bool agrees(const Evaluator& e) {
    static constexpr float lightness[] = {-3.0f, 0.0f,  0.4f,  5.0f,   18.0f, 37.5f,
                                          50.0f, 71.0f, 94.0f, 100.0f, 104.0f};
    static constexpr float chroma[] = {-150.0f, -128.0f, -90.0f, -41.5f, -8.0f,  -0.3f, 0.0f,
                                       0.7f,    6.0f,    33.0f,  77.0f,  127.0f, 140.0f};
    static constexpr float alphas[] = {-0.5f, 0.0f, 0.3f, 1.0f, 1.25f};
    constexpr std::size_t n = std::size(chroma);
    std::array<float, 4 * n> pixels{};
    std::array<std::uint16_t, 4 * n> fast{}, exact{};
    for (float l : lightness) {
        for (float a : chroma) {
            for (std::size_t b = 0; b < n; ++b) {
                pixels[4 * b] = l;
                pixels[4 * b + 1] = a;
                pixels[4 * b + 2] = chroma[b];
                pixels[4 * b + 3] = alphas[b % std::size(alphas)];
                pixelByLittleCMS(e, pixels.data() + 4 * b, exact.data() + 4 * b);
            }
            std::copy(exact.begin(), exact.end(), fast.begin());
            row(e, pixels.data(), fast.data(), n);
            if (fast != exact) {
                return false;
            }
        }
    }
    return true;
}

cmsBool factory(_cmsTransform2Fn* xform, void** userData, _cmsFreeUserDataFn* freeData, cmsPipeline** lut,
                cmsUInt32Number* inputFormat, cmsUInt32Number* outputFormat, cmsUInt32Number* flags) {
    // Only the formats a Lab photo is painted in, and no extra work asked of the transform.
    if (*inputFormat != TYPE_LabA_FLT || *outputFormat != TYPE_RGBA_16 ||
        (*flags & (cmsFLAGS_GAMUTCHECK | cmsFLAGS_SOFTPROOFING | cmsFLAGS_NULLTRANSFORM))) {
        return FALSE;
    }
    // The arithmetic reproduced is that of Little CMS 2.14, which rounds float Lab to its 16-bit encoding
    // when the output has 16-bit samples; other versions may convert such a transform in floating point
    // throughout, and are left to do so until they are checked too.
    if (cmsGetEncodedCMMversion() / 10 != 214) {
        return FALSE;
    }
    return TransformPlugin::take(
        [&] {
            std::unique_ptr<Evaluator> e = build(*lut);
            if (e) {
                e->copyAlpha = (*flags & cmsFLAGS_COPY_ALPHA) != 0;
            }
            return e && agrees(*e) ? std::move(e) : nullptr;
        },
        transform, xform, userData, freeData);
}

} // namespace

void* plugin() {
    return TransformPlugin::record<factory>();
}

bool evaluates(cmsHTRANSFORM transform) {
    return TransformPlugin::evaluates<Evaluator>(transform);
}

} // namespace PrintKit::LabShaper
