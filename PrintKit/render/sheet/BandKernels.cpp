#include "PrintKit/render/sheet/BandKernels.h"

#include "PrintKit/render/resample/VectorKernels.h"

#include <algorithm>
#include <bit>

namespace PrintKit::BandKernels {

namespace {

void encodePortable(const float* in, float* out, std::size_t floats, const float* tables) {
    for (std::size_t j = 0; j < floats; ++j) {
        out[j] = ToneCurves::encode(tables + (j & 3) * ToneCurves::encodingSize, in[j]);
    }
}

} // namespace

EncodingTables::EncodingTables(const ToneCurves& curves)
    : values_(4 * static_cast<std::size_t>(ToneCurves::encodingSize), 1.0f) {
    std::copy(curves.encoding().begin(), curves.encoding().begin() + 3 * ToneCurves::encodingSize,
              values_.begin());
}

void encode(const float* in, float* out, std::size_t floats, const EncodingTables& tables) {
    const std::size_t done =
        VectorKernels::chosen().encode(in, out, floats, tables.data(), ToneCurves::encodingSize);
    encodePortable(in + done, out + done, floats - done, tables.data());
}

void quantize(const float* in, std::uint16_t* out, std::size_t floats) {
    VectorKernels::chosen().quantize(in, out, floats);
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

void sharpenRow(const float* in, float* out, int pixels, const float* weights, int taps, float amount) {
    VectorKernels::chosen().sharpenRow(in, out, pixels, weights, taps, amount);
}

void sharpenColumns(const float* const* rows, int outputs, std::size_t first, std::size_t floats,
                    const float* weights, int taps, float amount, std::uint16_t* const* quantized) {
    VectorKernels::chosen().sharpenColumns(rows, outputs, first, floats, weights, taps, amount, quantized);
}

} // namespace PrintKit::BandKernels
