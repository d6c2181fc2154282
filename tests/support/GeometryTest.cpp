#include "PrintKit/support/Geometry.h"
#include "PrintKit/support/Rounding.h"

#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;

TEST(GeometryTest, NegativeSizesReadStandardised) {
    Rect r(10, 20, -4, -6);
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.minY(), 14);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_EQ(r.standardized(), Rect(6, 14, 4, 6));
    EXPECT_EQ(Rect(0, 0, 100, 50).insetBy(10, 5), Rect(10, 5, 80, 40));
}

TEST(RoundingTest, PixelCountsRoundHalvesAwayFromZero) {
    EXPECT_EQ(Rounding::pixelCount(11.3 / 0.2), 57); // the quotient is exactly 56.5
    EXPECT_EQ(Rounding::pixelCount(2.5), 3);
    EXPECT_EQ(Rounding::pixelCount(-2.5), -3);
    EXPECT_EQ(Rounding::pixelCount(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(Rounding::pixelCount(1e300), std::numeric_limits<std::int64_t>::max());
}

TEST(RoundingTest, SamplesRoundTiesToEven) {
    EXPECT_EQ(Rounding::sample16(2.5f), 2);
    EXPECT_EQ(Rounding::sample16(3.5f), 4);
    EXPECT_EQ(Rounding::sample16(65534.5f), 65534);
    EXPECT_EQ(Rounding::sample16(70000.0f), 65535);
    EXPECT_EQ(Rounding::sample16(-3.0f), 0);
    EXPECT_EQ(Rounding::sample16(std::numeric_limits<float>::quiet_NaN()), 0);
}
