// Streaming speed of the PDF writer: a sheet's samples written band by band (256 rows per call, as the band
// pipeline delivers them) into a real file, for a few print sizes at 360 and 720 pixels per inch.
#include "PrintKit/render/sheet/PDFImageWriter.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace PrintKit;

namespace {

void streamSheet(benchmark::State& state) {
    const std::int64_t width = state.range(0);
    const std::int64_t height = state.range(1);
    const std::int64_t bandRows = 256;
    std::string band(static_cast<std::size_t>(width * bandRows * 6), '\x5A');
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("QuilmPrint-bench-" + std::to_string(::getpid()) + ".pdf");
    for (auto _ : state) {
        PDFImageWriter writer(path, Size{width * 0.2, height * 0.2}, "Quilm Print");
        writer.beginImage(Rect(0, 0, width * 0.2, height * 0.2), width, height,
                          PDFImageWriter::ColorSpace::deviceRGB());
        for (std::int64_t y = 0; y < height; y += bandRows) {
            std::int64_t rows = std::min(bandRows, height - y);
            writer.writeImageBytes(band.data(), static_cast<std::size_t>(width * rows * 6));
        }
        writer.endImage();
        writer.finish();
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(state.iterations() * width * height * 6);
}

} // namespace

// 4 × 6 in at 360 ppi, 8 × 10 in at 360 ppi, 13 × 19 in at 720 ppi.
BENCHMARK(streamSheet)
    ->Args({1440, 2160})
    ->Args({2880, 3600})
    ->Args({9360, 13680})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
