// The per-pixel loops of the band pipeline, written over runs of floats so that the processor's vector
// units take 4 to 16 channels at a time. Every channel goes through exactly the operations of the
// one-pixel description (same order, same single precision, no fused multiply-add), so the results are
// the same bits on any processor and with any vector width.
#pragma once

#include "PrintKit/render/color/ToneCurves.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace PrintKit::BandKernels {

// The three encoding tables of a ToneCurves followed by a fourth whose entries are all 1, so that the
// fourth channel of a pixel can be "encoded" like the others and comes out as exactly 1.
class EncodingTables {
public:
    explicit EncodingTables(const ToneCurves& curves);
    const float* data() const { return values_.data(); }

private:
    std::vector<float> values_;
};

// Tone-table encoding of `floats` floats (whole pixels): channel c of every pixel through table c.
void encode(const float* in, float* out, std::size_t floats, const EncodingTables& tables);

// Each float clamped to 0…1 (NaN as 0), scaled by 65535 and rounded to nearest, ties to even.
void quantize(const float* in, std::uint16_t* out, std::size_t floats);

// How 16-bit samples are laid out: red, green, blue big-endian (the printed stream), red, green, blue
// little-endian (input of the paper conversion), or red, green, blue, 0 little-endian.
enum class Samples { bigEndian, littleEndian, paddedLittleEndian };

constexpr std::size_t valuesPerPixel(Samples layout) {
    return layout == Samples::paddedLittleEndian ? 4 : 3;
}

// Quantized pixels (four values each, the fourth ignored) in the given layout.
void pack(const std::uint16_t* quantized, std::size_t pixels, std::uint16_t* into, Samples layout);

// One row of `width` pixels: out = p + (p − blur(p)) × amount, the blur running along the row over `taps`
// weights (centre in the middle), taps past either end reading the end pixel.
void sharpenRow(const float* in, float* out, int width, const float* weights, int taps, float amount);

// The vertical step for floats first ..< first + floats of `outputs` rows: output row i has the `taps`
// neighbour rows rows[i ..< i + taps] (itself in the middle). blur = Σ rows[i + k] × weights[k] (k
// ascending, from 0), then own + (own − blur) × amount, quantized as quantize() does into
// quantized[i][0 ..< floats].
void sharpenColumns(const float* const* rows, int outputs, std::size_t first, std::size_t floats,
                    const float* weights, int taps, float amount, std::uint16_t* const* quantized);

} // namespace PrintKit::BandKernels
