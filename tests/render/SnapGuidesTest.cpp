#include "PrintKit/render/SnapGuides.h"

#include <gtest/gtest.h>

using namespace PrintKit;

TEST(SnapGuidesTest, RawValuesAndSetOperations) {
    EXPECT_EQ(SnapGuides::left.rawValue, 1);
    EXPECT_EQ(SnapGuides::right.rawValue, 2);
    EXPECT_EQ(SnapGuides::top.rawValue, 4);
    EXPECT_EQ(SnapGuides::bottom.rawValue, 8);
    EXPECT_EQ(SnapGuides::centerX.rawValue, 16);
    EXPECT_EQ(SnapGuides::centerY.rawValue, 32);

    SnapGuides guides;
    EXPECT_TRUE(guides.isEmpty());
    guides.insert(SnapGuides::left);
    guides |= SnapGuides::centerY;
    EXPECT_EQ(guides.rawValue, 33);
    EXPECT_TRUE(guides.contains(SnapGuides::left));
    EXPECT_FALSE(guides.contains(SnapGuides::left | SnapGuides::right));
    guides.remove(SnapGuides::left);
    EXPECT_EQ(guides, SnapGuides::centerY);
    EXPECT_EQ((SnapGuides::top | SnapGuides::bottom) & SnapGuides::bottom, SnapGuides::bottom);
}
