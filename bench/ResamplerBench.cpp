// Throughput of the Lanczos resampler's two passes, for a 24 Mpx photo enlarged to 128 Mpx and reduced to
// 4 Mpx. One band of 256 output rows is measured (a sheet is rendered band after band, so the whole image
// costs its band count times this); rates are output megapixels per second, all processors working.
#include "PrintKit/render/resample/LanczosResampler.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>
#include <vector>

using namespace PrintKit;

namespace {

constexpr int sourceWidth = 6000; // 6000 × 4000 = 24 Mpx
constexpr int sourceHeight = 4000;
constexpr int band = 256;

// Paints windows from a few prepared rows, so that the source costs as little as a cached decode.
class PreparedSource : public ResampleSource {
public:
    PreparedSource() : rows_(8 * static_cast<std::size_t>(sourceWidth)) {
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const float v = static_cast<float>((i * 2654435761u) % 1000u) / 999.0f;
            rows_[i] = {v, 1.0f - v, v * 0.5f, 1.0f};
        }
    }
    int width() const override { return sourceWidth; }
    int height() const override { return sourceHeight; }
    void draw(IndexRange columns, IndexRange rows, Pixel* into) override {
        const auto count = static_cast<std::size_t>(columns.count());
        for (int y = rows.lowerBound; y < rows.upperBound; ++y) {
            const Pixel* from =
                rows_.data() + static_cast<std::size_t>(y % 8) * sourceWidth + columns.lowerBound;
            std::memcpy(into, from, count * sizeof(Pixel));
            into += count;
        }
    }

private:
    std::vector<Pixel> rows_;
};

struct Case {
    int outputWidth;
    int outputHeight;
};
constexpr Case enlargement{13856, 9238}; // 128.0 Mpx
constexpr Case reduction{2400, 1600};    // 3.8 Mpx

void setRate(benchmark::State& state, double pixelsPerIteration) {
    state.counters["Mpx/s"] =
        benchmark::Counter(pixelsPerIteration / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void render(benchmark::State& state, Case c) {
    auto source = std::make_shared<PreparedSource>();
    LanczosResampler resampler(source, Rect(0, 0, 1, 1), c.outputWidth, c.outputHeight);
    const int top = c.outputHeight / 2;
    std::vector<Pixel> out(static_cast<std::size_t>(c.outputWidth) * band);
    for (auto _ : state) {
        resampler.render({top, top + band}, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    setRate(state, static_cast<double>(c.outputWidth) * band);
    state.counters["bands"] = (c.outputHeight + band - 1) / band;
}

// The horizontal pass over the source rows one band reads.
void horizontal(benchmark::State& state, Case c) {
    auto source = std::make_shared<PreparedSource>();
    LanczosResampler resampler(source, Rect(0, 0, 1, 1), c.outputWidth, c.outputHeight);
    const int top = c.outputHeight / 2;
    const IndexRange used = resampler.vertical().used({top, top + band});
    std::vector<Pixel> window(static_cast<std::size_t>(resampler.columns().count()) * used.count());
    source->draw(resampler.columns(), used, window.data());
    std::vector<Pixel> across(static_cast<std::size_t>(c.outputWidth) * used.count());
    for (auto _ : state) {
        LanczosResampler::horizontalPass(resampler.horizontal(), window.data(), resampler.columns().count(),
                                         used.count(), across.data());
        benchmark::DoNotOptimize(across.data());
    }
    setRate(state, static_cast<double>(c.outputWidth) * used.count());
    state.counters["rows"] = used.count();
}

void vertical(benchmark::State& state, Case c) {
    auto source = std::make_shared<PreparedSource>();
    LanczosResampler resampler(source, Rect(0, 0, 1, 1), c.outputWidth, c.outputHeight);
    const int top = c.outputHeight / 2;
    const IndexRange used = resampler.vertical().used({top, top + band});
    std::vector<Pixel> across(static_cast<std::size_t>(c.outputWidth) * used.count(),
                              Pixel{0.5f, 0.25f, 0.125f, 1});
    std::vector<Pixel> out(static_cast<std::size_t>(c.outputWidth) * band);
    for (auto _ : state) {
        LanczosResampler::verticalPass(resampler.vertical(), {top, top + band}, across.data(),
                                       used.lowerBound, c.outputWidth, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    setRate(state, static_cast<double>(c.outputWidth) * band);
}

} // namespace

BENCHMARK_CAPTURE(render, enlarge_24_to_128Mpx, enlargement)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(horizontal, enlarge_24_to_128Mpx, enlargement)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(vertical, enlarge_24_to_128Mpx, enlargement)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(render, reduce_24_to_4Mpx, reduction)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(horizontal, reduce_24_to_4Mpx, reduction)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(vertical, reduce_24_to_4Mpx, reduction)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
