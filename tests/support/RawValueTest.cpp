#include "PrintKit/settings/OutputSharpening.h"
#include "PrintKit/settings/RenderingIntent.h"

#include <gtest/gtest.h>

using namespace PrintKit;

TEST(RawValueTest, ExactTextOnly) {
    EXPECT_EQ(fromRawValue<OutputSharpening>("standard"), OutputSharpening::standard);
    EXPECT_FALSE(fromRawValue<OutputSharpening>("Standard"));
    EXPECT_FALSE(fromRawValue<OutputSharpening>(""));
    EXPECT_EQ(fromRawValue<RenderingIntent>("relativeColorimetric"), RenderingIntent::relativeColorimetric);
    EXPECT_FALSE(fromRawValue<RenderingIntent>("relativecolorimetric"));
    EXPECT_EQ(rawValue(OutputSharpening::high), "high");
}

TEST(RawValueTest, CasesKeepDeclarationOrder) {
    auto levels = allCases<OutputSharpening>();
    ASSERT_EQ(levels.size(), 4u);
    EXPECT_EQ(levels[0], OutputSharpening::off);
    EXPECT_EQ(levels[3], OutputSharpening::high);
    auto intents = allCases<RenderingIntent>();
    EXPECT_EQ(intents[0], RenderingIntent::perceptual);
    EXPECT_EQ(intents[1], RenderingIntent::relativeColorimetric);
    EXPECT_EQ(label(OutputSharpening::standard), "보통");
    EXPECT_EQ(amount(OutputSharpening::high), 1.4f);
}
