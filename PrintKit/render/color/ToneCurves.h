// Per-channel tables that stand in for the two conversions the renderer makes for every sample: a working
// space to its linear form when decoding, and back when encoding. They are computed once per space and
// sample depth through colour transforms, accepted only after a self-check against those transforms, and
// shared by every render of the process.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace PrintKit {

class ToneCurves {
public:
    static constexpr int encodingSize = 4097;

    // The process's curves for the working space `own` (ICC bytes) at `levels` codes per channel (256 or
    // 65536); `linear` is the same space with linear transfer curves. Built at most once per space and
    // depth; nullptr when they cannot be built or fail their check (that outcome is remembered too).
    static std::shared_ptr<const ToneCurves> shared(std::string_view own, std::string_view linear,
                                                    int levels);

    // Builds and checks without the cache, drawing the check's samples from `seed`. shared() uses
    // checkSeed() of its key, so a space passes or fails the same way in every run.
    static std::shared_ptr<const ToneCurves> build(std::string_view own, std::string_view linear, int levels,
                                                   std::uint64_t seed);
    static std::uint64_t checkSeed(std::string_view own, int levels);

    int levels() const { return levels_; }
    // Three tables of levels() entries (red, green, blue): entry k is the linear value of code k.
    const std::vector<float>& toLinear() const { return toLinear_; }
    // Three tables of encodingSize entries: entry k is the working-space value of the linear value (k/4096)².
    const std::vector<float>& encoding() const { return encoding_; }

    // Decoding lookup: the linear value of code `code` of channel `channel` (0 red, 1 green, 2 blue).
    float linear(int channel, int code) const {
        return toLinear_[static_cast<std::size_t>(channel) * static_cast<std::size_t>(levels_) +
                         static_cast<std::size_t>(code)];
    }

    // Encoding lookup: the working-space value (0…1) of linear value x of `channel`. The table is indexed by
    // √x because the encoding curve is steepest near black; values outside 0…1 (and NaN) are clamped.
    float encode(int channel, float x) const {
        return encode(encoding_.data() + static_cast<std::size_t>(channel) * encodingSize, x);
    }

    static float encode(const float* table, float x) {
        const float v = x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
        const float t = std::sqrt(v) * 4096.0f;
        const int i = t < 4095.0f ? static_cast<int>(t) : 4095;
        const float f = t - static_cast<float>(i);
        return table[i] + f * (table[i + 1] - table[i]);
    }

private:
    ToneCurves() = default;

    int levels_ = 0;
    std::vector<float> toLinear_;
    std::vector<float> encoding_;
};

} // namespace PrintKit
