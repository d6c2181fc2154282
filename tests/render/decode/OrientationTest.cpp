#include "PrintKit/render/decode/Orientation.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace PrintKit;

namespace {

// The stored pixel of presented position (x, y) of a W × H stored image, written out from the tag table:
// a turn first shows upright (y, uprightHeight − 1 − x), then the tag maps upright to stored.
std::pair<long, long> table(int orientation, bool turned, long x, long y, long w, long h) {
    if (turned) {
        const long uprightHeight = orientation >= 5 ? w : h;
        std::tie(x, y) = std::pair(y, uprightHeight - 1 - x);
    }
    switch (orientation) {
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
    default:
        return {x, y};
    }
}

} // namespace

TEST(OrientationTest, WalkVisitsEveryPixelOnceAtTheTablePosition) {
    // Each stored pixel holds its own index. Stored columns longer than one walk tile is wide, so that a
    // window whose rows run down stored columns spans several tiles each way.
    const int w = 45, h = 140;
    std::vector<std::uint32_t> stored(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        stored[i] = static_cast<std::uint32_t>(i);
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stored.data());
    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (bool turned : {false, true}) {
            SCOPED_TRACE(std::to_string(orientation) + (turned ? " turned" : ""));
            const Orientation::Mapping map = Orientation::mapping(w, h, orientation, turned);
            const bool swap = (orientation >= 5) != turned;
            const int presentedWidth = swap ? h : w, presentedHeight = swap ? w : h;
            // A window away from the edges.
            const int x0 = 3, y0 = 2, cols = presentedWidth - 5, rows = presentedHeight - 4;
            std::vector<std::uint32_t> seen(static_cast<std::size_t>(cols) * rows, UINT32_MAX);
            Orientation::walk(bytes + map.offset(x0, y0, 4, 4 * w), map.columnStep(4, 4 * w),
                              map.rowStep(4, 4 * w), cols, rows, [&](const std::uint8_t* p, int r, int c) {
                                  auto& slot = seen[static_cast<std::size_t>(r) * cols + c];
                                  EXPECT_EQ(slot, UINT32_MAX) << "visited twice";
                                  std::memcpy(&slot, p, 4);
                              });
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < cols; ++c) {
                    auto [u, v] = table(orientation, turned, x0 + c, y0 + r, w, h);
                    ASSERT_EQ(seen[static_cast<std::size_t>(r) * cols + c],
                              static_cast<std::uint32_t>(v * w + u))
                        << c << "," << r;
                }
            }
        }
    }
    EXPECT_EQ(Orientation::mapping(w, h, 9, false), Orientation::mapping(w, h, 1, false));
    EXPECT_FALSE(Orientation::swapsSides(0));
}
