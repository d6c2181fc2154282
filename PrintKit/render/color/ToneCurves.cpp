#include "PrintKit/render/color/ToneCurves.h"

#include "PrintKit/render/color/ColorTransform.h"
#include "PrintKit/support/Pixel.h"

#include <array>
#include <limits>
#include <mutex>
#include <string>
#include <unordered_map>

namespace PrintKit {

namespace {

constexpr int checkSamples = 512;
constexpr float checkTolerance = 2e-5f;

// SplitMix64: a small generator whose stream is fully determined by its seed on every platform, unlike the
// distributions of the standard library, whose output differs between implementations.
class SampleGenerator {
public:
    explicit SampleGenerator(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in 0...n, without the bias of a plain modulo (values in the incomplete last block are
    // drawn again).
    int upTo(int n) {
        const std::uint64_t range = static_cast<std::uint64_t>(n) + 1;
        const std::uint64_t limit =
            std::numeric_limits<std::uint64_t>::max() - std::numeric_limits<std::uint64_t>::max() % range;
        std::uint64_t x = next();
        while (x >= limit) {
            x = next();
        }
        return static_cast<int>(x % range);
    }

private:
    std::uint64_t state_;
};

std::string cacheKey(std::string_view own, int levels) {
    std::string key(own);
    auto value = static_cast<std::uint64_t>(static_cast<std::int64_t>(levels));
    for (int i = 0; i < 8; ++i) {
        key.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return key;
}

// Holds the same transforms' verdict on the same samples as the tables: true when every sample's decoding
// and encoding lookups agree with them.
bool passesCheck(const ToneCurves& curves, const ColorTransform& forward, const ColorTransform& backward,
                 std::uint64_t seed) {
    const int n = curves.levels() - 1;
    const auto nf = static_cast<float>(n);
    SampleGenerator generator(seed);
    std::array<std::array<int, 3>, checkSamples> codes;
    std::vector<Pixel> samples(checkSamples);
    for (std::size_t s = 0; s < codes.size(); ++s) {
        for (int& code : codes[s]) {
            code = generator.upTo(n);
        }
        samples[s] = Pixel{static_cast<float>(codes[s][0]) / nf, static_cast<float>(codes[s][1]) / nf,
                           static_cast<float>(codes[s][2]) / nf, 0.0f / nf};
    }
    std::vector<Pixel> lin(checkSamples);
    std::vector<Pixel> back(checkSamples);
    try {
        forward.convert(samples.data(), ColorTransform::Layout::floatRGBA, lin.data(),
                        ColorTransform::Layout::floatRGBA, checkSamples, 1);
        backward.convert(lin.data(), ColorTransform::Layout::floatRGBA, back.data(),
                         ColorTransform::Layout::floatRGBA, checkSamples, 1);
    } catch (const ColorTransformError&) {
        return false;
    }
    for (std::size_t s = 0; s < codes.size(); ++s) {
        const float linear[3] = {lin[s].r, lin[s].g, lin[s].b};
        const float expected[3] = {back[s].r, back[s].g, back[s].b};
        for (int c = 0; c < 3; ++c) {
            // Written as "not less than" so that a NaN difference fails too.
            if (!(std::fabs(curves.linear(c, codes[s][static_cast<std::size_t>(c)]) - linear[c]) <
                  checkTolerance)) {
                return false;
            }
            if (!(std::fabs(curves.encode(c, linear[c]) - expected[c]) < checkTolerance)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

std::uint64_t ToneCurves::checkSeed(std::string_view own, int levels) {
    // FNV-1a over the cache key: stable across runs, builds and platforms.
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (char byte : cacheKey(own, levels)) {
        hash ^= static_cast<std::uint8_t>(byte);
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

std::shared_ptr<const ToneCurves> ToneCurves::build(std::string_view own, std::string_view linear, int levels,
                                                    std::uint64_t seed) {
    if (levels != 256 && levels != 65536) {
        return nullptr;
    }
    try {
        // The tables stand in for the engine's own conversions, so they are made and checked against
        // those, never against a faster approximation of them.
        constexpr auto exact = ColorTransform::Evaluation::exact;
        const ColorTransform forward(own, linear, RenderingIntent::relativeColorimetric, false, exact);
        const ColorTransform backward(linear, own, RenderingIntent::relativeColorimetric, false, exact);
        std::shared_ptr<ToneCurves> curves(new ToneCurves());
        curves->levels_ = levels;

        const auto count = static_cast<std::size_t>(levels);
        std::vector<Pixel> greys(count);
        const auto top = static_cast<float>(levels - 1);
        for (std::size_t k = 0; k < count; ++k) {
            const float v = static_cast<float>(k) / top;
            greys[k] = Pixel{v, v, v, 1.0f};
        }
        forward.convert(greys.data(), ColorTransform::Layout::floatRGBA, greys.data(),
                        ColorTransform::Layout::floatRGBA, levels, 1);
        curves->toLinear_.resize(3 * count);
        for (std::size_t k = 0; k < count; ++k) {
            curves->toLinear_[k] = greys[k].r;
            curves->toLinear_[count + k] = greys[k].g;
            curves->toLinear_[2 * count + k] = greys[k].b;
        }

        // Entries at the squares of even steps: dense near black, where encoding curves are steepest.
        constexpr auto size = static_cast<std::size_t>(encodingSize);
        std::vector<Pixel> squares(size);
        const float step = 1.0f / 4096.0f;
        for (std::size_t k = 0; k < size; ++k) {
            const float s = static_cast<float>(k) * step;
            const float v = s * s;
            squares[k] = Pixel{v, v, v, 1.0f};
        }
        backward.convert(squares.data(), ColorTransform::Layout::floatRGBA, squares.data(),
                         ColorTransform::Layout::floatRGBA, encodingSize, 1);
        curves->encoding_.resize(3 * size);
        for (std::size_t k = 0; k < size; ++k) {
            curves->encoding_[k] = squares[k].r;
            curves->encoding_[size + k] = squares[k].g;
            curves->encoding_[2 * size + k] = squares[k].b;
        }

        if (!passesCheck(*curves, forward, backward, seed)) {
            return nullptr;
        }
        return curves;
    } catch (const ColorTransformError&) {
        return nullptr;
    }
}

std::shared_ptr<const ToneCurves> ToneCurves::shared(std::string_view own, std::string_view linear,
                                                     int levels) {
    // Never destroyed: renders on other threads may still ask while the process exits.
    static auto* lock = new std::mutex;
    static auto* made = new std::unordered_map<std::string, std::shared_ptr<const ToneCurves>>;
    std::string key = cacheKey(own, levels);
    // Held across the build, so that two renders asking for the same space build it once.
    std::lock_guard guard(*lock);
    if (auto found = made->find(key); found != made->end()) {
        return found->second; // nullptr is a remembered failure: never built again
    }
    auto curves = build(own, linear, levels, checkSeed(own, levels));
    made->emplace(std::move(key), curves);
    return curves;
}

} // namespace PrintKit
