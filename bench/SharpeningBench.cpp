// Sharpening throughput at the resolutions the renderer uses, on a band the size the band pipeline hands
// over (a full 17-inch sheet width at 720 ppi, 256 rows plus the halo). Megapixels per second are reported
// as items per second.
#include "PrintKit/settings/OutputSharpening.h"

#include <benchmark/benchmark.h>
#include <random>
#include <vector>

using namespace PrintKit;

namespace {

std::vector<Pixel> band(int width, int rows) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    std::vector<Pixel> pixels(static_cast<std::size_t>(width) * rows);
    for (auto& p : pixels) {
        p = Pixel{value(random), value(random), value(random), 1.0f};
    }
    return pixels;
}

void sharpen(benchmark::State& state) {
    const double dpi = static_cast<double>(state.range(0));
    const int width = static_cast<int>(17 * dpi);
    const int rows = 256 + 2 * halo(OutputSharpening::standard, dpi);
    const auto original = band(width, rows);
    auto pixels = original;
    for (auto _ : state) {
        state.PauseTiming();
        pixels = original;
        state.ResumeTiming();
        apply(OutputSharpening::standard, pixels.data(), width, rows, dpi);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(width) * rows);
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(width) * rows / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(sharpen)->Arg(360)->Arg(720)->Arg(1440)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
