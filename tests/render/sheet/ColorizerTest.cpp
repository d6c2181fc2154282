#include "PrintKit/render/sheet/Colorizer.h"

#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using TestSupport::TemporaryDirectory;

namespace {

ColorSpace space(const std::string& own) {
    return ColorSpace{"", own};
}

ColorSpace linearOf(const std::string& own) {
    return ColorSpace{"", *ColorProfiles::linearized(own)};
}

std::size_t workers() {
    return static_cast<std::size_t>(SheetRenderer::conversionWorkers());
}

} // namespace

TEST(ColorizerTest, DriverManagedSheetsEncodeToSRGBByTablesOnlyForSRGBPhotos) {
    Colorizer colors(SheetColor::sRGB());
    const std::string& srgb = ColorSpace::sRGB().icc;
    const auto& fromSRGB = colors.conversion(space(srgb), linearOf(srgb));
    EXPECT_TRUE(fromSRGB.encodesToOwnSpace);
    EXPECT_FALSE(fromSRGB.paper);
    EXPECT_EQ(fromSRGB.encode.size(), workers());

    const std::string& p3 = ColorProfiles::displayP3();
    const auto& fromP3 = colors.conversion(space(p3), linearOf(p3));
    EXPECT_FALSE(fromP3.encodesToOwnSpace);
    EXPECT_FALSE(fromP3.paper);
    // The encode transforms go from linear P3 to sRGB: P3's pure green is outside sRGB.
    Pixel green{0, 1, 0, 1};
    fromP3.encode[0]->convert(&green, ColorTransform::Layout::floatRGBA, &green,
                              ColorTransform::Layout::floatRGBA, 1, 1);
    EXPECT_LT(green.r, -0.05f);
}

TEST(ColorizerTest, PaperSheetsEncodeToTheOwnSpaceAndConvertToThePaper) {
    TemporaryDirectory folder;
    TestSupport::writeFile(folder / "paper.icc", TestProfiles::lutPrinter(9));
    Colorizer colors(SheetColor::paper(folder / "paper.icc", RenderingIntent::perceptual, true));
    const std::string& p3 = ColorProfiles::displayP3();
    const auto& conversion = colors.conversion(space(p3), linearOf(p3));
    EXPECT_TRUE(conversion.encodesToOwnSpace);
    ASSERT_TRUE(conversion.paper);
    EXPECT_EQ(conversion.paper->size(), workers());
    EXPECT_EQ(conversion.encode.size(), workers());
    // One transform per worker: no two slices share one.
    for (std::size_t i = 1; i < conversion.paper->size(); ++i) {
        EXPECT_NE((*conversion.paper)[i].get(), (*conversion.paper)[0].get());
    }
}

TEST(ColorizerTest, SpacesAreBuiltOncePerSheetAndKeyedByTheirOwnProfileToo) {
    Colorizer colors(SheetColor::sRGB());
    const auto gamma22 =
        TestProfiles::space("gamma 2.2", TestProfiles::srgbPrimaries(), TestProfiles::Curve::gamma, 2.2, 2.1);
    const auto gamma18 =
        TestProfiles::space("gamma 1.8", TestProfiles::srgbPrimaries(), TestProfiles::Curve::gamma, 1.8, 2.1);
    const ColorSpace linear = linearOf(gamma22.own);
    ASSERT_EQ(linear.icc, linearOf(gamma18.own).icc);

    const auto* first = &colors.conversion(space(gamma22.own), linear);
    EXPECT_EQ(&colors.conversion(space(gamma22.own), linear), first);
    EXPECT_EQ(colors.builtConversions(), 1u);
    const auto* second = &colors.conversion(space(gamma18.own), linear);
    EXPECT_NE(second, first);
    EXPECT_EQ(colors.builtConversions(), 2u);
}

TEST(ColorizerTest, UnreadablePaperProfileNamesTheFileAndIsNotRemembered) {
    TemporaryDirectory folder;
    Colorizer colors(SheetColor::paper(folder / "missing.icc", RenderingIntent::perceptual, false));
    const std::string& srgb = ColorSpace::sRGB().icc;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            colors.conversion(space(srgb), linearOf(srgb));
            FAIL() << "no error";
        } catch (const ColorTransformError& error) {
            EXPECT_EQ(error.code(), ColorTransformErrorCode::unreadableProfile);
            EXPECT_EQ(error.detail(), (folder / "missing.icc").string());
        }
        EXPECT_EQ(colors.builtConversions(), 0u);
    }
    // A profile that cannot be chained with RGB pixels fails when its transforms are built.
    TestSupport::writeFile(folder / "gray.icc", TestProfiles::gray());
    Colorizer gray(SheetColor::paper(folder / "gray.icc", RenderingIntent::perceptual, false));
    EXPECT_THROW(gray.conversion(space(srgb), linearOf(srgb)), ColorTransformError);
    EXPECT_EQ(gray.builtConversions(), 0u);
}

TEST(ColorizerTest, SpaceWithoutProfileBytesCannotMakeAnImage) {
    Colorizer colors(SheetColor::sRGB());
    try {
        colors.conversion(ColorSpace{"odd", ""}, linearOf(ColorSpace::sRGB().icc));
        FAIL() << "no error";
    } catch (const SheetRenderError& error) {
        EXPECT_EQ(error.code(), SheetRenderErrorCode::cannotCreateImage);
        EXPECT_STREQ(error.what(), "인쇄용 이미지를 만들지 못했습니다");
    }
}
