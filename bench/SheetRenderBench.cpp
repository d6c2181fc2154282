// Whole sheets, from the photo file to the finished PDF:
//   headline  a 24-megapixel sRGB JPEG filling a 13 × 19 in sheet at 720 ppi (9360 × 13680 pixels, turned
//             canvas), through a table-based paper profile, perceptual with black-point compensation,
//             standard sharpening: a 16-bit PDF of about 770 MB
//   adobe16   a 16-bit Adobe RGB-like TIFF on the same sheet, the driver managing colour (sRGB out)
//   grid      letter at 360 ppi, 20 different 12-megapixel photos with Hangul captions and cut marks
//   small     a 4 × 6 in sheet at 360 ppi from a 6-megapixel JPEG, paper profile, standard sharpening
// Inputs are made on first use in $QUILM_BENCH_INPUTS (default /tmp/quilm-bench-inputs); the PDFs go to
// $QUILM_BENCH_OUTPUT (default the inputs folder). `SheetRenderBench --make-inputs DIR` only makes them.
#include "PrintKit/render/layout/GridLayout.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "SheetInputs.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <iostream>

using namespace PrintKit;

namespace {

std::filesystem::path inputs() {
    const char* folder = std::getenv("QUILM_BENCH_INPUTS");
    return folder && *folder ? folder : "/tmp/quilm-bench-inputs";
}

std::filesystem::path output(const char* name) {
    const char* folder = std::getenv("QUILM_BENCH_OUTPUT");
    return std::filesystem::path(folder && *folder ? folder : inputs()) / name;
}

PPDPageSize sheet(const char* name, double width, double height) {
    return PPDPageSize{name, name, {}, width, height, std::nullopt};
}

void setRate(benchmark::State& state, double pixels) {
    state.counters["Mpx/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void onePhoto(benchmark::State& state, const char* photo, const PPDPageSize& page, double resolution,
              const SheetColor& color, bool turned, const char* out) {
    Placement placement;
    for (auto _ : state) {
        placement =
            SheetRenderer::render(inputs() / photo, page, ImageFit::fill(), Margins{}, resolution, Size{},
                                  color, OutputSharpening::standard, std::nullopt, turned, output(out));
    }
    setRate(state, static_cast<double>(placement.pixelWidth) * static_cast<double>(placement.pixelHeight));
}

void headline(benchmark::State& state) {
    onePhoto(state, "photo-24mp.jpg", sheet("A3+", 936, 1368), 720,
             SheetColor::paper(inputs() / "paper.icc", RenderingIntent::perceptual, true), true,
             "headline.pdf");
}

void adobe16(benchmark::State& state) {
    onePhoto(state, "photo-adobe16.tif", sheet("A3+", 936, 1368), 720, SheetColor::sRGB(), true,
             "adobe16.pdf");
}

void small(benchmark::State& state) {
    onePhoto(state, "photo-6mp.jpg", sheet("4x6", 288, 432), 360,
             SheetColor::paper(inputs() / "paper.icc", RenderingIntent::perceptual, true), true, "small.pdf");
}

void grid(benchmark::State& state) {
    const PPDPageSize letter = sheet("Letter", 612, 792);
    const GridSpec spec = GridSpec::make(138, 144, 6, false, false, true, true, true);
    const GridPlan plan = GridLayout::plan(letter, Margins::all(18), spec, 360);
    std::vector<std::optional<GridCellPhoto>> photos;
    for (int i = 0; i < 20; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "grid-%02d.jpg", i + 1);
        photos.emplace_back(GridCellPhoto(inputs() / name, "봄 풍경 " + std::to_string(i + 1) + " — Jeju"));
    }
    const SheetColor color = SheetColor::paper(inputs() / "paper.icc", RenderingIntent::perceptual, true);
    for (auto _ : state) {
        SheetRenderer::renderGrid(photos, plan, spec, letter, color, OutputSharpening::standard, std::nullopt,
                                  output("grid.pdf"));
    }
    state.counters["cells"] = static_cast<double>(plan.cells.size());
    setRate(state, static_cast<double>(plan.pixelWidth) * static_cast<double>(plan.pixelHeight));
}

} // namespace

BENCHMARK(headline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(adobe16)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(grid)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(small)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--make-inputs") == 0) {
        SheetInputs::make(argv[2]);
        return 0;
    }
    SheetInputs::make(inputs());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
