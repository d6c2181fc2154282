#include "PrintKit/settings/OutputSharpening.h"
#include "PrintKit/settings/RenderingIntent.h"

#include <gtest/gtest.h>

using namespace PrintKit;

TEST(RawValueTest, ExactTextOnlyAndCasesInDeclarationOrder) {
    EXPECT_EQ(fromRawValue<OutputSharpening>("standard"), OutputSharpening::standard);
    EXPECT_FALSE(fromRawValue<OutputSharpening>("Standard"));
    EXPECT_FALSE(fromRawValue<OutputSharpening>(""));
    EXPECT_EQ(fromRawValue<RenderingIntent>("relativeColorimetric"), RenderingIntent::relativeColorimetric);
    EXPECT_FALSE(fromRawValue<RenderingIntent>("relativecolorimetric"));
    EXPECT_EQ(rawValue(OutputSharpening::high), "high");
    EXPECT_EQ(allCases<OutputSharpening>(), (std::array{OutputSharpening::off, OutputSharpening::low,
                                                        OutputSharpening::standard, OutputSharpening::high}));
    EXPECT_EQ(label(OutputSharpening::standard), "보통");
    EXPECT_EQ(amount(OutputSharpening::high), 1.4f);
}
