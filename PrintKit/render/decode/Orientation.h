// Where a presented pixel lies in the stored image: the EXIF/TIFF orientation (1…8) and the optional quarter
// turn of a turned canvas, composed into one integer affine map, and a walk over a window of presented
// pixels that reads the stored bytes in an order the cache can follow.
#pragma once

#include "PrintKit/support/ParallelLoop.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace PrintKit::Orientation {

// 1…8 stand; anything else is 1.
constexpr int normalized(int orientation) {
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

// Orientations 5 to 8 swap the sides.
constexpr bool swapsSides(int orientation) {
    return normalized(orientation) >= 5;
}

// The stored pixel (u, v) of a presented position (x, y) is (u0 + x·ux + y·uy, v0 + x·vx + y·vy).
struct Mapping {
    long u0 = 0, v0 = 0;
    long ux = 1, vx = 0;
    long uy = 0, vy = 1;

    std::pair<long, long> stored(long x, long y) const {
        return {u0 + x * ux + y * uy, v0 + x * vx + y * vy};
    }
    // Byte offsets into the stored image: of presented (x, y), and the steps to the next column and row.
    std::ptrdiff_t offset(long x, long y, std::size_t pixelBytes, std::size_t rowBytes) const {
        auto [u, v] = stored(x, y);
        return static_cast<std::ptrdiff_t>(u) * static_cast<std::ptrdiff_t>(pixelBytes) +
               static_cast<std::ptrdiff_t>(v) * static_cast<std::ptrdiff_t>(rowBytes);
    }
    std::ptrdiff_t columnStep(std::size_t pixelBytes, std::size_t rowBytes) const {
        return ux * static_cast<std::ptrdiff_t>(pixelBytes) + vx * static_cast<std::ptrdiff_t>(rowBytes);
    }
    std::ptrdiff_t rowStep(std::size_t pixelBytes, std::size_t rowBytes) const {
        return uy * static_cast<std::ptrdiff_t>(pixelBytes) + vy * static_cast<std::ptrdiff_t>(rowBytes);
    }
    friend bool operator==(const Mapping&, const Mapping&) = default;
};

// With W × H the stored size: orientation (origin top-left) maps upright (x, y) to
//   1 (x, y)  2 (W−1−x, y)  3 (W−1−x, H−1−y)  4 (x, H−1−y)
//   5 (y, x)  6 (y, H−1−x)  7 (W−1−y, H−1−x)  8 (W−1−y, x)
// and a turn shows upright (y, uprightHeight − 1 − x) at presented (x, y): the upright top row becomes the
// presented right-hand column.
Mapping mapping(int storedWidth, int storedHeight, int orientation, bool turned);

// A window whose presented rows run down stored columns is walked in tiles of this many rows by
// walkTileColumns columns.
constexpr int walkGroup = 16;
constexpr int walkTileColumns = 128;

// Calls visit(stored pixel, r, c) for every pixel (c, r) of a cols × rows window whose top-left pixel is at
// origin, with stepX and stepY the byte steps to the next presented column and row. A presented row that
// runs along a stored row is walked row by row. One that runs down a stored column (orientations 5 to 8,
// or a turn) would miss the cache on every pixel; it is walked in tiles instead: a tile of walkGroup rows
// by walkTileColumns columns reads a small block of neighbouring stored rows, which stays in the cache while
// its rows are written one after another. Every pixel is visited exactly once either way, so the result
// does not depend on the order.
template <typename Visit>
inline void walk(const std::uint8_t* origin, std::ptrdiff_t stepX, std::ptrdiff_t stepY, int cols, int rows,
                 Visit&& visit) {
    if (std::labs(stepX) <= std::labs(stepY)) {
        for (int r = 0; r < rows; ++r) {
            const std::uint8_t* p = origin + static_cast<std::ptrdiff_t>(r) * stepY;
            for (int c = 0; c < cols; ++c, p += stepX) {
                visit(p, r, c);
            }
        }
        return;
    }
    for (int top = 0; top < rows; top += walkGroup) {
        const int bottom = rows - top < walkGroup ? rows : top + walkGroup;
        for (int left = 0; left < cols; left += walkTileColumns) {
            const int right = cols - left < walkTileColumns ? cols : left + walkTileColumns;
            for (int r = top; r < bottom; ++r) {
                const std::uint8_t* p = origin + static_cast<std::ptrdiff_t>(r) * stepY +
                                        static_cast<std::ptrdiff_t>(left) * stepX;
                for (int c = left; c < right; ++c, p += stepX) {
                    visit(p, r, c);
                }
            }
        }
    }
}

// walk() on the parallel loop, in groups of walkGroup rows (each job writes only its own rows; a column-wise
// group reads its own run of every stored row it crosses). visit gets the window's own r and c.
template <typename Visit>
inline void parallelWalk(const std::uint8_t* origin, std::ptrdiff_t stepX, std::ptrdiff_t stepY, int cols,
                         int rows, Visit&& visit) {
    ParallelLoop::run((rows + walkGroup - 1) / walkGroup, [&](int group) {
        const int top = group * walkGroup;
        walk(origin + static_cast<std::ptrdiff_t>(top) * stepY, stepX, stepY, cols,
             rows - top < walkGroup ? rows - top : walkGroup,
             [&](const std::uint8_t* p, int r, int c) { visit(p, top + r, c); });
    });
}

} // namespace PrintKit::Orientation
