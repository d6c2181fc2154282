// The band pipeline. Its steps are described one after another (resample, encode, sharpen, round, convert
// to paper, write), but here they run fused wherever a step needs nothing but pixels still in the cache: a
// row is encoded and sharpened along itself right after it is resampled, and the vertical half of the
// sharpening feeds the rounding directly, tile by tile. Every pixel goes through exactly the operations of
// the separate steps, in the same order and precision, so the printed bytes are the same; only the memory
// traffic shrinks. While one band is computed, the one before it is being written to the file.
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/resample/LanczosResampler.h"
#include "PrintKit/render/sheet/BandKernels.h"
#include "PrintKit/render/sheet/LinearSource.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "PrintKit/support/PageBuffer.h"
#include "PrintKit/support/ParallelLoop.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <new>

#if defined(__linux__)
#include <fcntl.h>
#endif

namespace PrintKit::SheetRenderer {

namespace {

using BandKernels::EncodingTables;
using BandKernels::Samples;

float* floats(Pixel* p) {
    return reinterpret_cast<float*>(p);
}
const float* floats(const Pixel* p) {
    return reinterpret_cast<const float*>(p);
}

// Pixels to 16-bit samples in short blocks, so that the encoded and quantized values stay in the
// first-level cache between the steps.
void roundRun(const Pixel* from, std::uint16_t* into, std::size_t count, Samples layout,
              const EncodingTables* tables) {
    constexpr std::size_t block = 256;
    alignas(64) float encoded[block * 4];
    alignas(64) std::uint16_t quantized[block * 4];
    for (std::size_t i = 0; i < count; i += block) {
        const std::size_t n = std::min(block, count - i);
        const float* values = floats(from + i);
        if (tables) {
            BandKernels::encode(values, encoded, 4 * n, *tables);
            values = encoded;
        }
        BandKernels::quantize(values, quantized, 4 * n);
        BandKernels::pack(quantized, n, into + BandKernels::valuesPerPixel(layout) * i, layout);
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

void roundInChunks(const Pixel* from, std::size_t count, std::uint16_t* into, Samples layout,
                   const EncodingTables* tables) {
    inChunks(count, [&](std::size_t first, std::size_t end) {
        roundRun(from + first, into + BandKernels::valuesPerPixel(layout) * first, end - first, layout,
                 tables);
    });
}

// The unsharp mask of OutputSharpening, split so that each half runs where its input is still in the cache:
// the horizontal half right after a row is encoded, the vertical half right before its rows are rounded.
struct Sharpening {
    std::vector<float> weights;
    int radius = 0;
    float amount = 0;

    Sharpening(OutputSharpening level, double resolution)
        : weights(kernel(resolution)), radius(static_cast<int>(weights.size() / 2)),
          amount(PrintKit::amount(level)) {}

    int taps() const { return static_cast<int>(weights.size()); }
};

// Rows first ..< first + count of the `rows` horizontally sharpened rows through the vertical half, into
// 16-bit samples (row i of the output is row first + i). Taps past the first or last of the rows read that
// row, as they do in a pass over these rows alone. The work goes in tiles of 64 columns, so that the
// neighbour rows a tile reads (a kilobyte each) stay in the first-level cache from one row to the next.
void sharpenColumnsAndRound(const Sharpening& s, const Pixel* sharpened, int width, int rows, int first,
                            int count, std::uint16_t* into, Samples layout) {
    constexpr std::size_t tile = 64; // pixels
    const int n = s.taps();
    // Output row i reads taps[i ..< i + n]: rows first + i - radius ..< first + i + radius + 1, clamped.
    std::vector<const float*> taps(static_cast<std::size_t>(count + n - 1));
    for (int j = 0; j < count + n - 1; ++j) {
        const int row = std::clamp(first + j - s.radius, 0, rows - 1);
        taps[static_cast<std::size_t>(j)] = floats(sharpened + static_cast<std::ptrdiff_t>(row) * width);
    }
    std::vector<std::uint16_t> quantizedRows(static_cast<std::size_t>(count) * tile * 4);
    std::vector<std::uint16_t*> quantized(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        quantized[static_cast<std::size_t>(i)] =
            quantizedRows.data() + static_cast<std::size_t>(i) * tile * 4;
    }
    const auto pixels = static_cast<std::size_t>(width);
    const std::size_t perPixel = BandKernels::valuesPerPixel(layout);
    const int top = std::max(first - s.radius, 0);
    const int bottom = std::min(first + count + s.radius, rows);
    for (std::size_t x = 0; x < pixels; x += tile) {
        const std::size_t span = std::min(tile, pixels - x);
        // The rows' next tile is asked for now: the rows were written by other processors, and the first
        // reads of each tile would otherwise wait for them one after another.
        if (x + tile < pixels) {
            const std::size_t bytes = std::min(tile, pixels - x - tile) * sizeof(Pixel);
            for (int row = top; row < bottom; ++row) {
                const char* next =
                    reinterpret_cast<const char*>(sharpened + static_cast<std::ptrdiff_t>(row) * width +
                                                  static_cast<std::ptrdiff_t>(x + tile));
                for (std::size_t b = 0; b < bytes; b += 64) {
                    __builtin_prefetch(next + b);
                }
            }
        }
        BandKernels::sharpenColumns(taps.data(), count, 4 * x, 4 * span, s.weights.data(), n, s.amount,
                                    quantized.data());
        for (int i = 0; i < count; ++i) {
            BandKernels::pack(quantized[static_cast<std::size_t>(i)], span,
                              into + (static_cast<std::size_t>(i) * pixels + x) * perPixel, layout);
        }
    }
}

// Rows per job of the vertical half: enough that a tile's neighbour rows are read from the cache most of
// the time, few enough that every processor gets work.
constexpr int rowsPerJob = 8;

// Band buffers: megabytes that every pixel is written to before it is read, so never cleared. They ask for
// large pages: a band pass walks down columns many rows apart, and with small pages nearly every row it
// touches would cost an address translation of its own.
template <typename T> T* bandBuffer(PageBuffer& buffer, std::size_t count) {
    buffer = PageBuffer(count * sizeof(T), true);
    return buffer.as<T>();
}

std::size_t product(std::int64_t a, std::int64_t b, std::size_t each) {
    std::int64_t count = 0;
    if (__builtin_mul_overflow(a, b, &count) || static_cast<std::uint64_t>(count) > SIZE_MAX / each) {
        throw SheetRenderError(SheetRenderErrorCode::cannotCreateImage);
    }
    return static_cast<std::size_t>(count);
}

// As many output rows as bandBytes holds, at most bandRows: the rows resampled and sharpened, the two output
// buffers and the source rows filtered for them (more than one per output row when reducing). Never fewer
// than a few jobs' worth, however wide the image.
int rowsPerBand(const LanczosResampler& resampler, int halo, bool sharpened) {
    constexpr int fewest = 16;
    const double width = resampler.outputWidth();
    const double sourceRowsPerRow =
        static_cast<double>(resampler.vertical().used().count()) / resampler.outputHeight();
    const double perRow =
        width * (sizeof(Pixel) * (sharpened ? 2.0 : 1.0) + 2 * 6.0 + sizeof(Pixel) * sourceRowsPerRow);
    const double rows = static_cast<double>(bandBytes) / perRow - 2.0 * halo;
    return static_cast<int>(std::clamp(rows, static_cast<double>(fewest), static_cast<double>(bandRows)));
}

// Starts sending the file's written pages to the disk without waiting for them.
void startWriteBack(int descriptor) {
#if defined(__linux__)
    if (descriptor >= 0) {
        ::sync_file_range(descriptor, 0, 0, SYNC_FILE_RANGE_WRITE); // a hint: failure changes nothing
    }
#else
    (void)descriptor;
#endif
}

} // namespace

int conversionWorkers() {
    static const int workers = std::min(std::max(ParallelLoop::activeProcessorCount(), 1), 8);
    return workers;
}

void encode(const Pixel* from, std::size_t count, Pixel* into, const ToneCurves& through) {
    const EncodingTables tables(through);
    inChunks(count, [&](std::size_t first, std::size_t end) {
        BandKernels::encode(floats(from + first), floats(into + first), 4 * (end - first), tables);
    });
}

void round(const Pixel* from, std::size_t count, std::uint16_t* into, bool padded,
           const ToneCurves* through) {
    std::optional<EncodingTables> tables;
    if (through) {
        tables.emplace(*through);
    }
    roundInChunks(from, count, into, padded ? Samples::paddedLittleEndian : Samples::bigEndian,
                  tables ? &*tables : nullptr);
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
    const auto offset = static_cast<std::ptrdiff_t>(width) * 3;
    inSlices(transforms, rows, [&](const ColorTransform& t, int start, int count) {
        t.convert(from + start * offset, false, into + start * offset, true, width, count);
    });
}

void write(const std::shared_ptr<LinearSource>& source, const Rect& crop, std::int64_t pixelWidth,
           std::int64_t pixelHeight, const Rect& at, OutputSharpening sharpening, double resolution,
           Colorizer& colors, PDFImageWriter& into, int bandHeight, int descriptor) {
    if (!source || pixelWidth < 1 || pixelHeight < 1 || pixelWidth > INT_MAX || pixelHeight > INT_MAX) {
        throw SheetRenderError(SheetRenderErrorCode::cannotCreateImage);
    }
    const int width = static_cast<int>(pixelWidth);
    const int height = static_cast<int>(pixelHeight);

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

    std::optional<EncodingTables> ownTables;
    if (conversion.encodesToOwnSpace && source->curves()) {
        ownTables.emplace(*source->curves());
    }
    const EncodingTables* tables = ownTables ? &*ownTables : nullptr;
    std::optional<Sharpening> sharpen;
    if (sharpening != OutputSharpening::off) {
        sharpen.emplace(sharpening, resolution);
    }
    // The paper conversion reads three samples a pixel: the engine converts those faster than padded ones,
    // and the values are the same.
    const bool toPaper = conversion.paper.has_value();
    const Samples layout = toPaper ? Samples::littleEndian : Samples::bigEndian;

    const int band = bandHeight > 0 ? bandHeight : rowsPerBand(resampler, r, sharpen.has_value());
    const int ownRows = std::min(height, band);
    const auto stride = static_cast<std::ptrdiff_t>(width);
    PageBuffer renderedMemory, sharpenedMemory;
    // A sharpened band resamples only the rows below those it keeps from the band before; the first one
    // also its lower halo.
    Pixel* rendered =
        bandBuffer<Pixel>(renderedMemory, product(width, std::min(height, ownRows + r), sizeof(Pixel)));
    Pixel* sharpened =
        sharpen ? bandBuffer<Pixel>(sharpenedMemory,
                                    product(width, std::min(height, ownRows + 2 * r), sizeof(Pixel)))
                : nullptr;
    // Two output buffers: one band is written to the file while the next is computed. Declared before the
    // pending write, so that an error unwinding this frame waits for the write before freeing its buffer.
    // The paper conversion works in place, on the rounded samples. Each has the room past its samples that
    // the writer may use when it writes them in place.
    PageBuffer outputMemory[2];
    const std::size_t outputSamples = product(width, ownRows, 6) * 3 + PDFImageWriter::inPlaceRoom / 2;
    std::uint16_t* output[2] = {bandBuffer<std::uint16_t>(outputMemory[0], outputSamples),
                                bandBuffer<std::uint16_t>(outputMemory[1], outputSamples)};
    std::future<void> writing;

    // Rows of `sharpened`: output rows heldTop ..< heldBottom, the first at the buffer's start. The halo
    // rows two bands share are sharpened along the row once and kept; a row's values never depend on the
    // band it was made in, so the bytes are those of a band that made all its rows itself.
    int heldTop = 0, heldBottom = 0;
    int parity = 0;
    for (int y = 0; y < height; y += band) {
        const int n = std::min(height - y, band);
        std::uint16_t* out = output[parity];

        if (sharpen) {
            const int top = std::max(y - r, 0);
            const int bottom = std::min(y + n + r, height);
            int first = top;
            if (top >= heldTop && top < heldBottom) {
                std::memmove(sharpened, sharpened + (top - heldTop) * stride,
                             static_cast<std::size_t>(heldBottom - top) * static_cast<std::size_t>(width) *
                                 sizeof(Pixel));
                first = heldBottom;
            }
            heldTop = top;
            heldBottom = first;
            if (first < bottom) {
                const int fresh = bottom - first;
                resampler.render(IndexRange{first, bottom}, rendered);
                auto sharpenRow = [&](int j) {
                    BandKernels::sharpenRow(floats(rendered + j * stride),
                                            floats(sharpened + (first - top + j) * stride), width,
                                            sharpen->weights.data(), sharpen->taps(), sharpen->amount);
                };
                if (tables) {
                    LanczosResampler::parallel(fresh, [&](int j) {
                        float* row = floats(rendered + j * stride);
                        BandKernels::encode(row, row, 4 * static_cast<std::size_t>(width), *tables);
                        sharpenRow(j);
                    });
                } else {
                    // Each transform encodes its own slice of rows, a row at a time, and the row is sharpened
                    // while it is still in the cache.
                    inSlices(conversion.encode, fresh, [&](const ColorTransform& t, int start, int count) {
                        for (int j = start; j < start + count; ++j) {
                            Pixel* row = rendered + j * stride;
                            t.convert(row, ColorTransform::Layout::floatRGBA, row,
                                      ColorTransform::Layout::floatRGBA, width, 1);
                            sharpenRow(j);
                        }
                    });
                }
                heldBottom = bottom;
            }
            const int m = bottom - top;
            const int own = y - top;
            const int jobs = (n + rowsPerJob - 1) / rowsPerJob;
            LanczosResampler::parallel(jobs, [&](int job) {
                const int row = job * rowsPerJob;
                const int count = std::min(rowsPerJob, n - row);
                sharpenColumnsAndRound(*sharpen, sharpened, width, m, own + row, count,
                                       out + row * stride * 3, layout);
            });
        } else {
            // Without sharpening the tone tables encode inside the rounding; the colour engine encodes each
            // row just before it is rounded.
            resampler.render(IndexRange{y, y + n}, rendered);
            if (tables) {
                roundInChunks(rendered, static_cast<std::size_t>(n) * width, out, layout, tables);
            } else {
                const auto samplesPerRow =
                    stride * static_cast<std::ptrdiff_t>(BandKernels::valuesPerPixel(layout));
                inSlices(conversion.encode, n, [&](const ColorTransform& t, int start, int count) {
                    for (int j = start; j < start + count; ++j) {
                        Pixel* row = rendered + j * stride;
                        t.convert(row, ColorTransform::Layout::floatRGBA, row,
                                  ColorTransform::Layout::floatRGBA, width, 1);
                        roundRun(row, out + j * samplesPerRow, static_cast<std::size_t>(width), layout,
                                 nullptr);
                    }
                });
            }
        }
        if (toPaper) {
            convertInSlices(*conversion.paper, out, out, width, n);
        }
        if (writing.valid()) {
            writing.get();
        }
        const std::size_t bytes = static_cast<std::size_t>(n) * static_cast<std::size_t>(width) * 6;
        writing = std::async(std::launch::async, [&into, out, bytes, descriptor] {
            into.writeImageBytesInPlace(out, bytes);
            startWriteBack(descriptor);
        });
        parity ^= 1;
    }
    writing.get();
    into.endImage();
}

} // namespace PrintKit::SheetRenderer
