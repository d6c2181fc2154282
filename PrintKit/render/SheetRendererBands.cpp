// The band pipeline. Its steps are described one after another (resample, encode, sharpen, round, convert
// to paper, write), but here they run fused where a step only needs the pixels of one row: a row is encoded
// and sharpened horizontally while it is still in the cache, and the vertical sharpening feeds the rounding
// directly. Every pixel goes through exactly the operations of the separate steps, in the same order and
// precision, so the printed bytes are the same; only the memory traffic shrinks.
#include "PrintKit/render/LanczosResampler.h"
#include "PrintKit/render/LinearSource.h"
#include "PrintKit/render/ParallelLoop.h"
#include "PrintKit/render/SheetRenderError.h"
#include "PrintKit/render/SheetRenderer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <future>
#include <mutex>

namespace PrintKit::SheetRenderer {

namespace {

// Channels of a pixel row seen as one run of floats: four per pixel.
constexpr std::ptrdiff_t lanes = 4;

inline float unit(float x) {
    // NaN fails both tests and becomes 0.
    return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
}

// 0…1 to 0…65535, rounded to nearest with ties to even. Adding 2^23 leaves no fraction bits, so the sum is
// rounded by the processor's default mode (ties to even), and taking 2^23 away again is exact.
inline std::uint16_t sample(float x) {
    const float scaled = unit(x) * 65535.0f;
    return static_cast<std::uint16_t>(static_cast<int>((scaled + 8388608.0f) - 8388608.0f));
}

inline std::uint16_t bigEndian(std::uint16_t v) {
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}

struct Tables {
    const float* red;
    const float* green;
    const float* blue;

    explicit Tables(const ToneCurves& curves)
        : red(curves.encoding().data()), green(red + ToneCurves::encodingSize),
          blue(green + ToneCurves::encodingSize) {}
};

void encodeRun(const Pixel* from, Pixel* into, std::size_t count, const Tables& t) {
    for (std::size_t i = 0; i < count; ++i) {
        const Pixel p = from[i];
        into[i] = Pixel{ToneCurves::encode(t.red, p.r), ToneCurves::encode(t.green, p.g),
                        ToneCurves::encode(t.blue, p.b), 1.0f};
    }
}

void roundRun(const Pixel* from, std::uint16_t* into, std::size_t count, bool padded, const Tables* t) {
    for (std::size_t i = 0; i < count; ++i) {
        Pixel p = from[i];
        if (t) {
            p = Pixel{ToneCurves::encode(t->red, p.r), ToneCurves::encode(t->green, p.g),
                      ToneCurves::encode(t->blue, p.b), 1.0f};
        }
        const std::uint16_t r = sample(p.r), g = sample(p.g), b = sample(p.b);
        if (padded) {
            std::uint16_t* q = into + 4 * i;
            q[0] = r;
            q[1] = g;
            q[2] = b;
            q[3] = 0;
        } else {
            std::uint16_t* q = into + 3 * i;
            q[0] = bigEndian(r);
            q[1] = bigEndian(g);
            q[2] = bigEndian(b);
        }
    }
}

// Runs body(first, end) over chunks of chunkPixels pixels on the parallel loop.
template <typename Body> void inChunks(std::size_t count, Body&& body) {
    constexpr std::size_t chunk = chunkPixels;
    std::size_t done = 0;
    // In groups that keep the chunk index inside an int, whatever the count.
    constexpr std::size_t groupChunks = std::size_t{1} << 30;
    while (done < count) {
        const std::size_t group = std::min(count - done, groupChunks * chunk);
        const auto chunks = static_cast<int>((group + chunk - 1) / chunk);
        LanczosResampler::parallel(chunks, [&](int c) {
            const std::size_t first = done + static_cast<std::size_t>(c) * chunk;
            const std::size_t end = std::min(first + chunk, done + group);
            body(first, end);
        });
        done += group;
    }
}

// ---- Sharpening, fused. The arithmetic is OutputSharpening's apply(), pixel for pixel. ----

struct Sharpening {
    std::vector<float> weights;
    int radius = 0;
    float amount = 0;

    Sharpening(OutputSharpening level, double resolution)
        : weights(kernel(resolution)), radius(static_cast<int>(weights.size() / 2)),
          amount(PrintKit::amount(level)) {}
};

// One row: t = p + (p − blur(p)) × amount, the blur running along the row with taps past either end reading
// the end pixel.
void sharpenRow(const Sharpening& s, const Pixel* source, Pixel* target, int width) {
    const float* w = s.weights.data();
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(s.weights.size());
    const std::ptrdiff_t r = s.radius;
    const float a = s.amount;
    const std::ptrdiff_t columns = width;
    auto edge = [&](std::ptrdiff_t x) {
        float br = 0, bg = 0, bb = 0, ba = 0;
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            std::ptrdiff_t j = x + k - r;
            j = j < 0 ? 0 : (j > columns - 1 ? columns - 1 : j);
            const Pixel q = source[j];
            br = br + q.r * w[k];
            bg = bg + q.g * w[k];
            bb = bb + q.b * w[k];
            ba = ba + q.a * w[k];
        }
        const Pixel p = source[x];
        target[x] =
            Pixel{p.r + (p.r - br) * a, p.g + (p.g - bg) * a, p.b + (p.b - bb) * a, p.a + (p.a - ba) * a};
    };
    const std::ptrdiff_t interiorBegin = std::min(r, columns);
    const std::ptrdiff_t interiorEnd = std::max(columns - r, interiorBegin);
    for (std::ptrdiff_t x = 0; x < interiorBegin; ++x) {
        edge(x);
    }
    // The interior as one run of floats: channel c of pixel x is float 4x + c, and its taps lie 4 floats
    // apart. Blocks keep the partial sums in registers and the first-level cache.
    const float* in = reinterpret_cast<const float*>(source);
    float* out = reinterpret_cast<float*>(target);
    constexpr std::ptrdiff_t block = 64;
    float sums[block];
    for (std::ptrdiff_t f0 = interiorBegin * lanes; f0 < interiorEnd * lanes; f0 += block) {
        const std::ptrdiff_t span = std::min(block, interiorEnd * lanes - f0);
        for (std::ptrdiff_t i = 0; i < span; ++i) {
            sums[i] = 0.0f;
        }
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            const float* tap = in + f0 + (k - r) * lanes;
            const float wk = w[k];
            for (std::ptrdiff_t i = 0; i < span; ++i) {
                sums[i] = sums[i] + tap[i] * wk;
            }
        }
        for (std::ptrdiff_t i = 0; i < span; ++i) {
            const float p = in[f0 + i];
            out[f0 + i] = p + (p - sums[i]) * a;
        }
    }
    for (std::ptrdiff_t x = interiorEnd; x < columns; ++x) {
        edge(x);
    }
}

// Row y of the `rows` horizontally sharpened rows: the vertical blur (taps past the first or last row read
// that row), the unsharp step against the row itself, the clamp, and the rounding to 16 bits.
void sharpenColumnsAndRound(const Sharpening& s, const Pixel* sharpened, int width, int rows, int y,
                            std::uint16_t* into, bool padded) {
    const float* w = s.weights.data();
    const int n = static_cast<int>(s.weights.size());
    const int r = s.radius;
    const float a = s.amount;
    const std::ptrdiff_t floats = static_cast<std::ptrdiff_t>(width) * lanes;
    const float* own = reinterpret_cast<const float*>(sharpened + static_cast<std::ptrdiff_t>(y) * width);
    constexpr std::ptrdiff_t block = 256; // 64 pixels
    float sums[block];
    float result[block];
    for (std::ptrdiff_t f0 = 0; f0 < floats; f0 += block) {
        const std::ptrdiff_t span = std::min(block, floats - f0);
        for (std::ptrdiff_t i = 0; i < span; ++i) {
            sums[i] = 0.0f;
        }
        for (int k = 0; k < n; ++k) {
            int row = y + k - r;
            row = row < 0 ? 0 : (row > rows - 1 ? rows - 1 : row);
            const float* tap =
                reinterpret_cast<const float*>(sharpened + static_cast<std::ptrdiff_t>(row) * width) + f0;
            const float wk = w[k];
            for (std::ptrdiff_t i = 0; i < span; ++i) {
                sums[i] = sums[i] + tap[i] * wk;
            }
        }
        for (std::ptrdiff_t i = 0; i < span; ++i) {
            const float p = own[f0 + i];
            // apply() clamps here; a NaN it lets through becomes 0 in the rounding, as it does here.
            result[i] = p + (p - sums[i]) * a;
        }
        const std::ptrdiff_t first = f0 / lanes;
        const std::ptrdiff_t pixels = span / lanes;
        for (std::ptrdiff_t x = 0; x < pixels; ++x) {
            const std::uint16_t rr = sample(result[lanes * x]);
            const std::uint16_t gg = sample(result[lanes * x + 1]);
            const std::uint16_t bb = sample(result[lanes * x + 2]);
            if (padded) {
                std::uint16_t* q = into + 4 * (first + x);
                q[0] = rr;
                q[1] = gg;
                q[2] = bb;
                q[3] = 0;
            } else {
                std::uint16_t* q = into + 3 * (first + x);
                q[0] = bigEndian(rr);
                q[1] = bigEndian(gg);
                q[2] = bigEndian(bb);
            }
        }
    }
}

// Buffers that every pixel is written to before it is read: never cleared.
template <typename T> std::unique_ptr<T[]> uninitialised(std::size_t count) {
    return std::make_unique_for_overwrite<T[]>(count);
}

std::size_t product(std::int64_t a, std::int64_t b, std::size_t each) {
    std::int64_t count = 0;
    if (__builtin_mul_overflow(a, b, &count) || static_cast<std::uint64_t>(count) > SIZE_MAX / each) {
        throw SheetRenderError(SheetRenderErrorCode::cannotCreateImage);
    }
    return static_cast<std::size_t>(count);
}

} // namespace

int conversionWorkers() {
    static const int workers = std::min(std::max(ParallelLoop::activeProcessorCount(), 1), 8);
    return workers;
}

void encode(const Pixel* from, std::size_t count, Pixel* into, const ToneCurves& through) {
    const Tables tables(through);
    inChunks(count, [&](std::size_t first, std::size_t end) {
        encodeRun(from + first, into + first, end - first, tables);
    });
}

void round(const Pixel* from, std::size_t count, std::uint16_t* into, bool padded,
           const ToneCurves* through) {
    std::optional<Tables> tables;
    if (through) {
        tables.emplace(*through);
    }
    const Tables* t = tables ? &*tables : nullptr;
    inChunks(count, [&](std::size_t first, std::size_t end) {
        roundRun(from + first, into + (padded ? 4 : 3) * first, end - first, padded, t);
    });
}

void inSlices(const Colorizer::Transforms& transforms, int rows,
              const std::function<void(const ColorTransform&, int, int)>& body) {
    const int k = static_cast<int>(transforms.size());
    if (k < 1 || rows < 1) {
        return;
    }
    const int perSlice = static_cast<int>((static_cast<long long>(rows) + k - 1) / k);
    std::mutex lock;
    std::exception_ptr first;
    // One job per slice, so that each transform is used by exactly one thread.
    ParallelLoop::runJobs(k, [&](int i) {
        const long long start = static_cast<long long>(i) * perSlice;
        const long long count = std::min<long long>(rows - start, perSlice);
        if (count < 1) {
            return;
        }
        try {
            body(*transforms[static_cast<std::size_t>(i)], static_cast<int>(start), static_cast<int>(count));
        } catch (...) {
            std::lock_guard guard(lock);
            if (!first) {
                first = std::current_exception();
            }
        }
    });
    if (first) {
        std::rethrow_exception(first);
    }
}

void convertInSlices(const Colorizer::Transforms& transforms, const Pixel* from, Pixel* into, int width,
                     int rows) {
    const auto stride = static_cast<std::ptrdiff_t>(width);
    inSlices(transforms, rows, [&](const ColorTransform& t, int start, int count) {
        t.convert(from + start * stride, ColorTransform::Layout::floatRGBA, into + start * stride,
                  ColorTransform::Layout::floatRGBA, width, count);
    });
}

void convertInSlices(const Colorizer::Transforms& transforms, const std::uint16_t* from, std::uint16_t* into,
                     int width, int rows) {
    const auto stride = static_cast<std::ptrdiff_t>(width);
    inSlices(transforms, rows, [&](const ColorTransform& t, int start, int count) {
        t.convert(from + start * stride * 4, true, into + start * stride * 3, true, width, count);
    });
}

void write(const std::shared_ptr<LinearSource>& source, const Rect& crop, std::int64_t pixelWidth,
           std::int64_t pixelHeight, const Rect& at, OutputSharpening sharpening, double resolution,
           Colorizer& colors, PDFImageWriter& into, int bandHeight) {
    if (!source || pixelWidth < 1 || pixelHeight < 1 || pixelWidth > INT_MAX || pixelHeight > INT_MAX) {
        throw SheetRenderError(SheetRenderErrorCode::cannotCreateImage);
    }
    const int width = static_cast<int>(pixelWidth);
    const int height = static_cast<int>(pixelHeight);
    const int band = std::max(bandHeight, 1);

    LanczosResampler resampler(source, crop, width, height);
    const int r = halo(sharpening, resolution);
    const Colorizer::Conversion& conversion = colors.conversion(*source);
    source->cache(resampler.columns(), resampler.vertical().used());

    PDFImageWriter::ColorSpace space = PDFImageWriter::ColorSpace::deviceRGB();
    if (!colors.color().isPaper()) {
        const std::string& icc = Colorizer::sRGB().icc;
        if (icc.empty()) {
            throw SheetRenderError(SheetRenderErrorCode::cannotCreateImage);
        }
        space = PDFImageWriter::ColorSpace::iccBased(icc);
    }
    into.beginImage(at, width, height, space);

    const ToneCurves* curves = conversion.encodesToOwnSpace ? source->curves().get() : nullptr;
    const bool fused = sharpening == OutputSharpening::off && curves;
    const bool padded = conversion.paper.has_value();
    const std::optional<Sharpening> sharpen =
        sharpening == OutputSharpening::off
            ? std::nullopt
            : std::optional<Sharpening>(std::in_place, sharpening, resolution);

    const int ownRows = std::min(height, band);
    const int renderedRows = std::min(height, ownRows + 2 * r);
    const std::size_t renderedCount = product(width, renderedRows, sizeof(Pixel));
    const std::size_t ownCount = product(width, ownRows, 8);
    auto rendered = uninitialised<Pixel>(renderedCount);
    auto blurred = sharpen ? uninitialised<Pixel>(renderedCount) : nullptr;
    auto paddedRows = padded ? uninitialised<std::uint16_t>(ownCount * 4) : nullptr;
    // Two output buffers: one band is written to the file while the next is computed.
    std::unique_ptr<std::uint16_t[]> output[2] = {uninitialised<std::uint16_t>(ownCount * 3),
                                                  uninitialised<std::uint16_t>(ownCount * 3)};
    std::future<void> writing;

    const auto stride = static_cast<std::ptrdiff_t>(width);
    int parity = 0;
    for (int y = 0; y < height; y += band) {
        const int n = std::min(height - y, band);
        const int top = std::max(y - r, 0);
        const int bottom = std::min(y + n + r, height);
        const int m = bottom - top;
        const int own = y - top;
        std::uint16_t* out = output[parity].get();
        std::uint16_t* rounded = padded ? paddedRows.get() : out;

        resampler.render(IndexRange{top, bottom}, rendered.get());
        if (fused) {
            round(rendered.get(), static_cast<std::size_t>(n) * width, rounded, padded, curves);
        } else {
            if (!curves) {
                convertInSlices(conversion.encode, rendered.get(), rendered.get(), width, m);
            }
            if (sharpen) {
                const Tables* tables = nullptr;
                std::optional<Tables> own_tables;
                if (curves) {
                    own_tables.emplace(*curves);
                    tables = &*own_tables;
                }
                LanczosResampler::parallel(m, [&](int j) {
                    Pixel* row = rendered.get() + j * stride;
                    if (tables) {
                        encodeRun(row, row, static_cast<std::size_t>(width), *tables);
                    }
                    sharpenRow(*sharpen, row, blurred.get() + j * stride, width);
                });
                LanczosResampler::parallel(n, [&](int i) {
                    sharpenColumnsAndRound(*sharpen, blurred.get(), width, m, own + i,
                                           rounded + i * stride * (padded ? 4 : 3), padded);
                });
            } else {
                round(rendered.get() + own * stride, static_cast<std::size_t>(n) * width, rounded, padded,
                      nullptr);
            }
        }
        if (padded) {
            convertInSlices(*conversion.paper, paddedRows.get(), out, width, n);
        }
        if (writing.valid()) {
            writing.get();
        }
        const std::size_t bytes = static_cast<std::size_t>(n) * static_cast<std::size_t>(width) * 6;
        writing = std::async(std::launch::async, [&into, out, bytes] { into.writeImageBytes(out, bytes); });
        parity ^= 1;
    }
    writing.get();
    into.endImage();
}

} // namespace PrintKit::SheetRenderer
