#include "PrintKit/render/resample/LanczosResampler.h"

#include "PrintKit/support/Rounding.h"
#include "TestSupport.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace PrintKit;

namespace {

// A synthetic image computed from positions, so any window can be painted at any time; records the
// windows it is asked for, and fails when told to.
struct PatternSource : ResampleSource {
    PatternSource(int w, int h, float alpha = 0.25f) : w(w), h(h), alpha(alpha) {}
    int width() const override { return w; }
    int height() const override { return h; }

    Pixel at(int x, int y) const {
        auto channel = [&](std::uint32_t c) {
            std::uint32_t v = static_cast<std::uint32_t>(x) * 73856093u ^
                              static_cast<std::uint32_t>(y) * 19349663u ^ c * 83492791u;
            v = (v ^ (v >> 13)) * 0x5bd1e995u;
            return constant ? *constant : static_cast<float>((v ^ (v >> 15)) % 100000u) / 99999.0f;
        };
        return {channel(0), channel(1), channel(2), alpha};
    }

    void draw(IndexRange columns, IndexRange rows, Pixel* into) override {
        {
            std::lock_guard guard(lock);
            windows.push_back({columns, rows});
        }
        if (failure) {
            throw std::runtime_error(*failure);
        }
        EXPECT_TRUE((IndexRange{0, w}).contains(columns) && (IndexRange{0, h}).contains(rows));
        for (int y = rows.lowerBound; y < rows.upperBound; ++y) {
            for (int x = columns.lowerBound; x < columns.upperBound; ++x) {
                *into++ = at(x, y);
            }
        }
    }

    int w, h;
    float alpha;
    std::optional<float> constant;
    std::optional<std::string> failure;
    std::mutex lock;
    std::vector<std::pair<IndexRange, IndexRange>> windows;
};

std::vector<Pixel> renderAll(const LanczosResampler& r) {
    std::vector<Pixel> out(static_cast<std::size_t>(r.outputWidth()) *
                           static_cast<std::size_t>(r.outputHeight()));
    r.render({0, r.outputHeight()}, out.data());
    return out;
}

// The two passes written out plainly, channel by channel, in the order the weights' publishers assume:
// each output sums its taps in tap order from zero, multiply then add, in single precision.
std::vector<Pixel> plainResample(const PatternSource& source, const LanczosResampler& r) {
    const FilterWeights& h = r.horizontal();
    const FilterWeights& v = r.vertical();
    auto tap = [](const FilterWeights& w, int i, int k) {
        return w.weights[static_cast<std::size_t>(w.offsets[static_cast<std::size_t>(i)] + k)];
    };
    auto across = [&](int x, int y, int c) {
        float sum = 0.0f;
        for (int k = 0; k < h.counts[static_cast<std::size_t>(x)]; ++k) {
            const Pixel p = source.at(r.columns().lowerBound + h.starts[static_cast<std::size_t>(x)] + k, y);
            const float product = (c == 0 ? p.r : c == 1 ? p.g : p.b) * tap(h, x, k);
            sum = sum + product;
        }
        return sum;
    };
    std::vector<Pixel> out;
    for (int y = 0; y < r.outputHeight(); ++y) {
        for (int x = 0; x < r.outputWidth(); ++x) {
            float channels[3] = {0, 0, 0};
            for (int c = 0; c < 3; ++c) {
                for (int k = 0; k < v.counts[static_cast<std::size_t>(y)]; ++k) {
                    const float product =
                        across(x, v.starts[static_cast<std::size_t>(y)] + k, c) * tap(v, y, k);
                    channels[c] = channels[c] + product;
                }
            }
            out.push_back({channels[0], channels[1], channels[2], 1.0f});
        }
    }
    return out;
}

} // namespace

TEST(LanczosResamplerTest, ParallelPassesInAnyBandsMatchPlainSinglePrecisionArithmetic) {
    const struct {
        int w, h, ow, oh;
        Rect crop;
    } cases[] = {{29, 19, 101, 67, Rect(0, 0, 1, 1)},
                 {140, 90, 33, 21, Rect(0.1, 0.2, 0.7, 0.75)},
                 {53, 41, 120, 97, Rect(0.05, 0.1, 0.9, 0.85)},
                 // A window of more than 4 MB, drawn and filtered a slice of rows at a time.
                 {280, 1000, 70, 250, Rect(0, 0, 1, 1)}};
    for (const auto& c : cases) {
        auto source = std::make_shared<PatternSource>(c.w, c.h);
        LanczosResampler resampler(source, c.crop, c.ow, c.oh);
        const auto whole = renderAll(resampler);
        const auto plain = plainResample(*source, resampler);
        ASSERT_EQ(std::memcmp(whole.data(), plain.data(), whole.size() * sizeof(Pixel)), 0)
            << c.ow << 'x' << c.oh;
        // How the rows are cut into bands changes no pixel.
        for (int band : {1, 7, 64}) {
            std::vector<Pixel> rows(static_cast<std::size_t>(c.ow * band));
            for (int y = 0; y < c.oh; y += band) {
                const int end = std::min(y + band, c.oh);
                resampler.render({y, end}, rows.data());
                ASSERT_EQ(0, std::memcmp(rows.data(), whole.data() + static_cast<std::size_t>(y * c.ow),
                                         static_cast<std::size_t>(c.ow * (end - y)) * sizeof(Pixel)))
                    << band << ' ' << y;
            }
        }
    }
}

TEST(LanczosResamplerTest, DrawsOnlyTheWindowABandReads) {
    // A 4000-row source reduced to 500 rows: a band of 16 output rows reads about 16 × 8 + 48 rows, and
    // only the columns of the crop.
    auto source = std::make_shared<PatternSource>(300, 4000);
    LanczosResampler resampler(source, Rect(0.25, 0, 0.5, 1), 60, 500);
    EXPECT_GT(resampler.columns().lowerBound, 0);
    EXPECT_LT(resampler.columns().upperBound, 300);
    std::vector<Pixel> band(60 * 16);
    resampler.render({200, 216}, band.data());
    ASSERT_EQ(source->windows.size(), 1u);
    EXPECT_EQ(source->windows[0].first, resampler.columns());
    EXPECT_EQ(source->windows[0].second, resampler.vertical().used({200, 216}));
    EXPECT_LE(source->windows[0].second.count(), 16 * 8 + 50);
    // A source's error passes through unchanged.
    source->failure = "사진을 읽지 못했습니다: /tmp/x.jpg";
    auto error = TestSupport::thrown<std::runtime_error>([&] { resampler.render({0, 16}, band.data()); });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->what(), "사진을 읽지 못했습니다: /tmp/x.jpg");
}

TEST(LanczosResamplerTest, ConcurrentRendersOnOneResamplerAgree) {
    // One caller at a time is the rule; a second one at the same moment must still get the same pixels.
    auto source = std::make_shared<PatternSource>(90, 70);
    LanczosResampler resampler(source, Rect(0, 0, 1, 1), 45, 150);
    const auto whole = renderAll(resampler);
    std::vector<std::vector<Pixel>> bands(6, std::vector<Pixel>(45 * 25));
    std::vector<std::thread> threads;
    for (int i = 0; i < 6; ++i) {
        threads.emplace_back([&, i] {
            resampler.render({25 * i, 25 * (i + 1)}, bands[static_cast<std::size_t>(i)].data());
        });
    }
    for (std::size_t i = 0; i < bands.size(); ++i) {
        threads[i].join();
        EXPECT_EQ(0, std::memcmp(bands[i].data(), whole.data() + i * 45 * 25, 45 * 25 * sizeof(Pixel))) << i;
    }
}
