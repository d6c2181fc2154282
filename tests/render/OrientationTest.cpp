#include "PrintKit/render/Orientation.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace PrintKit;

namespace {

// The stored pixel of upright position (x, y), written out case by case for a W × H stored image.
std::pair<long, long> table(int orientation, long x, long y, long w, long h) {
    switch (orientation) {
    case 1:
        return {x, y};
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {y, h - 1 - x};
    case 7:
        return {w - 1 - y, h - 1 - x};
    case 8:
        return {w - 1 - y, x};
    }
    return {-1, -1};
}

} // namespace

TEST(OrientationTest, MapsEveryUprightPixelByTheTagTable) {
    const int w = 5, h = 3;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        Orientation::Mapping map = Orientation::mapping(w, h, orientation, false);
        const int uw = orientation >= 5 ? h : w, uh = orientation >= 5 ? w : h;
        for (int y = 0; y < uh; ++y) {
            for (int x = 0; x < uw; ++x) {
                EXPECT_EQ(map.stored(x, y), table(orientation, x, y, w, h))
                    << orientation << " at " << x << "," << y;
            }
        }
    }
}

TEST(OrientationTest, TheTurnPutsTheUprightTopRowOnTheRight) {
    const int w = 4000, h = 3000;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const long uw = orientation >= 5 ? h : w, uh = orientation >= 5 ? w : h;
        Orientation::Mapping turned = Orientation::mapping(w, h, orientation, true);
        // Presented (0, 0) shows upright (0, uprightHeight − 1); presented (x, y) shows upright (y, uh − 1 −
        // x).
        EXPECT_EQ(turned.stored(0, 0), table(orientation, 0, uh - 1, w, h));
        for (auto [x, y] :
             {std::pair(0L, 0L), std::pair(17L, 5L), std::pair(uh - 1, uw - 1), std::pair(100L, 2L)}) {
            EXPECT_EQ(turned.stored(x, y), table(orientation, y, uh - 1 - x, w, h));
        }
    }
    EXPECT_EQ(Orientation::normalized(0), 1);
    EXPECT_EQ(Orientation::normalized(9), 1);
    EXPECT_EQ(Orientation::mapping(w, h, 9, false), Orientation::mapping(w, h, 1, false));
    EXPECT_TRUE(Orientation::swapsSides(6));
    EXPECT_FALSE(Orientation::swapsSides(4));
    EXPECT_FALSE(Orientation::swapsSides(0));
}

TEST(OrientationTest, WalkVisitsEveryPixelOnceWhicheverWayTheRowsRun) {
    // A 70 × 45 stored image of one byte per pixel, each pixel's value its own index.
    const int w = 70, h = 45;
    std::vector<std::uint32_t> stored(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        stored[i] = static_cast<std::uint32_t>(i);
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stored.data());
    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (bool turned : {false, true}) {
            Orientation::Mapping map = Orientation::mapping(w, h, orientation, turned);
            const bool swap = (orientation >= 5) != turned;
            const int pw = swap ? h : w, ph = swap ? w : h;
            // A window away from the edges, taller than one walk group.
            const int x0 = 3, y0 = 2, cols = pw - 5, rows = ph - 4;
            std::vector<std::uint32_t> seen(static_cast<std::size_t>(cols) * rows, UINT32_MAX);
            Orientation::walk(bytes + map.offset(x0, y0, 4, 4 * w), map.columnStep(4, 4 * w),
                              map.rowStep(4, 4 * w), cols, rows, [&](const std::uint8_t* p, int r, int c) {
                                  std::uint32_t value;
                                  std::memcpy(&value, p, 4);
                                  auto& slot = seen[static_cast<std::size_t>(r) * cols + c];
                                  EXPECT_EQ(slot, UINT32_MAX) << "visited twice";
                                  slot = value;
                              });
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < cols; ++c) {
                    auto [u, v] = map.stored(x0 + c, y0 + r);
                    ASSERT_EQ(seen[static_cast<std::size_t>(r) * cols + c],
                              static_cast<std::uint32_t>(v * w + u))
                        << orientation << (turned ? " turned" : "");
                }
            }
        }
    }
}
