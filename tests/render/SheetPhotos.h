// Photo-like test pictures for the sheet renderer: smooth ramps, hard edges and fine texture, so that
// resampling, sharpening and colour errors all show; and pictures whose corners tell their orientation.
#pragma once

#include "TestImages.h"

#include <cstdint>
#include <vector>

namespace SheetPhotos {

// Ramps in red and green, a checker texture in blue, a dark disc with a hard edge in the middle.
inline TestImages::Pixels scene(int width, int height, int bits = 8) {
    TestImages::Pixels p{width, height, 3, bits, {}};
    p.samples.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    const double top = bits == 8 ? 255.0 : 65535.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = (x - width / 2.0) / width, dy = (y - height / 2.0) / height;
            const bool disc = dx * dx + dy * dy < 0.04;
            const double r = disc ? 0.1 : 0.15 + 0.8 * x / std::max(width - 1, 1);
            const double g = disc ? 0.05 : 0.9 - 0.7 * y / std::max(height - 1, 1);
            const double b = ((x / 2 + y / 2) % 2 == 0) ? 0.8 : 0.3;
            p.at(x, y, 0) = static_cast<std::uint16_t>(r * top + 0.5);
            p.at(x, y, 1) = static_cast<std::uint16_t>(g * top + 0.5);
            p.at(x, y, 2) = static_cast<std::uint16_t>(b * top + 0.5);
        }
    }
    return p;
}

struct Colour {
    std::uint16_t r, g, b;
};

// Four flat quadrants: top-left, top-right, bottom-left, bottom-right, 8-bit.
inline TestImages::Pixels quadrants(int width, int height, Colour tl, Colour tr, Colour bl, Colour br) {
    TestImages::Pixels p{width, height, 3, 8, {}};
    p.samples.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            const Colour c = bottom ? (right ? br : bl) : (right ? tr : tl);
            p.at(x, y, 0) = c.r;
            p.at(x, y, 1) = c.g;
            p.at(x, y, 2) = c.b;
        }
    }
    return p;
}

inline constexpr Colour red{220, 30, 30}, green{30, 200, 40}, blue{30, 40, 220}, yellow{230, 220, 40};

} // namespace SheetPhotos
