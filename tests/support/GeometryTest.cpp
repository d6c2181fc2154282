#include "PrintKit/support/Geometry.h"

#include "PrintKit/support/Rounding.h"

#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;

// Pixel counts round halves away from zero; printed samples round ties to even, so a smooth gradient gains
// no bias; NaN is 0 for both.
TEST(RoundingTest, PixelCountsRoundHalvesAwaySamplesTiesToEven) {
    EXPECT_EQ(Rounding::pixelCount(11.3 / 0.2), 57); // the quotient is exactly 56.5
    EXPECT_EQ(Rounding::pixelCount(-2.5), -3);
    EXPECT_EQ(Rounding::pixelCount(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(Rounding::pixelCount(1e300), std::numeric_limits<std::int64_t>::max());
    const std::pair<float, int> samples[] = {{2.5f, 2},
                                             {3.5f, 4},
                                             {0.5f * 65535.0f, 32768},
                                             {65534.5f, 65534},
                                             {70000.0f, 65535},
                                             {-3.0f, 0},
                                             {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (auto [value, sample] : samples) {
        EXPECT_EQ(Rounding::sample16(value), sample) << value;
    }
}

TEST(GeometryTest, NegativeSizesReadStandardised) {
    Rect r(10, 20, -4, -6);
    EXPECT_EQ(std::vector<double>({r.minX(), r.maxX(), r.minY(), r.maxY()}),
              std::vector<double>({6, 10, 14, 20}));
    EXPECT_EQ(r.standardized(), Rect(6, 14, 4, 6));
    EXPECT_EQ(Rect(0, 0, 100, 50).insetBy(10, 5), Rect(10, 5, 80, 40));
}
