// The paper conversion of a band: 16-bit padded little-endian pixels to 16-bit big-endian through a
// table-based printer profile (33-point tables, built in memory), one thread and all threads. Also compares
// one transform per slice (what the renderer does) with one transform shared by every slice, and what
// building the transforms costs, since a render builds one per slice.
#include "PrintKit/render/color/ColorTransform.h"
#include "PrintKit/render/resample/LanczosResampler.h"
#include "PrintKit/support/ParallelLoop.h"
#include "tests/render/TestProfiles.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <vector>

using namespace PrintKit;

namespace {

constexpr int width = 13856; // a 128 Mpx sheet's row
constexpr int rows = 256;    // one band

const std::string& paper() {
    static const std::string bytes = TestProfiles::lutPrinter(33);
    return bytes;
}

const std::string& photo() {
    return ColorSpace::sRGB().icc;
}

// A smooth gradient with noise, like a photo: the engine's one-pixel cache rarely hits.
const std::vector<std::uint16_t>& band() {
    static const std::vector<std::uint16_t> samples = [] {
        std::vector<std::uint16_t> s(static_cast<std::size_t>(width) * rows * 4);
        std::uint32_t state = 1;
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < width; ++x) {
                state = state * 1664525u + 1013904223u;
                const int noise = static_cast<int>(state >> 24) - 128;
                const std::size_t i = (static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 4;
                s[i] = static_cast<std::uint16_t>(std::clamp(x * 65535 / width + noise, 0, 65535));
                s[i + 1] = static_cast<std::uint16_t>(std::clamp(y * 65535 / rows + noise, 0, 65535));
                s[i + 2] = static_cast<std::uint16_t>(std::clamp(32768 + 4 * noise, 0, 65535));
                s[i + 3] = 0;
            }
        }
        return s;
    }();
    return samples;
}

int workers() {
    return std::min(std::max(ParallelLoop::activeProcessorCount(), 1), 8);
}

void setRate(benchmark::State& state) {
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(width) * rows / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

void convertSlices(const std::vector<const ColorTransform*>& transforms, std::vector<std::uint16_t>& out) {
    const int k = static_cast<int>(transforms.size());
    const int perSlice = (rows + k - 1) / k;
    LanczosResampler::parallel(k, [&](int i) {
        const int start = i * perSlice;
        const int count = std::min(rows - start, perSlice);
        if (count > 0) {
            transforms[static_cast<std::size_t>(i)]->convert(
                band().data() + static_cast<std::size_t>(start) * width * 4, true,
                out.data() + static_cast<std::size_t>(start) * width * 3, true, width, count);
        }
    });
}

void paperOneThread(benchmark::State& state) {
    const ColorTransform t(photo(), paper(), RenderingIntent::perceptual, true);
    std::vector<std::uint16_t> out(static_cast<std::size_t>(width) * rows * 3);
    t.convert(band().data(), true, out.data(), true, width, 1); // build the 16-bit transform first
    for (auto _ : state) {
        t.convert(band().data(), true, out.data(), true, width, rows);
        benchmark::DoNotOptimize(out.data());
    }
    setRate(state);
}

void paperTransformPerSlice(benchmark::State& state) {
    std::vector<ColorTransform> owned;
    std::vector<const ColorTransform*> transforms;
    std::vector<std::uint16_t> out(static_cast<std::size_t>(width) * rows * 3);
    for (int i = 0; i < workers(); ++i) {
        owned.emplace_back(photo(), paper(), RenderingIntent::perceptual, true);
    }
    for (const auto& t : owned) {
        t.convert(band().data(), true, out.data(), true, 1, 1);
        transforms.push_back(&t);
    }
    for (auto _ : state) {
        convertSlices(transforms, out);
        benchmark::DoNotOptimize(out.data());
    }
    setRate(state);
    state.counters["slices"] = workers();
}

void paperSharedTransform(benchmark::State& state) {
    const ColorTransform t(photo(), paper(), RenderingIntent::perceptual, true);
    std::vector<std::uint16_t> out(static_cast<std::size_t>(width) * rows * 3);
    t.convert(band().data(), true, out.data(), true, 1, 1);
    const std::vector<const ColorTransform*> transforms(static_cast<std::size_t>(workers()), &t);
    for (auto _ : state) {
        convertSlices(transforms, out);
        benchmark::DoNotOptimize(out.data());
    }
    setRate(state);
    state.counters["slices"] = workers();
}

// What a render pays before its first band: one transform per slice, each with its 16-bit tables.
void buildPaperTransforms(benchmark::State& state) {
    const int k = static_cast<int>(state.range(0));
    std::vector<std::uint16_t> out(3);
    for (auto _ : state) {
        std::vector<ColorTransform> owned;
        for (int i = 0; i < k; ++i) {
            owned.emplace_back(photo(), paper(), RenderingIntent::perceptual, true);
            owned.back().convert(band().data(), true, out.data(), true, 1, 1);
        }
        benchmark::DoNotOptimize(owned.data());
    }
}

// The float conversion (the encoding step without tone tables) for comparison: never precalculated.
void floatOneThread(benchmark::State& state) {
    const ColorTransform t(photo(), paper(), RenderingIntent::perceptual, true);
    std::vector<Pixel> in(static_cast<std::size_t>(width) * 16);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const float v = static_cast<float>(band()[4 * i]) / 65535.0f;
        in[i] = {v, 1.0f - v, 0.5f, 1.0f};
    }
    std::vector<Pixel> out(in.size());
    for (auto _ : state) {
        t.convert(in.data(), ColorTransform::Layout::floatRGBA, out.data(), ColorTransform::Layout::floatRGBA,
                  width, 16);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(width) * 16 / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(paperOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(paperTransformPerSlice)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(paperSharedTransform)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(buildPaperTransforms)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(floatOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
