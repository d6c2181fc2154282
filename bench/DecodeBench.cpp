// Decoding photos into linear light, as a render does it: a 24-megapixel JPEG and a 16-bit TIFF decoded
// and drawn band by band (256 rows) through the linear source, and the walk that portrait photos
// (orientation 6) need, against the same photo stored upright. Inputs are made at run time with libjpeg
// and libtiff; megapixels per second are reported as items per second.
#include "PrintKit/render/color/ColorSpace.h"
#include "PrintKit/render/decode/ImageDecoder.h"
#include "PrintKit/render/resample/LanczosResampler.h"
#include "PrintKit/render/sheet/LinearSource.h"

#include <benchmark/benchmark.h>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <tiffio.h>
#include <unistd.h>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

using namespace PrintKit;

namespace {

std::filesystem::path temporary(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("QuilmPrint-bench-" + std::to_string(::getpid()) + "-" + name);
}

// A smooth colour field with some texture, so that the JPEG coder has real work.
std::uint8_t sample(int x, int y, int c) {
    return static_cast<std::uint8_t>((x * (c + 1) / 23 + y * (3 - c) / 17 + ((x * 7 + y * 13) % 11)) & 0xFF);
}

// Written once per process with libjpeg (quality 90, 4:2:0, an sRGB profile when tagged).
const std::filesystem::path& jpeg24(bool tagged) {
    static const auto write = [](bool withProfile) {
        const int width = 6000, height = 4000;
        auto path = temporary(withProfile ? "tagged.jpg" : "untagged.jpg");
        FILE* file = std::fopen(path.c_str(), "wb");
        jpeg_compress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, file);
        cinfo.image_width = width;
        cinfo.image_height = height;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 90, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        if (withProfile) {
            const std::string& icc = ColorSpace::sRGB().icc;
            jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(icc.data()),
                                   static_cast<unsigned>(icc.size()));
        }
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    row[static_cast<std::size_t>(x * 3 + c)] = sample(x, y, c);
                }
            }
            JSAMPROW pointer = row.data();
            jpeg_write_scanlines(&cinfo, &pointer, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        std::fclose(file);
        return path;
    };
    static const std::filesystem::path taggedPath = write(true);
    static const std::filesystem::path untaggedPath = write(false);
    return tagged ? taggedPath : untaggedPath;
}

// 4000 × 3000, 16-bit RGB, LZW-compressed strips of 16 rows, big-endian, an sRGB profile.
const std::filesystem::path& tiff16() {
    static const std::filesystem::path path = [] {
        const int width = 4000, height = 3000;
        auto p = temporary("16bit.tif");
        TIFF* tif = TIFFOpen(p.c_str(), "wb");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        const std::string& icc = ColorSpace::sRGB().icc;
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(icc.size()), icc.data());
        std::vector<std::uint16_t> row(static_cast<std::size_t>(width) * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    row[static_cast<std::size_t>(x * 3 + c)] =
                        static_cast<std::uint16_t>(sample(x, y, c) * 257 + (x & 0xFF));
                }
            }
            TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0);
        }
        TIFFClose(tif);
        return p;
    }();
    return path;
}

// What the band pipeline asks of a source: the whole window cached, then every band of 256 rows drawn.
void drawInBands(LinearSource& source, std::vector<Pixel>& band) {
    const int width = source.width(), height = source.height();
    band.resize(static_cast<std::size_t>(width) * 256);
    source.cache({0, width}, {0, height});
    for (int top = 0; top < height; top += 256) {
        source.draw({0, width}, {top, std::min(top + 256, height)}, band.data());
        benchmark::DoNotOptimize(band.data());
    }
}

void decodeJpeg(benchmark::State& state) {
    const auto& path = jpeg24(true);
    for (auto _ : state) {
        DecodedImage image = ImageDecoder::decode(path);
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * 24'000'000);
}

void jpegToLinear(benchmark::State& state) {
    const auto& path = jpeg24(state.range(0) != 0);
    std::vector<Pixel> band;
    for (auto _ : state) {
        auto decoded = LinearSource::read(path);
        LinearSource source(decoded.image, decoded.orientation, false);
        drawInBands(source, band);
    }
    state.SetItemsProcessed(state.iterations() * 24'000'000);
    state.SetLabel(state.range(0) ? "sRGB-tagged: bytes read raw" : "untagged: cached bitmap");
}

void tiffToLinear(benchmark::State& state) {
    const auto& path = tiff16();
    std::vector<Pixel> band;
    for (auto _ : state) {
        auto decoded = LinearSource::read(path);
        LinearSource source(decoded.image, decoded.orientation, false);
        drawInBands(source, band);
    }
    state.SetItemsProcessed(state.iterations() * 12'000'000);
}

// The same decoded 24-megapixel photo drawn upright (orientation 1), as a portrait (6, each presented row a
// column of the stored bytes), and turned back for a turned canvas; range(1) selects the cached route.
void orientationWalk(benchmark::State& state) {
    static const std::shared_ptr<const DecodedImage> tagged = LinearSource::read(jpeg24(true)).image;
    static const std::shared_ptr<const DecodedImage> untagged = LinearSource::read(jpeg24(false)).image;
    const int orientation = static_cast<int>(state.range(0));
    const bool cached = state.range(1) != 0;
    const bool turned = state.range(2) != 0;
    std::vector<Pixel> band;
    for (auto _ : state) {
        LinearSource source(cached ? untagged : tagged, orientation, turned);
        drawInBands(source, band);
    }
    state.SetItemsProcessed(state.iterations() * 24'000'000);
}

// For comparison only: the portrait walk done the obvious way, each presented row a straight walk down a
// stored column (a cache miss per pixel), with the same tone tables and the same parallel split.
void orientation6ColumnByColumn(benchmark::State& state) {
    static const std::shared_ptr<const DecodedImage> image = LinearSource::read(jpeg24(true)).image;
    LinearSource source(image, 6, false);
    source.cache({0, source.width()}, {0, source.height()}); // fetches the tone tables
    const float* table = source.curves()->toLinear().data();
    const int width = source.width(), height = source.height();
    const std::size_t rowBytes = image->bytesPerRow;
    std::vector<Pixel> band(static_cast<std::size_t>(width) * 256);
    for (auto _ : state) {
        for (int top = 0; top < height; top += 256) {
            const int rows = std::min(256, height - top);
            LanczosResampler::parallel(rows, [&](int r) {
                // Presented (x, y) of orientation 6 shows stored (y, H − 1 − x).
                const std::uint8_t* p = image->pixels.data() +
                                        static_cast<std::size_t>(image->height - 1) * rowBytes +
                                        static_cast<std::size_t>(top + r) * 3;
                Pixel* out = band.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(width);
                for (int x = 0; x < width; ++x, p -= rowBytes) {
                    out[x] = Pixel{table[p[0]], table[256 + p[1]], table[512 + p[2]], 1.0f};
                }
            });
            benchmark::DoNotOptimize(band.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * 24'000'000);
}

} // namespace

BENCHMARK(decodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(jpegToLinear)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(tiffToLinear)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(orientationWalk)
    ->ArgNames({"orientation", "cached", "turned"})
    ->Args({1, 0, 0})
    ->Args({6, 0, 0})
    ->Args({6, 0, 1})
    ->Args({1, 1, 0})
    ->Args({6, 1, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(orientation6ColumnByColumn)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char* name : {"tagged.jpg", "untagged.jpg", "16bit.tif"}) {
        std::filesystem::remove(temporary(name));
    }
    return 0;
}
