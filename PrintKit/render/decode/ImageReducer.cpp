#include "PrintKit/render/decode/ImageReducer.h"

#include "PrintKit/render/resample/LanczosResampler.h"
#include "PrintKit/render/decode/Orientation.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace PrintKit::ImageReducer {

namespace {

DecodedImage emptyLike(const DecodedImage& image, int width, int height) {
    DecodedImage out;
    out.format = image.format;
    out.width = width;
    out.height = height;
    out.model = image.model;
    out.channels = image.channels;
    out.sample = image.sample;
    out.littleEndian = image.littleEndian;
    out.alpha = image.alpha;
    out.icc = image.icc;
    out.orientation = image.orientation;
    out.bytesPerRow = static_cast<std::size_t>(width) * image.bytesPerPixel();
    out.pixels = PixelBytes(out.bytesPerRow * static_cast<std::size_t>(height));
    return out;
}

DecodedImage copyOf(const DecodedImage& image) {
    DecodedImage out = emptyLike(image, image.width, image.height);
    if (out.pixels.size() > 0) {
        std::memcpy(out.pixels.data(), image.pixels.data(), out.pixels.size());
    }
    return out;
}

bool swapped(const DecodedImage& image) {
    return image.sample != SampleType::uint8 &&
           image.littleEndian != (std::endian::native == std::endian::little);
}

float load(const std::uint8_t* at, SampleType type, bool swap) {
    switch (type) {
    case SampleType::uint8:
        return *at;
    case SampleType::uint16: {
        std::uint16_t v;
        std::memcpy(&v, at, 2);
        return swap ? static_cast<std::uint16_t>(v << 8 | v >> 8) : v;
    }
    case SampleType::float32: {
        std::uint32_t bits;
        std::memcpy(&bits, at, 4);
        if (swap) {
            bits = __builtin_bswap32(bits);
        }
        return std::bit_cast<float>(bits);
    }
    }
    return 0;
}

void store(std::uint8_t* at, double value, SampleType type, bool swap) {
    switch (type) {
    case SampleType::uint8:
        *at = static_cast<std::uint8_t>(std::clamp(std::nearbyint(value), 0.0, 255.0));
        return;
    case SampleType::uint16: {
        auto v = static_cast<std::uint16_t>(std::clamp(std::nearbyint(value), 0.0, 65535.0));
        if (swap) {
            v = static_cast<std::uint16_t>(v << 8 | v >> 8);
        }
        std::memcpy(at, &v, 2);
        return;
    }
    case SampleType::float32: {
        std::uint32_t bits = std::bit_cast<std::uint32_t>(static_cast<float>(value));
        if (swap) {
            bits = __builtin_bswap32(bits);
        }
        std::memcpy(at, &bits, 4);
        return;
    }
    }
}

// The source samples an output sample covers along one axis, with each one's share of the output's extent.
struct Span {
    int first = 0;
    std::vector<double> weights;
};

std::vector<Span> spans(int sourceCount, int outputCount) {
    std::vector<Span> result(static_cast<std::size_t>(outputCount));
    const double scale = static_cast<double>(sourceCount) / outputCount;
    for (int i = 0; i < outputCount; ++i) {
        double from = i * scale, to = std::min((i + 1) * scale, static_cast<double>(sourceCount));
        int first = static_cast<int>(std::floor(from));
        int last = std::min(static_cast<int>(std::ceil(to)), sourceCount) - 1;
        Span& span = result[static_cast<std::size_t>(i)];
        span.first = first;
        for (int j = first; j <= last; ++j) {
            double covered = std::min(to, j + 1.0) - std::max(from, static_cast<double>(j));
            span.weights.push_back(covered / (to - from));
        }
    }
    return result;
}

} // namespace

DecodedImage reduced(const DecodedImage& image, int maxPixel) {
    maxPixel = std::max(maxPixel, 1);
    const int longSide = std::max(image.width, image.height);
    if (longSide <= maxPixel) {
        return copyOf(image);
    }
    const double scale = static_cast<double>(maxPixel) / longSide;
    const int width = image.width >= image.height
                          ? maxPixel
                          : std::max(1, static_cast<int>(std::lround(image.width * scale)));
    const int height = image.height > image.width
                           ? maxPixel
                           : std::max(1, static_cast<int>(std::lround(image.height * scale)));
    DecodedImage out = emptyLike(image, width, height);
    const std::vector<Span> columns = spans(image.width, width);
    const std::vector<Span> rows = spans(image.height, height);
    const int channels = image.channels;
    const int colour = colorChannels(image.model);
    const bool weightByAlpha = image.alpha == AlphaMode::straight;
    const std::size_t sampleBytes = static_cast<std::size_t>(bytesPerSample(image.sample));
    const bool swap = swapped(image);

    // Output rows are independent: each sums its own source rows into its own accumulator.
    LanczosResampler::parallel(height, [&](int y) {
        std::vector<double> sums(static_cast<std::size_t>(width) * static_cast<std::size_t>(channels), 0.0);
        std::vector<double> pixel(static_cast<std::size_t>(channels));
        const Span& rowSpan = rows[static_cast<std::size_t>(y)];
        for (std::size_t k = 0; k < rowSpan.weights.size(); ++k) {
            const std::uint8_t* source = image.row(rowSpan.first + static_cast<int>(k));
            const double rowWeight = rowSpan.weights[k];
            for (int x = 0; x < width; ++x) {
                const Span& columnSpan = columns[static_cast<std::size_t>(x)];
                std::fill(pixel.begin(), pixel.end(), 0.0);
                for (std::size_t m = 0; m < columnSpan.weights.size(); ++m) {
                    const std::uint8_t* at =
                        source + (static_cast<std::size_t>(columnSpan.first) + m) * image.bytesPerPixel();
                    double alpha = weightByAlpha ? load(at + colour * sampleBytes, image.sample, swap) : 1.0;
                    for (int c = 0; c < channels; ++c) {
                        double v = load(at + static_cast<std::size_t>(c) * sampleBytes, image.sample, swap);
                        pixel[static_cast<std::size_t>(c)] +=
                            columnSpan.weights[m] * (c < colour ? v * alpha : v);
                    }
                }
                double* sum = &sums[static_cast<std::size_t>(x) * static_cast<std::size_t>(channels)];
                for (int c = 0; c < channels; ++c) {
                    sum[c] += rowWeight * pixel[static_cast<std::size_t>(c)];
                }
            }
        }
        std::uint8_t* target = out.row(y);
        for (int x = 0; x < width; ++x) {
            const double* sum = &sums[static_cast<std::size_t>(x) * static_cast<std::size_t>(channels)];
            for (int c = 0; c < channels; ++c) {
                double v = sum[c];
                if (weightByAlpha && c < colour) {
                    v = sum[colour] > 0 ? v / sum[colour] : 0.0;
                }
                store(target + (static_cast<std::size_t>(x) * static_cast<std::size_t>(channels) +
                                static_cast<std::size_t>(c)) *
                                   sampleBytes,
                      v, image.sample, swap);
            }
        }
    });
    return out;
}

DecodedImage upright(const DecodedImage& image) {
    const int orientation = Orientation::normalized(image.orientation);
    if (orientation == 1) {
        DecodedImage out = copyOf(image);
        out.orientation = 1;
        return out;
    }
    const bool swapSides = Orientation::swapsSides(orientation);
    const int width = swapSides ? image.height : image.width;
    const int height = swapSides ? image.width : image.height;
    DecodedImage out = emptyLike(image, width, height);
    out.orientation = 1;
    const std::size_t pixelBytes = image.bytesPerPixel();
    const Orientation::Mapping map = Orientation::mapping(image.width, image.height, orientation, false);
    const std::ptrdiff_t stepX = map.columnStep(pixelBytes, image.bytesPerRow);
    const std::ptrdiff_t stepY = map.rowStep(pixelBytes, image.bytesPerRow);
    Orientation::parallelWalk(image.pixels.data() + map.offset(0, 0, pixelBytes, image.bytesPerRow), stepX,
                              stepY, width, height, [&](const std::uint8_t* p, int r, int c) {
                                  std::memcpy(out.row(r) + static_cast<std::size_t>(c) * pixelBytes, p,
                                              pixelBytes);
                              });
    return out;
}

} // namespace PrintKit::ImageReducer
