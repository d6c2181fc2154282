#include "PrintKit/render/LanczosResampler.h"

#include "PrintKit/support/Rounding.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace PrintKit;

namespace {

// A synthetic image: every pixel is computed from its position, so any window can be painted at any
// time. Records the windows it is asked for.
class PatternSource : public ResampleSource {
public:
    enum class Fill { noise, constant };

    PatternSource(int width, int height, Fill fill = Fill::noise, float constant = 0, float alpha = 0.25f)
        : width_(width), height_(height), fill_(fill), constant_(constant), alpha_(alpha) {}

    int width() const override { return width_; }
    int height() const override { return height_; }

    Pixel at(int x, int y) const {
        if (fill_ == Fill::constant) {
            return {constant_, constant_, constant_, alpha_};
        }
        auto channel = [&](std::uint32_t c) {
            std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^
                              static_cast<std::uint32_t>(y) * 19349663u ^ c * 83492791u;
            h ^= h >> 13;
            h *= 0x5bd1e995u;
            h ^= h >> 15;
            return static_cast<float>(h % 100000u) / 99999.0f;
        };
        return {channel(0), channel(1), channel(2), alpha_};
    }

    void draw(IndexRange columns, IndexRange rows, Pixel* into) override {
        {
            std::lock_guard guard(lock);
            windows.push_back({columns, rows});
        }
        if (failure) {
            throw *failure;
        }
        EXPECT_GE(columns.lowerBound, 0);
        EXPECT_LE(columns.upperBound, width_);
        EXPECT_GE(rows.lowerBound, 0);
        EXPECT_LE(rows.upperBound, height_);
        for (int y = rows.lowerBound; y < rows.upperBound; ++y) {
            for (int x = columns.lowerBound; x < columns.upperBound; ++x) {
                *into++ = at(x, y);
            }
        }
    }

    struct Window {
        IndexRange columns;
        IndexRange rows;
    };
    std::mutex lock;
    std::vector<Window> windows;
    std::unique_ptr<std::runtime_error> failure;

private:
    int width_;
    int height_;
    Fill fill_;
    float constant_;
    float alpha_;
};

std::vector<Pixel> renderAll(const LanczosResampler& resampler) {
    std::vector<Pixel> out(static_cast<std::size_t>(resampler.outputWidth()) *
                           static_cast<std::size_t>(resampler.outputHeight()));
    resampler.render({0, resampler.outputHeight()}, out.data());
    return out;
}

bool sameBits(const Pixel& a, const Pixel& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Distance in units in the last place between two positive floats.
std::int64_t ulpsApart(float a, float b) {
    std::int32_t ia;
    std::int32_t ib;
    std::memcpy(&ia, &a, 4);
    std::memcpy(&ib, &b, 4);
    return std::abs(static_cast<std::int64_t>(ia) - ib);
}

// The two passes written out plainly, one channel at a time, in the order the weights' publishers assume:
// each output sums its taps in tap order from zero, multiply then add, in single precision.
std::vector<Pixel> plainResample(PatternSource& source, const LanczosResampler& r) {
    const FilterWeights& h = r.horizontal();
    const FilterWeights& v = r.vertical();
    const IndexRange columns = r.columns();
    std::vector<float> across(static_cast<std::size_t>(r.outputWidth()) *
                              static_cast<std::size_t>(source.height()) * 4);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < r.outputWidth(); ++x) {
            for (int c = 0; c < 4; ++c) {
                float sum = 0.0f;
                for (int k = 0; k < h.counts[static_cast<std::size_t>(x)]; ++k) {
                    Pixel p = source.at(columns.lowerBound + h.starts[static_cast<std::size_t>(x)] + k, y);
                    const float sample = c == 0 ? p.r : c == 1 ? p.g : c == 2 ? p.b : p.a;
                    const float product =
                        sample *
                        h.weights[static_cast<std::size_t>(h.offsets[static_cast<std::size_t>(x)] + k)];
                    sum = sum + product;
                }
                across[(static_cast<std::size_t>(y) * static_cast<std::size_t>(r.outputWidth()) +
                        static_cast<std::size_t>(x)) *
                           4 +
                       static_cast<std::size_t>(c)] = sum;
            }
        }
    }
    std::vector<Pixel> out;
    for (int y = 0; y < r.outputHeight(); ++y) {
        for (int x = 0; x < r.outputWidth(); ++x) {
            float channels[3];
            for (int c = 0; c < 3; ++c) {
                float sum = 0.0f;
                const auto yi = static_cast<std::size_t>(y);
                for (int k = 0; k < v.counts[yi]; ++k) {
                    const auto row = static_cast<std::size_t>(v.starts[yi] + k);
                    const float product = across[(row * static_cast<std::size_t>(r.outputWidth()) +
                                                  static_cast<std::size_t>(x)) *
                                                     4 +
                                                 static_cast<std::size_t>(c)] *
                                          v.weights[static_cast<std::size_t>(v.offsets[yi] + k)];
                    sum = sum + product;
                }
                channels[c] = sum;
            }
            out.push_back({channels[0], channels[1], channels[2], 1.0f});
        }
    }
    return out;
}

} // namespace

TEST(LanczosResamplerTest, IdentityResampleGivesBackTheSourceBits) {
    auto source = std::make_shared<PatternSource>(37, 23);
    LanczosResampler resampler(source, Rect(0, 0, 1, 1), 37, 23);
    EXPECT_EQ(resampler.columns(), (IndexRange{0, 37}));
    const auto out = renderAll(resampler);
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x) {
            Pixel expected = source->at(x, y);
            expected.a = 1.0f;
            ASSERT_TRUE(sameBits(out[static_cast<std::size_t>(y * 37 + x)], expected)) << x << ',' << y;
        }
    }
}

TEST(LanczosResamplerTest, ConstantImageStaysConstant) {
    // Weights are rounded to single precision one by one, so a float constant may move by a few units in
    // the last place; it must never move by more, and after rounding to 16 bits every code survives exactly.
    struct Scale {
        int sourceWidth, sourceHeight, outputWidth, outputHeight;
        Rect crop;
    };
    const Scale scales[] = {
        {31, 17, 83, 59, Rect(0, 0, 1, 1)},           // enlarging by 2.7 and 3.5
        {97, 64, 29, 23, Rect(0, 0, 1, 1)},           // reducing by 3.3 and 2.8
        {64, 48, 41, 75, Rect(0.13, 0.07, 0.8, 0.9)}, // a fractional crop, reduced across, enlarged down
        {20, 20, 20, 20, Rect(-0.1, -0.2, 1.2, 1.3)}, // a crop reaching past the edges
    };
    const int codes[] = {0, 1, 2, 255, 4096, 32767, 32768, 40000, 65279, 65534, 65535};
    for (const Scale& s : scales) {
        for (int code : codes) {
            const float value = static_cast<float>(code) / 65535.0f;
            auto source = std::make_shared<PatternSource>(s.sourceWidth, s.sourceHeight,
                                                          PatternSource::Fill::constant, value, 0.5f);
            LanczosResampler resampler(source, s.crop, s.outputWidth, s.outputHeight);
            for (const Pixel& p : renderAll(resampler)) {
                for (float channel : {p.r, p.g, p.b}) {
                    ASSERT_LE(ulpsApart(channel, value), 16) << code << ' ' << channel;
                    ASSERT_EQ(Rounding::sample16(channel * 65535.0f), code);
                }
                ASSERT_EQ(p.a, 1.0f);
            }
        }
    }
}

TEST(LanczosResamplerTest, BandCutsDoNotChangeAnyPixel) {
    auto source = std::make_shared<PatternSource>(53, 41);
    LanczosResampler resampler(source, Rect(0.05, 0.1, 0.9, 0.85), 120, 97);
    const auto whole = renderAll(resampler);
    const std::size_t width = 120;
    for (int band : {1, 7, 64, 96}) {
        std::vector<Pixel> rows(width * static_cast<std::size_t>(band));
        for (int y = 0; y < 97; y += band) {
            const int end = std::min(y + band, 97);
            resampler.render({y, end}, rows.data());
            for (std::size_t i = 0; i < width * static_cast<std::size_t>(end - y); ++i) {
                ASSERT_TRUE(sameBits(rows[i], whole[static_cast<std::size_t>(y) * width + i]))
                    << band << ' ' << y;
            }
        }
    }
    // Overlapping requests agree on the rows they share.
    std::vector<Pixel> first(width * 10);
    std::vector<Pixel> second(width * 10);
    resampler.render({0, 10}, first.data());
    resampler.render({5, 15}, second.data());
    EXPECT_EQ(0, std::memcmp(first.data() + 5 * width, second.data(), 5 * width * sizeof(Pixel)));
}

TEST(LanczosResamplerTest, ParallelPassesMatchPlainSinglePrecisionArithmetic) {
    // Enlarging and reducing, over sizes that split unevenly across the parallel jobs.
    const struct {
        int w, h, ow, oh;
        Rect crop;
    } cases[] = {{29, 19, 101, 67, Rect(0, 0, 1, 1)},
                 {140, 90, 33, 21, Rect(0.1, 0.2, 0.7, 0.75)},
                 {50, 50, 50, 50, Rect(0.01, 0.02, 1, 1)}};
    for (const auto& c : cases) {
        auto source = std::make_shared<PatternSource>(c.w, c.h);
        LanczosResampler resampler(source, c.crop, c.ow, c.oh);
        const auto fast = renderAll(resampler);
        const auto plain = plainResample(*source, resampler);
        ASSERT_EQ(fast.size(), plain.size());
        for (std::size_t i = 0; i < fast.size(); ++i) {
            ASSERT_TRUE(sameBits(fast[i], plain[i])) << c.ow << 'x' << c.oh << " pixel " << i;
        }
    }
}

TEST(LanczosResamplerTest, EveryAlphaIsExactlyOne) {
    auto source = std::make_shared<PatternSource>(16, 16, PatternSource::Fill::noise, 0,
                                                  std::numeric_limits<float>::quiet_NaN());
    LanczosResampler resampler(source, Rect(0, 0, 1, 1), 23, 9);
    for (const Pixel& p : renderAll(resampler)) {
        EXPECT_EQ(p.a, 1.0f);
        EXPECT_FALSE(std::isnan(p.r) || std::isnan(p.g) || std::isnan(p.b)); // alpha never leaks into colour
    }
}

TEST(LanczosResamplerTest, DrawsOnlyTheWindowABandReads) {
    // A 4000-row source reduced to 500 rows: a band of 16 output rows reads about 16 × 8 + 48 rows.
    auto source = std::make_shared<PatternSource>(300, 4000);
    LanczosResampler resampler(source, Rect(0.25, 0, 0.5, 1), 60, 500);
    EXPECT_EQ(resampler.columns(), resampler.horizontal().shifted(resampler.columns().lowerBound).used());
    EXPECT_GT(resampler.columns().lowerBound, 0);
    EXPECT_LT(resampler.columns().upperBound, 300);
    std::vector<Pixel> band(60 * 16);
    resampler.render({200, 216}, band.data());
    ASSERT_EQ(source->windows.size(), 1u);
    const auto& window = source->windows.front();
    EXPECT_EQ(window.columns, resampler.columns());
    EXPECT_EQ(window.rows, resampler.vertical().used({200, 216}));
    EXPECT_LE(window.rows.count(), 16 * 8 + 50);
    EXPECT_GE(window.rows.lowerBound, 200 * 8 - 30);
}

TEST(LanczosResamplerTest, SourceErrorsPassThroughUnchanged) {
    auto source = std::make_shared<PatternSource>(10, 10);
    source->failure = std::make_unique<std::runtime_error>("사진을 읽지 못했습니다: /tmp/x.jpg");
    LanczosResampler resampler(source, Rect(0, 0, 1, 1), 20, 20);
    std::vector<Pixel> out(20 * 20);
    try {
        resampler.render({0, 20}, out.data());
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "사진을 읽지 못했습니다: /tmp/x.jpg");
    }
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
            for (int repeat = 0; repeat < 3; ++repeat) {
                resampler.render({25 * i, 25 * (i + 1)}, bands[static_cast<std::size_t>(i)].data());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < bands.size(); ++i) {
        EXPECT_EQ(0, std::memcmp(bands[i].data(), whole.data() + i * 45 * 25, 45 * 25 * sizeof(Pixel))) << i;
    }
}
