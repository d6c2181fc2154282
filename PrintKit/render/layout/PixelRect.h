// A rectangle of whole device pixels inside a grid plan, counted from the plan's top-left corner with y down.
#pragma once

#include <cstdint>

namespace PrintKit {

struct PixelRect {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;

    constexpr std::int64_t maxX() const { return x + width; }
    constexpr std::int64_t maxY() const { return y + height; }

    friend constexpr bool operator==(const PixelRect&, const PixelRect&) = default;
};

} // namespace PrintKit
