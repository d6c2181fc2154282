#include "PrintKit/render/color/MatrixShaper.h"

#include "PrintKit/render/color/TransformPlugin.h"
#include "PrintKit/support/Processor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
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

namespace PrintKit::MatrixShaper {

namespace {

// The tables hold a curve at x = ±(k / steps)² for k = 0 … span: indexed by √|x|, so that the nodes lie
// densest near black, where encoding curves bend most, and reach |x| = 4, past the brightest colour a wide
// gamut puts outside the destination. Each channel has its positive side, then its negative side.
constexpr int steps = 4096;
constexpr int span = 2 * steps;
constexpr int sideSize = span + 1;
constexpr int channelSize = 2 * sideSize;

// Inputs beyond this (or not numbers) are not what the identity curves of a linear space pass through
// unchanged: Little CMS's curves end at ±1e22.
constexpr float largestInput = 1e20f;

struct Matrix {
    std::array<double, 9> m{}; // rows are outputs, as Little CMS stores them
    std::array<double, 3> offset{};
    bool hasOffset = false;
};

// The pipeline's own curves: the transform keeps its pipeline as long as it lives.
using Curve = const cmsToneCurve*;

// The tables of a destination's three curves, one channel per distinct curve (the three curves of an RGB
// space are most often one): each node as the pair of its value and the step to the next node's value, so
// that one read gives both ends of an interpolation.
struct Tables {
    std::vector<float> pairs;
    std::array<int, 3> offset{}; // where each channel's nodes start, in nodes

    const float* channel(int c) const { return pairs.data() + 2 * offset[static_cast<std::size_t>(c)]; }
};

struct Evaluator {
    static constexpr std::uint32_t tag = 0x4D534850; // tells this plug-in's transforms from any other
    std::uint32_t mark = tag;
    std::array<Curve, 3> input{}; // identities for every usual value, applied exactly for unusual ones
    std::vector<Matrix> matrices; // in order, each rounded to single precision as Little CMS does
    std::array<Curve, 3> output{};
    std::shared_ptr<const Tables> tables;
};

// --- Little CMS's arithmetic, step by step ---

// One matrix stage as Little CMS evaluates it: each output summed in double precision from zero, in
// column order, the offset last, then rounded to single precision.
inline void multiply(const Matrix& matrix, const float in[3], float out[3]) {
    float result[3];
    for (int i = 0; i < 3; ++i) {
        double sum = 0;
        for (int j = 0; j < 3; ++j) {
            sum += in[j] * matrix.m[static_cast<std::size_t>(3 * i + j)];
        }
        if (matrix.hasOffset) {
            sum += matrix.offset[static_cast<std::size_t>(i)];
        }
        result[i] = static_cast<float>(sum);
    }
    std::copy(result, result + 3, out);
}

inline bool usualInput(const float* x) {
    return std::fabs(x[0]) < largestInput && std::fabs(x[1]) < largestInput && std::fabs(x[2]) < largestInput;
}

// The pixel's values before the output curves, exactly as Little CMS computes them.
inline void linearPart(const Evaluator& e, const float* x, float* y) {
    float v[3] = {x[0], x[1], x[2]};
    if (!usualInput(x)) {
        for (int c = 0; c < 3; ++c) {
            v[c] = cmsEvalToneCurveFloat(e.input[static_cast<std::size_t>(c)], v[c]);
        }
    }
    for (const Matrix& matrix : e.matrices) {
        multiply(matrix, v, v);
    }
    std::copy(v, v + 3, y);
}

// The table lookup of one value inside the tables' reach (t < span): linear interpolation between the
// nodes either side of √|x|, value + fraction × step. It gives NaN between nodes where the interpolation
// strays too far from the curve (where a curve of two pieces joins with a step), and the value is then
// taken from the curve.
inline float lookup(const float* channel, float y, float t) {
    const float clamped = t < static_cast<float>(span - 1) ? t : static_cast<float>(span - 1);
    const int i = static_cast<int>(clamped);
    const float f = t - static_cast<float>(i);
    const float* node = channel + 2 * ((y < 0.0f ? sideSize : 0) + i);
    return node[0] + f * node[1];
}

inline float reach(float y) {
    return std::sqrt(std::fabs(y)) * static_cast<float>(steps);
}

// One output value: from the tables when they reach it, else from the exact curve.
inline float curve(const Evaluator& e, int c, float y) {
    const float t = reach(y);
    if (t < static_cast<float>(span)) {
        const float v = lookup(e.tables->channel(c), y, t);
        if (v == v) {
            return v;
        }
    }
    return cmsEvalToneCurveFloat(e.output[static_cast<std::size_t>(c)], y);
}

// --- whole rows ---

// Pixels of four floats; the fourth value of the destination is left as it was.
void rowPortable(const Evaluator& e, const float* in, float* out, std::size_t pixels) {
    for (std::size_t p = 0; p < pixels; ++p) {
        float y[3];
        linearPart(e, in + 4 * p, y);
        for (int c = 0; c < 3; ++c) {
            out[4 * p + static_cast<std::size_t>(c)] = curve(e, c, y[c]);
        }
    }
}

#if defined(__x86_64__)
// Eight pixels at a time, channel by channel: red, green and blue of the eight side by side (in the order
// 0, 2, 4, 6, 1, 3, 5, 7 that the transposition leaves them in), the matrices summed in double precision four
// values at a time, and each channel's table nodes gathered as pairs. The arithmetic of every value is the
// one-pixel arithmetic above. Pixels with unusual inputs go through the one-pixel code, values the tables do
// not serve are redone from the exact curve.
struct Lanes {
    __m256 v[3];
};

// One matrix stage on eight pixels: each row summed from zero in column order, in double precision four
// lanes at a time, the offset last, then rounded to single precision.
__attribute__((target("avx2"))) inline Lanes multiply(const __m256d* m, const Matrix& matrix,
                                                      const Lanes& x) {
    __m256d in[2][3];
#pragma GCC unroll 3
    for (int j = 0; j < 3; ++j) {
        in[0][j] = _mm256_cvtps_pd(_mm256_castps256_ps128(x.v[j]));
        in[1][j] = _mm256_cvtps_pd(_mm256_extractf128_ps(x.v[j], 1));
    }
    Lanes y;
#pragma GCC unroll 3
    for (int row = 0; row < 3; ++row) {
        __m128 half[2];
#pragma GCC unroll 2
        for (int h = 0; h < 2; ++h) {
            __m256d sum = _mm256_setzero_pd();
#pragma GCC unroll 3
            for (int j = 0; j < 3; ++j) {
                sum = _mm256_add_pd(sum, _mm256_mul_pd(in[h][j], m[3 * row + j]));
            }
            if (matrix.hasOffset) {
                sum = _mm256_add_pd(sum, _mm256_set1_pd(matrix.offset[static_cast<std::size_t>(row)]));
            }
            half[h] = _mm256_cvtpd_ps(sum);
        }
        y.v[row] = _mm256_set_m128(half[1], half[0]);
    }
    return y;
}

__attribute__((target("avx2"))) void rowAVX2(const Evaluator& e, const float* in, float* out,
                                             std::size_t pixels) {
    constexpr std::size_t mostMatrices = 4;
    if (e.matrices.size() > mostMatrices) {
        rowPortable(e, in, out, pixels);
        return;
    }
    __m256d m[mostMatrices][9];
    for (std::size_t k = 0; k < e.matrices.size(); ++k) {
        for (std::size_t j = 0; j < 9; ++j) {
            m[k][j] = _mm256_set1_pd(e.matrices[k].m[j]);
        }
    }
    const __m256 signBit = _mm256_set1_ps(-0.0f);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 scale = _mm256_set1_ps(static_cast<float>(steps));
    const __m256 last = _mm256_set1_ps(static_cast<float>(span - 1));
    const __m256 limit = _mm256_set1_ps(static_cast<float>(span));
    const __m256 largest = _mm256_set1_ps(largestInput);
    const __m256i negativeSide = _mm256_set1_epi32(sideSize);
    const __m256i pairOrder = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
    const __m256d every = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    const auto* nodes = reinterpret_cast<const double*>(e.tables->pairs.data());
    // Which pixel of the eight each lane holds.
    static constexpr int pixelOf[8] = {0, 2, 4, 6, 1, 3, 5, 7};

    std::size_t p = 0;
    for (; p + 8 <= pixels; p += 8) {
        const float* x = in + 4 * p;
        float* o = out + 4 * p;
        __m256 a[4];
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            a[k] = _mm256_loadu_ps(x + 8 * k);
        }
        const __m256 t0 = _mm256_unpacklo_ps(a[0], a[1]), t1 = _mm256_unpackhi_ps(a[0], a[1]);
        const __m256 t2 = _mm256_unpacklo_ps(a[2], a[3]), t3 = _mm256_unpackhi_ps(a[2], a[3]);
        Lanes v{{_mm256_shuffle_ps(t0, t2, 0x44), _mm256_shuffle_ps(t0, t2, 0xEE),
                 _mm256_shuffle_ps(t1, t3, 0x44)}};
        __m256 usual = _mm256_cmp_ps(_mm256_andnot_ps(signBit, v.v[0]), largest, _CMP_LT_OQ);
        usual = _mm256_and_ps(usual, _mm256_cmp_ps(_mm256_andnot_ps(signBit, v.v[1]), largest, _CMP_LT_OQ));
        usual = _mm256_and_ps(usual, _mm256_cmp_ps(_mm256_andnot_ps(signBit, v.v[2]), largest, _CMP_LT_OQ));
        if (_mm256_movemask_ps(usual) != 0xFF) {
            rowPortable(e, x, o, 8);
            continue;
        }
        for (std::size_t k = 0; k < e.matrices.size(); ++k) {
            v = multiply(m[k], e.matrices[k], v);
        }
        Lanes result;
        int unserved[3];
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) {
            const __m256 y = v.v[c];
            const __m256 t = _mm256_mul_ps(_mm256_sqrt_ps(_mm256_andnot_ps(signBit, y)), scale);
            // A value past the tables (or not a number) reads the last node; it is redone below.
            const __m256i i = _mm256_cvttps_epi32(_mm256_min_ps(t, last));
            const __m256 f = _mm256_sub_ps(t, _mm256_cvtepi32_ps(i));
            const __m256i negative = _mm256_castps_si256(_mm256_cmp_ps(y, zero, _CMP_LT_OQ));
            const __m256i node = _mm256_permutevar8x32_epi32(
                _mm256_add_epi32(
                    _mm256_add_epi32(i, _mm256_set1_epi32(e.tables->offset[static_cast<std::size_t>(c)])),
                    _mm256_and_si256(negative, negativeSide)),
                pairOrder);
            // Lanes 0, 1, 4, 5 and then 2, 3, 6, 7, so that the pairs unzip into lane order.
            const __m256 low = _mm256_castpd_ps(
                _mm256_mask_i32gather_pd(_mm256_setzero_pd(), nodes, _mm256_castsi256_si128(node), every, 8));
            const __m256 high = _mm256_castpd_ps(_mm256_mask_i32gather_pd(
                _mm256_setzero_pd(), nodes, _mm256_extracti128_si256(node, 1), every, 8));
            const __m256 value = _mm256_shuffle_ps(low, high, 0x88);
            const __m256 step = _mm256_shuffle_ps(low, high, 0xDD);
            result.v[c] = _mm256_add_ps(value, _mm256_mul_ps(f, step));
            const __m256 served = _mm256_and_ps(_mm256_cmp_ps(t, limit, _CMP_LT_OQ),
                                                _mm256_cmp_ps(result.v[c], result.v[c], _CMP_ORD_Q));
            unserved[c] = ~_mm256_movemask_ps(served) & 0xFF;
        }
        const __m256 r0 = _mm256_unpacklo_ps(result.v[0], result.v[1]);
        const __m256 r1 = _mm256_unpackhi_ps(result.v[0], result.v[1]);
        const __m256 r2 = _mm256_unpacklo_ps(result.v[2], zero);
        const __m256 r3 = _mm256_unpackhi_ps(result.v[2], zero);
        const __m256 back[4] = {_mm256_shuffle_ps(r0, r2, 0x44), _mm256_shuffle_ps(r0, r2, 0xEE),
                                _mm256_shuffle_ps(r1, r3, 0x44), _mm256_shuffle_ps(r1, r3, 0xEE)};
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            // The destination's fourth values are kept (in place, they are the source's).
            _mm256_storeu_ps(o + 8 * k, _mm256_blend_ps(back[k], _mm256_loadu_ps(o + 8 * k), 0x88));
        }
        if (unserved[0] | unserved[1] | unserved[2]) {
            for (int c = 0; c < 3; ++c) {
                alignas(32) float y[8];
                _mm256_store_ps(y, v.v[c]);
                for (int lane = 0; lane < 8; ++lane) {
                    if (unserved[c] & (1 << lane)) {
                        o[4 * pixelOf[lane] + c] =
                            cmsEvalToneCurveFloat(e.output[static_cast<std::size_t>(c)], y[lane]);
                    }
                }
            }
        }
    }
    rowPortable(e, in + 4 * p, out + 4 * p, pixels - p);
}
#endif

void row(const Evaluator& e, const float* in, float* out, std::size_t pixels) {
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
        row(e, reinterpret_cast<const float*>(in), reinterpret_cast<float*>(out), pixels);
    });
}

// --- taking a pipeline apart ---

bool isIdentity(const cmsToneCurve* curve) {
    if (cmsGetToneCurveParametricType(curve) != 1) {
        return false;
    }
    const cmsFloat64Number* parameters = cmsGetToneCurveParams(curve);
    return parameters && parameters[0] == 1.0;
}

struct Stage {
    bool isMatrix = false;
    Matrix matrix;
    const cmsToneCurve* const* curves = nullptr;
};

// The product b · a, summed as Little CMS multiplies matrices.
Matrix product(const Matrix& b, const Matrix& a) {
    Matrix r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const auto at = [](int row, int column) { return static_cast<std::size_t>(3 * row + column); };
            r.m[at(i, j)] =
                b.m[at(i, 0)] * a.m[at(0, j)] + b.m[at(i, 1)] * a.m[at(1, j)] + b.m[at(i, 2)] * a.m[at(2, j)];
        }
    }
    return r;
}

bool nearIdentity(const Matrix& matrix) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            if (!(std::fabs(matrix.m[static_cast<std::size_t>(3 * i + j)] - (i == j ? 1.0 : 0.0)) <
                  0.00001f)) {
                return false;
            }
        }
    }
    return true;
}

// Little CMS joins neighbouring matrices before it evaluates a float pipeline, and drops a product that is
// nearly the identity; the evaluation must see the same stages to give the same values. A pair with an
// offset ends the joining, as it does there.
void joinMatrices(std::vector<Stage>& stages) {
    bool joined = true;
    while (joined) {
        joined = false;
        std::size_t k = 0;
        while (k + 1 < stages.size()) {
            if (!stages[k].isMatrix || !stages[k + 1].isMatrix) {
                ++k;
                continue;
            }
            if (stages[k].matrix.hasOffset || stages[k + 1].matrix.hasOffset) {
                return;
            }
            const Matrix joint = product(stages[k + 1].matrix, stages[k].matrix);
            stages.erase(stages.begin() + static_cast<std::ptrdiff_t>(k),
                         stages.begin() + static_cast<std::ptrdiff_t>(k) + 2);
            if (!nearIdentity(joint)) {
                Stage stage;
                stage.isMatrix = true;
                stage.matrix = joint;
                stages.insert(stages.begin() + static_cast<std::ptrdiff_t>(k), stage);
            }
            joined = true;
        }
    }
}

std::vector<Stage> stagesOf(const cmsPipeline* lut, bool& supported) {
    std::vector<Stage> stages;
    supported = false;
    for (cmsStage* s = cmsPipelineGetPtrToFirstStage(lut); s; s = cmsStageNext(s)) {
        const cmsStageSignature type = cmsStageType(s);
        if (type == cmsSigIdentityElemType) {
            continue;
        }
        if (cmsStageInputChannels(s) != 3 || cmsStageOutputChannels(s) != 3) {
            return {};
        }
        Stage stage;
        if (type == cmsSigCurveSetElemType) {
            const auto* data = static_cast<const _cmsStageToneCurvesData*>(cmsStageData(s));
            if (!data || data->nCurves != 3 || !data->TheCurves) {
                return {};
            }
            stage.curves = data->TheCurves;
        } else if (type == cmsSigMatrixElemType) {
            const auto* data = static_cast<const _cmsStageMatrixData*>(cmsStageData(s));
            if (!data || !data->Double) {
                return {};
            }
            stage.isMatrix = true;
            std::copy(data->Double, data->Double + 9, stage.matrix.m.begin());
            if (data->Offset) {
                stage.matrix.hasOffset = true;
                std::copy(data->Offset, data->Offset + 3, stage.matrix.offset.begin());
            }
        } else {
            return {};
        }
        stages.push_back(stage);
    }
    supported = true;
    return stages;
}

// Within the tolerance, taken relative to the value beyond 1: far outside the unit range a float's own
// spacing is coarser than the tolerance, and such a value only ever ends up clamped.
bool close(float value, float exact, float within) {
    return std::fabs(value - exact) <= within * std::max(1.0f, std::fabs(exact));
}

// One channel's tables, checked at three points between every pair of nodes. The few spans where the
// interpolation strays from the exact curve by more than the tolerance (at the step where the two pieces of
// an sRGB-like curve join, once its parameters are rounded to the profile's fixed-point numbers, or next to
// a gamma curve's infinitely steep start) are marked to be evaluated exactly; a curve with more such spans
// than that is not tabulated at all.
bool tabulate(const cmsToneCurve* curve, float* channel) {
    constexpr int mostExactSpans = 16;
    std::vector<float> values(sideSize);
    for (int side = 0; side < 2; ++side) {
        float* pairs = channel + 2 * side * sideSize;
        const float sign = side == 0 ? 1.0f : -1.0f;
        for (int k = 0; k <= span; ++k) {
            const float s = static_cast<float>(k) * (1.0f / steps);
            values[static_cast<std::size_t>(k)] = cmsEvalToneCurveFloat(curve, sign * (s * s));
        }
        for (int k = 0; k < sideSize; ++k) {
            const float value = values[static_cast<std::size_t>(k)];
            pairs[2 * k] = value;
            pairs[2 * k + 1] = k < span ? values[static_cast<std::size_t>(k) + 1] - value : 0.0f;
        }
        std::vector<int> strays;
        for (int k = 0; k < span; ++k) {
            for (float q : {0.25f, 0.5f, 0.75f}) {
                const float s = (static_cast<float>(k) + q) * (1.0f / steps);
                const float x = sign * (s * s);
                const float t = reach(x);
                if (!(t < static_cast<float>(span))) {
                    return false;
                }
                if (!close(lookup(channel, x, t), cmsEvalToneCurveFloat(curve, x), tolerance)) {
                    strays.push_back(k);
                    break;
                }
            }
            if (strays.size() > mostExactSpans) {
                return false;
            }
        }
        for (int k : strays) {
            pairs[2 * k] = std::numeric_limits<float>::quiet_NaN();
        }
    }
    return true;
}

// What identifies a parametric curve: its type and parameters. Other curves have no key.
std::optional<std::string> keyOf(const cmsToneCurve* curve) {
    const int type = cmsGetToneCurveParametricType(curve);
    const cmsFloat64Number* parameters = cmsGetToneCurveParams(curve);
    if (type == 0 || !parameters) {
        return std::nullopt;
    }
    std::string key(reinterpret_cast<const char*>(&type), sizeof type);
    key.append(reinterpret_cast<const char*>(parameters), 10 * sizeof(cmsFloat64Number));
    return key;
}

std::shared_ptr<const Tables> tabulateAll(const std::array<Curve, 3>& curves) {
    auto tables = std::make_shared<Tables>();
    std::array<std::optional<std::string>, 3> keys;
    for (std::size_t c = 0; c < 3; ++c) {
        keys[c] = keyOf(curves[c]);
        std::size_t same = 0;
        while (same < c && !(keys[c] && keys[same] == keys[c])) {
            ++same;
        }
        if (same < c) {
            tables->offset[c] = tables->offset[same];
            continue;
        }
        tables->offset[c] = static_cast<int>(tables->pairs.size() / 2);
        tables->pairs.resize(tables->pairs.size() + 2 * channelSize);
        if (!tabulate(curves[c], tables->pairs.data() + 2 * tables->offset[c])) {
            return nullptr;
        }
    }
    return tables;
}

// The tables for a destination's curves. Every transform to the same space shares one set, made (and
// checked) once per process; so is the verdict on curves that cannot be tabulated.
std::shared_ptr<const Tables> tablesFor(const std::array<Curve, 3>& curves) {
    std::string key;
    for (const Curve& curve : curves) {
        auto one = keyOf(curve);
        if (!one) {
            return tabulateAll(curves);
        }
        key += *one;
    }
    // Never destroyed: transforms on other threads may still be made while the process exits.
    static auto* lock = new std::mutex;
    static auto* made = new std::map<std::string, std::shared_ptr<const Tables>>;
    std::lock_guard guard(*lock);
    if (auto found = made->find(key); found != made->end()) {
        return found->second;
    }
    auto tables = tabulateAll(curves);
    made->emplace(std::move(key), tables);
    return tables;
}

// The evaluator against Little CMS's own evaluation of the same stages (the matrices joined as it joins
// them) on a grid through and past the unit cube: the matrix arithmetic and the tables together. The
// curves are evaluated as Little CMS's curve stages do, one value at a time.
bool agrees(const Evaluator& e, cmsContext context) {
    struct PipelineFree {
        void operator()(cmsPipeline* p) const { cmsPipelineFree(p); }
    };
    std::unique_ptr<cmsPipeline, PipelineFree> matrices(cmsPipelineAlloc(context, 3, 3));
    if (!matrices) {
        return false;
    }
    for (const Matrix& m : e.matrices) {
        if (!cmsPipelineInsertStage(
                matrices.get(), cmsAT_END,
                cmsStageAllocMatrix(context, 3, 3, m.m.data(), m.hasOffset ? m.offset.data() : nullptr))) {
            return false;
        }
    }
    auto exactly = [&](const float* x, float* out) {
        float v[3], y[3];
        for (std::size_t c = 0; c < 3; ++c) {
            v[c] = cmsEvalToneCurveFloat(e.input[c], x[c]);
        }
        if (e.matrices.empty()) {
            std::copy(v, v + 3, y);
        } else {
            cmsPipelineEvalFloat(v, y, matrices.get());
        }
        for (std::size_t c = 0; c < 3; ++c) {
            out[c] = cmsEvalToneCurveFloat(e.output[c], y[c]);
        }
    };
    static constexpr float values[] = {-0.3f, -0.05f, 0.0f, 0.001f, 0.02f, 0.1f, 0.25f,
                                       0.5f,  0.75f,  0.9f, 1.0f,   1.1f,  1.6f};
    constexpr std::size_t n = std::size(values);
    // A row of the grid at a time, on the stack: a transform is made on a worker thread, whose heap would
    // keep what it freed.
    std::array<float, 4 * n> pixels{}, converted{};
    for (float r : values) {
        for (float g : values) {
            for (std::size_t b = 0; b < n; ++b) {
                pixels[4 * b] = r;
                pixels[4 * b + 1] = g;
                pixels[4 * b + 2] = values[b];
            }
            row(e, pixels.data(), converted.data(), n);
            for (std::size_t p = 0; p < n; ++p) {
                float exact[3];
                exactly(pixels.data() + 4 * p, exact);
                for (std::size_t c = 0; c < 3; ++c) {
                    if (!close(converted[4 * p + c], exact[c], tolerance)) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

Evaluator* build(const cmsPipeline* lut) {
    bool supported = false;
    std::vector<Stage> stages = stagesOf(lut, supported);
    if (!supported) {
        return nullptr;
    }
    joinMatrices(stages);
    // Linear curves, matrices, curves.
    if (stages.size() < 2 || stages.front().isMatrix || stages.back().isMatrix) {
        return nullptr;
    }
    for (std::size_t k = 1; k + 1 < stages.size(); ++k) {
        if (!stages[k].isMatrix) {
            return nullptr;
        }
    }
    auto e = std::make_unique<Evaluator>();
    for (std::size_t c = 0; c < 3; ++c) {
        const cmsToneCurve* in = stages.front().curves[c];
        const cmsToneCurve* out = stages.back().curves[c];
        if (!in || !out || !isIdentity(in)) {
            return nullptr;
        }
        e->input[c] = in;
        e->output[c] = out;
    }
    for (std::size_t k = 1; k + 1 < stages.size(); ++k) {
        e->matrices.push_back(stages[k].matrix);
    }
    e->tables = tablesFor(e->output);
    if (!e->tables) {
        return nullptr;
    }
    if (!agrees(*e, cmsGetPipelineContextID(lut))) {
        return nullptr;
    }
    return e.release();
}

cmsBool factory(_cmsTransform2Fn* xform, void** userData, _cmsFreeUserDataFn* freeData, cmsPipeline** lut,
                cmsUInt32Number* inputFormat, cmsUInt32Number* outputFormat, cmsUInt32Number* flags) {
    // Only the float format the band pipeline converts rows in, and no extra work asked of the transform.
    if (*inputFormat != TYPE_RGBA_FLT || *outputFormat != TYPE_RGBA_FLT ||
        (*flags &
         (cmsFLAGS_GAMUTCHECK | cmsFLAGS_SOFTPROOFING | cmsFLAGS_COPY_ALPHA | cmsFLAGS_NULLTRANSFORM))) {
        return FALSE;
    }
    return TransformPlugin::take([&] { return std::unique_ptr<Evaluator>(build(*lut)); }, transform, xform,
                                 userData, freeData);
}

} // namespace

void* plugin() {
    return TransformPlugin::record<factory>();
}

bool evaluates(cmsHTRANSFORM transform) {
    return TransformPlugin::evaluates<Evaluator>(transform);
}

} // namespace PrintKit::MatrixShaper
