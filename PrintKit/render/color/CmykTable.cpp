#include "PrintKit/render/color/CmykTable.h"

#include "PrintKit/render/color/TransformPlugin.h"
#include "PrintKit/support/Processor.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// Little CMS's own optimisation of a pipeline: exported by the library for its plug-ins, declared only in
// its internal header.
extern "C" cmsBool CMSEXPORT _cmsOptimizePipeline(cmsContext ContextID, cmsPipeline** PtrLut,
                                                  cmsUInt32Number Intent, cmsUInt32Number* InputFormat,
                                                  cmsUInt32Number* OutputFormat, cmsUInt32Number* dwFlags);

namespace PrintKit::CmykTable {

namespace {

// --- Little CMS's fixed-point arithmetic ---
// Little CMS computes in 32-bit integers and lets a product of a large step and a large fraction run over;
// its build wraps such values around. The same wrap, defined here, so that a table with steep steps gives
// the same codes too.

inline std::int32_t wrapped(std::uint32_t v) {
    return static_cast<std::int32_t>(v);
}

inline std::int32_t add(std::int32_t a, std::int32_t b) {
    return wrapped(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

inline std::int32_t multiply(std::int32_t a, std::int32_t b) {
    return wrapped(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// A value on the 0…65535 scale to 16.16 fixed point over the same range (65535 becoming 1.0).
inline std::int32_t toFixedDomain(std::int32_t a) {
    return add(a, add(a, 0x7FFF) / 0xFFFF);
}

// A 16.16 value rounded to its whole part.
inline std::int32_t roundFixed(std::int32_t x) {
    return add(x, 0x8000) >> 16;
}

// Between two codes by a 16-bit fraction, in unsigned 32-bit arithmetic as Little CMS does it.
inline std::uint16_t between(std::int32_t fraction, std::int32_t low, std::int32_t high) {
    std::uint32_t d = static_cast<std::uint32_t>(high - low) * static_cast<std::uint32_t>(fraction) + 0x8000U;
    d = (d >> 16) + static_cast<std::uint32_t>(low);
    return static_cast<std::uint16_t>(d);
}

// Little CMS's conversions between 8-bit samples and 16-bit codes.
inline std::uint16_t word(std::uint8_t v) {
    return static_cast<std::uint16_t>(v * 257U);
}

inline std::uint8_t byte(std::uint16_t v) {
    return static_cast<std::uint8_t>((v * 65281U + 8388608U) >> 24);
}

// --- where a colour lies in the table ---

// One input along one of the table's axes: the offset of the node below it, the step to the node above
// (none at the end of the range) and the 16-bit fraction between them.
struct Axis {
    std::int32_t offset = 0;
    std::int32_t step = 0;
    std::int32_t fraction = 0;
};

inline Axis axisOf(std::uint16_t v, std::uint32_t domain, std::uint32_t opta) {
    const std::int32_t f = toFixedDomain(static_cast<std::int32_t>(v * domain));
    const auto stride = static_cast<std::int32_t>(opta);
    return Axis{stride * (f >> 16), v == 0xFFFF ? 0 : stride, f & 0xFFFF};
}

// The black slices below and above a colour with the fraction between them, and the tetrahedron of the
// colour cube holding it: the path from the cube's first corner to the opposite one (the offsets of its four
// corners) and the fractions of its three steps.
struct Location {
    std::int32_t below, above, fraction;
    std::int32_t first, second, third, last;
    std::int32_t w1, w2, w3;
};

// The path steps along the axes in the order of their fractions, largest first; ties give the same sums
// whichever way they are broken. Indexed by x ≥ y, y ≥ z and x ≥ z (4, 2, 1); two entries never occur.
constexpr std::uint8_t paths[8][3] = {{2, 1, 0}, {2, 1, 0}, {1, 2, 0}, {1, 0, 2},
                                      {2, 0, 1}, {0, 2, 1}, {0, 1, 2}, {0, 1, 2}};

[[gnu::always_inline]] inline Location locate(const Axis& k, const Axis& x, const Axis& y, const Axis& z) {
    const std::int32_t step[3] = {x.step, y.step, z.step};
    const std::int32_t fraction[3] = {x.fraction, y.fraction, z.fraction};
    const std::uint8_t* path = paths[(x.fraction >= y.fraction ? 4 : 0) | (y.fraction >= z.fraction ? 2 : 0) |
                                     (x.fraction >= z.fraction ? 1 : 0)];
    Location at;
    at.below = k.offset;
    at.above = k.offset + k.step;
    at.fraction = k.fraction;
    at.first = x.offset + y.offset + z.offset;
    at.second = at.first + step[path[0]];
    at.third = at.second + step[path[1]];
    at.last = at.first + x.step + y.step + z.step;
    at.w1 = fraction[path[0]];
    at.w2 = fraction[path[1]];
    at.w3 = fraction[path[2]];
    return at;
}

inline Location locate(const std::uint16_t input[4], const cmsInterpParams& table) {
    return locate(
        axisOf(input[0], table.Domain[0], table.opta[3]), axisOf(input[1], table.Domain[1], table.opta[2]),
        axisOf(input[2], table.Domain[2], table.opta[1]), axisOf(input[3], table.Domain[3], table.opta[0]));
}

// --- the interpolation ---

inline std::uint16_t tetrahedral(const std::uint16_t* slice, const Location& at, int channel) {
    const std::int32_t c0 = slice[at.first + channel];
    const std::int32_t c1 = slice[at.second + channel];
    const std::int32_t c2 = slice[at.third + channel];
    const std::int32_t c3 = slice[at.last + channel];
    const std::int32_t rest =
        add(add(multiply(c1 - c0, at.w1), multiply(c2 - c1, at.w2)), multiply(c3 - c2, at.w3));
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(c0) +
                                      static_cast<std::uint32_t>(roundFixed(toFixedDomain(rest))));
}

inline void evaluatePlain(const std::uint16_t* codes, const Location& at, std::uint16_t out[3]) {
    for (int c = 0; c < 3; ++c) {
        out[c] =
            between(at.fraction, tetrahedral(codes + at.below, at, c), tetrahedral(codes + at.above, at, c));
    }
}

#if defined(__x86_64__)
// One corner's codes in both slices, as 32-bit lanes: the three outputs of the slice below, one code past
// them, then the same of the slice above.
__attribute__((target("avx2"))) inline __m256i corner(const std::uint16_t* codes, const Location& at,
                                                      std::int32_t offset) {
    const __m128i below = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(codes + at.below + offset));
    const __m128i above = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(codes + at.above + offset));
    return _mm256_cvtepu16_epi32(_mm_unpacklo_epi64(below, above));
}

// The six interpolations side by side, then the linear one between the slices: the three codes in the first
// lanes. Each corner is read as four codes, one past its three, so the caller keeps the last corner's fourth
// code inside the table.
__attribute__((target("avx2"))) inline __m128i evaluateAVX2(const std::uint16_t* codes, const Location& at) {
    const __m256i c0 = corner(codes, at, at.first), c1 = corner(codes, at, at.second);
    const __m256i c2 = corner(codes, at, at.third), c3 = corner(codes, at, at.last);
    const __m256i rest = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(c1, c0), _mm256_set1_epi32(at.w1)),
                         _mm256_mullo_epi32(_mm256_sub_epi32(c2, c1), _mm256_set1_epi32(at.w2))),
        _mm256_mullo_epi32(_mm256_sub_epi32(c3, c2), _mm256_set1_epi32(at.w3)));
    // The quotient by 65535 truncated, through double precision: exact, since a quotient that is not whole
    // lies at least 1/65535 from every whole number, far beyond the rounding of the division.
    const __m256i n = _mm256_add_epi32(rest, _mm256_set1_epi32(0x7FFF));
    const __m256d divisor = _mm256_set1_pd(65535.0);
    const __m128i qLow =
        _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(n)), divisor));
    const __m128i qHigh =
        _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(n, 1)), divisor));
    const __m256i fixed = _mm256_add_epi32(rest, _mm256_set_m128i(qHigh, qLow));
    const __m256i rounded = _mm256_srai_epi32(_mm256_add_epi32(fixed, _mm256_set1_epi32(0x8000)), 16);
    const __m256i slices = _mm256_and_si256(_mm256_add_epi32(c0, rounded), _mm256_set1_epi32(0xFFFF));
    const __m128i low = _mm256_castsi256_si128(slices);
    const __m128i high = _mm256_extracti128_si256(slices, 1);
    __m128i d = _mm_add_epi32(_mm_mullo_epi32(_mm_sub_epi32(high, low), _mm_set1_epi32(at.fraction)),
                              _mm_set1_epi32(0x8000));
    d = _mm_add_epi32(_mm_srli_epi32(d, 16), low);
    return _mm_and_si128(d, _mm_set1_epi32(0xFFFF));
}

// The three codes of the first lanes written as samples over a destination pixel's first three, its fourth
// written back as it was.
template <bool Deep>
__attribute__((target("avx2"))) inline void
store(__m128i codes, std::conditional_t<Deep, std::uint16_t, std::uint8_t>* out) {
    if constexpr (Deep) {
        const __m128i words = _mm_insert_epi16(_mm_packus_epi32(codes, codes), out[3], 3);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), words);
    } else {
        const __m128i bytes = _mm_srli_epi32(
            _mm_add_epi32(_mm_mullo_epi32(codes, _mm_set1_epi32(65281)), _mm_set1_epi32(8388608)), 24);
        const __m128i packed = _mm_shuffle_epi8(
            bytes, _mm_setr_epi8(0, 4, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
        const std::uint32_t pixel =
            static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed)) | (std::uint32_t{out[3]} << 24);
        std::memcpy(out, &pixel, sizeof pixel);
    }
}
#endif

// --- the transform ---

struct Evaluator {
    static constexpr std::uint32_t tag = 0x434D594B; // tells this plug-in's transforms from any other
    std::uint32_t mark = tag;
    // Little CMS's optimised pipeline, which holds the one table, and that table.
    std::unique_ptr<cmsPipeline, void (*)(cmsPipeline*)> pipeline{nullptr, cmsPipelineFree};
    const cmsInterpParams* table = nullptr;
    bool deep = false; // 16-bit samples, else 8-bit
    bool copyAlpha = false;
    // Each 8-bit sample's place along each axis (black, then the three colours).
    std::array<std::array<Axis, 256>, 4> axes{};
};

// The pixels' colours; source pixels hold four samples and one extra, destination pixels three and one.
template <bool Deep, bool AVX2>
[[gnu::always_inline]] inline void colourRow(const Evaluator& e, const std::uint8_t* input,
                                             std::uint8_t* output, std::size_t pixels) {
    using Sample = std::conditional_t<Deep, std::uint16_t, std::uint8_t>;
    const auto* in = reinterpret_cast<const Sample*>(input);
    auto* out = reinterpret_cast<Sample*>(output);
    const auto* codes = static_cast<const std::uint16_t*>(e.table->Table);
    // The highest offset at which four codes can be read.
    const auto lastSafe = static_cast<std::int32_t>(e.table->opta[3] * e.table->nSamples[0]) - 4;
    for (std::size_t i = 0; i < pixels; ++i, in += 5, out += 4) {
        Location at;
        if constexpr (Deep) {
            std::uint16_t v[4];
            std::memcpy(v, in, sizeof v);
            at = locate(v, *e.table);
        } else {
            at = locate(e.axes[0][in[0]], e.axes[1][in[1]], e.axes[2][in[2]], e.axes[3][in[3]]);
        }
#if defined(__x86_64__)
        if constexpr (AVX2) {
            if (at.above + at.last <= lastSafe) {
                store<Deep>(evaluateAVX2(codes, at), out);
                continue;
            }
        }
#endif
        std::uint16_t w[3];
        evaluatePlain(codes, at, w);
        if constexpr (Deep) {
            std::memcpy(out, w, sizeof w);
        } else {
            for (int c = 0; c < 3; ++c) {
                out[c] = byte(w[c]);
            }
        }
    }
}

template <bool Deep>
void colourRowPlain(const Evaluator& e, const std::uint8_t* input, std::uint8_t* output, std::size_t pixels) {
    colourRow<Deep, false>(e, input, output, pixels);
}

#if defined(__x86_64__)
template <bool Deep>
__attribute__((target("avx2"), flatten)) void colourRowAVX2(const Evaluator& e, const std::uint8_t* input,
                                                            std::uint8_t* output, std::size_t pixels) {
    colourRow<Deep, true>(e, input, output, pixels);
}
#endif

using RowFunction = void (*)(const Evaluator&, const std::uint8_t*, std::uint8_t*, std::size_t);

RowFunction rowFunction(const Evaluator& e) {
#if defined(__x86_64__)
    if (Processor::vectorLevel() >= Processor::VectorLevel::avx2) {
        return e.deep ? colourRowAVX2<true> : colourRowAVX2<false>;
    }
#endif
    return e.deep ? colourRowPlain<true> : colourRowPlain<false>;
}

template <typename Sample> void copyExtra(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i) {
        std::memmove(out + (4 * i + 3) * sizeof(Sample), in + (5 * i + 4) * sizeof(Sample), sizeof(Sample));
    }
}

void transform(struct _cmstransform_struct* cargo, const void* input, void* output, cmsUInt32Number pixels,
               cmsUInt32Number lines, const cmsStride* stride) {
    const auto& e = *static_cast<const Evaluator*>(_cmsGetTransformUserData(cargo));
    const RowFunction colour = rowFunction(e);
    TransformPlugin::eachLine(input, output, lines, stride, [&](const std::uint8_t* in, std::uint8_t* out) {
        // The extra sample first, as Little CMS copies it, then the colours.
        if (e.copyAlpha) {
            if (e.deep) {
                copyExtra<std::uint16_t>(in, out, pixels);
            } else {
                copyExtra<std::uint8_t>(in, out, pixels);
            }
        }
        colour(e, in, out, pixels);
    });
}

// --- taking a transform ---

// The table of a pipeline Little CMS has reduced to one 16-bit table of four inputs and three outputs.
const cmsInterpParams* tableOf(const cmsPipeline* lut) {
    if (cmsPipelineStageCount(lut) != 1) {
        return nullptr;
    }
    cmsStage* stage = cmsPipelineGetPtrToFirstStage(lut);
    if (cmsStageType(stage) != cmsSigCLutElemType || cmsStageInputChannels(stage) != 4 ||
        cmsStageOutputChannels(stage) != 3) {
        return nullptr;
    }
    const auto* data = static_cast<const _cmsStageCLutData*>(cmsStageData(stage));
    if (!data || data->HasFloatValues || !data->Tab.T || !data->Params) {
        return nullptr;
    }
    const cmsInterpParams* table = data->Params;
    if (table->nInputs != 4 || table->nOutputs != 3 || table->Table != data->Tab.T) {
        return nullptr;
    }
    for (int i = 0; i < 4; ++i) {
        if (table->Domain[i] == 0 || table->Domain[i] > 255) {
            return nullptr;
        }
    }
    return table;
}

// Inputs to compare the two evaluations at: every combination of the ends of the range, its middle and the
// values around some of the table's inner nodes, then arbitrary codes (for 8-bit samples, those of bytes).
std::vector<std::array<std::uint16_t, 4>> probes(const cmsInterpParams& table, bool deep) {
    std::vector<std::uint16_t> edges = {0, 0xFFFF};
    if (deep) {
        const std::uint32_t domain = table.Domain[1];
        edges.insert(edges.end(), {1, 0x7FFF, 0x8000, 0xFFFE});
        for (std::uint32_t node : {1U, domain / 2, domain - 1}) {
            if (node == 0 || node >= domain) {
                continue;
            }
            const std::uint32_t at = (node * 0xFFFFU + domain - 1) / domain;
            for (std::uint32_t v : {at - 1, at, at + 1}) {
                edges.push_back(static_cast<std::uint16_t>(v));
            }
        }
    } else {
        edges.insert(edges.end(), {word(1), word(127), word(128), word(254)});
    }
    std::vector<std::array<std::uint16_t, 4>> inputs;
    for (std::uint16_t k : edges) {
        for (std::uint16_t c : edges) {
            for (std::uint16_t m : edges) {
                for (std::uint16_t y : edges) {
                    inputs.push_back({k, c, m, y});
                }
            }
        }
    }
    std::minstd_rand random(20261207);
    std::uniform_int_distribution<int> any(0, deep ? 0xFFFF : 0xFF);
    for (int i = 0; i < 8192; ++i) {
        std::array<std::uint16_t, 4> in{};
        for (auto& v : in) {
            v = static_cast<std::uint16_t>(any(random));
            v = deep ? v : word(static_cast<std::uint8_t>(v));
        }
        inputs.push_back(in);
    }
    return inputs;
}

// The rows the transform makes against Little CMS's own evaluation of the table and its sample formats.
bool agrees(const Evaluator& e) {
    const auto inputs = probes(*e.table, e.deep);
    const std::size_t sample = e.deep ? 2 : 1;
    std::vector<std::uint8_t> in(inputs.size() * 5 * sample), out(inputs.size() * 4 * sample);
    std::vector<std::uint8_t> expected(out.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        std::array<std::uint16_t, 3> w{};
        cmsPipelineEval16(inputs[i].data(), w.data(), e.pipeline.get());
        for (std::size_t c = 0; c < 4; ++c) {
            if (e.deep) {
                std::memcpy(&in[(5 * i + c) * 2], &inputs[i][c], 2);
            } else {
                in[5 * i + c] = static_cast<std::uint8_t>(inputs[i][c] >> 8);
            }
        }
        for (std::size_t c = 0; c < 3; ++c) {
            if (e.deep) {
                std::memcpy(&expected[(4 * i + c) * 2], &w[c], 2);
            } else {
                expected[4 * i + c] = byte(w[c]);
            }
        }
    }
    rowFunction(e)(e, in.data(), out.data(), inputs.size());
    return out == expected;
}

// The intents Little CMS defines, each with a record whose address is a context's user data.
constexpr cmsUInt32Number intents[] = {INTENT_PERCEPTUAL, INTENT_RELATIVE_COLORIMETRIC, INTENT_SATURATION,
                                       INTENT_ABSOLUTE_COLORIMETRIC};
cmsUInt32Number records[std::size(intents)] = {};

bool intentOf(const void* data, cmsUInt32Number& intent) {
    for (std::size_t i = 0; i < std::size(intents); ++i) {
        if (data == &records[i]) {
            intent = intents[i];
            return true;
        }
    }
    return false;
}

cmsBool factory(_cmsTransform2Fn* xform, void** userData, _cmsFreeUserDataFn* freeData, cmsPipeline** lut,
                cmsUInt32Number* inputFormat, cmsUInt32Number* outputFormat, cmsUInt32Number* flags) {
    // Only the formats a CMYK photo is painted in, and no extra work asked of the transform.
    const bool eight = *inputFormat == (TYPE_CMYK_8 | EXTRA_SH(1)) && *outputFormat == TYPE_RGBA_8;
    const bool deep = *inputFormat == (TYPE_CMYK_16 | EXTRA_SH(1)) && *outputFormat == TYPE_RGBA_16;
    if ((!eight && !deep) || !lut || !*lut ||
        (*flags & (cmsFLAGS_GAMUTCHECK | cmsFLAGS_SOFTPROOFING | cmsFLAGS_NULLTRANSFORM))) {
        return FALSE;
    }
    // The interpolation reproduced is that of Little CMS 2.14; other versions keep their own.
    if (cmsGetEncodedCMMversion() / 10 != 214) {
        return FALSE;
    }
    const cmsContext context = cmsGetPipelineContextID(*lut);
    cmsUInt32Number intent = 0;
    if (!intentOf(cmsGetContextUserData(context), intent)) {
        return FALSE;
    }
    return TransformPlugin::take(
        [&]() -> std::unique_ptr<Evaluator> {
            auto e = std::make_unique<Evaluator>();
            // Little CMS builds its table from a copy, exactly as it would for itself; the original stays as
            // it was for Little CMS to optimise if the plug-in declines. Optimising may replace the copy.
            cmsPipeline* optimised = cmsPipelineDup(*lut);
            cmsUInt32Number in = *inputFormat, out = *outputFormat, optimiseFlags = *flags;
            const bool built =
                optimised && _cmsOptimizePipeline(context, &optimised, intent, &in, &out, &optimiseFlags);
            e->pipeline.reset(optimised);
            e->table = built ? tableOf(optimised) : nullptr;
            if (!e->table) {
                return nullptr;
            }
            const cmsInterpParams& t = *e->table;
            e->deep = deep;
            e->copyAlpha = (*flags & cmsFLAGS_COPY_ALPHA) != 0;
            for (int v = 0; v < 256; ++v) {
                const std::uint16_t w = word(static_cast<std::uint8_t>(v));
                for (int a = 0; a < 4; ++a) {
                    e->axes[static_cast<std::size_t>(a)][static_cast<std::size_t>(v)] =
                        axisOf(w, t.Domain[a], t.opta[3 - a]);
                }
            }
            return agrees(*e) ? std::move(e) : nullptr;
        },
        transform, xform, userData, freeData);
}

} // namespace

void interpolate(const std::uint16_t input[4], std::uint16_t output[3], const cmsInterpParams& table) {
    evaluatePlain(static_cast<const std::uint16_t*>(table.Table), locate(input, table), output);
}

void* plugin() {
    return TransformPlugin::record<factory>();
}

void* contextData(cmsUInt32Number intent) {
    for (std::size_t i = 0; i < std::size(intents); ++i) {
        if (intents[i] == intent) {
            return &records[i];
        }
    }
    return nullptr;
}

bool evaluates(cmsHTRANSFORM transform) {
    return TransformPlugin::evaluates<Evaluator>(transform);
}

} // namespace PrintKit::CmykTable
