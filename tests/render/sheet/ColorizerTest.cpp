#include "PrintKit/render/sheet/Colorizer.h"

#include "PrintKit/render/decode/ColorProfiles.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "TestProfiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;

namespace {

ColorSpace linearOf(const std::string& own) {
    return ColorSpace{"", *ColorProfiles::linearized(own)};
}

const std::size_t workers = static_cast<std::size_t>(SheetRenderer::conversionWorkers());

} // namespace

TEST(ColorizerTest, EncodesToTheOwnSpaceByTablesOnlyWhereItIsTheSheetsAndConvertsOncePerWorker) {
    Colorizer driver(SheetColor::sRGB());
    const std::string &srgb = ColorSpace::sRGB().icc, &p3 = ColorProfiles::displayP3();
    const auto& fromSRGB = driver.conversion({"", srgb}, linearOf(srgb));
    EXPECT_TRUE(fromSRGB.encodesToOwnSpace && !fromSRGB.paper);
    EXPECT_EQ(fromSRGB.encode.size(), workers);
    const auto& fromP3 = driver.conversion({"", p3}, linearOf(p3));
    EXPECT_FALSE(fromP3.encodesToOwnSpace || fromP3.paper);
    // The encode transforms go from linear P3 to sRGB: P3's pure green is outside sRGB.
    Pixel green{0, 1, 0, 1};
    fromP3.encode[0]->convert(&green, ColorTransform::Layout::floatRGBA, &green,
                              ColorTransform::Layout::floatRGBA, 1, 1);
    EXPECT_LT(green.r, -0.05f);

    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder / "paper.icc", TestProfiles::lutPrinter(9));
    Colorizer paper(SheetColor::paper(folder / "paper.icc", RenderingIntent::perceptual, true));
    const auto& toPaper = paper.conversion({"", p3}, linearOf(p3));
    EXPECT_TRUE(toPaper.encodesToOwnSpace);
    ASSERT_TRUE(toPaper.paper);
    EXPECT_EQ(std::pair(toPaper.paper->size(), toPaper.encode.size()), std::pair(workers, workers));
    for (std::size_t i = 1; i < toPaper.paper->size(); ++i) { // no two slices share one transform
        EXPECT_NE((*toPaper.paper)[i].get(), (*toPaper.paper)[0].get());
    }
}

TEST(ColorizerTest, FailuresNameTheirCauseAndAreNotRemembered) {
    TestSupport::TemporaryDirectory folder;
    const std::string& srgb = ColorSpace::sRGB().icc;
    Colorizer missing(SheetColor::paper(folder / "missing.icc", RenderingIntent::perceptual, false));
    for (int attempt = 0; attempt < 2; ++attempt) {
        TestSupport::expectFailure<ColorTransformError>(
            [&] {
                missing.conversion({"", srgb}, linearOf(srgb));
            },
            ColorTransformErrorCode::unreadableProfile,
            "ICC 프로파일을 읽지 못했습니다: " + (folder / "missing.icc").string());
        EXPECT_EQ(missing.builtConversions(), 0u);
    }
    // A profile that cannot be chained with RGB pixels fails when its transforms are built.
    TestSupport::writeFile(folder / "gray.icc", TestProfiles::gray());
    Colorizer gray(SheetColor::paper(folder / "gray.icc", RenderingIntent::perceptual, false));
    EXPECT_THROW(gray.conversion({"", srgb}, linearOf(srgb)), ColorTransformError);
    EXPECT_EQ(gray.builtConversions(), 0u);
    TestSupport::expectFailure<SheetRenderError>(
        [&] {
            Colorizer(SheetColor::sRGB()).conversion({"odd", ""}, linearOf(srgb));
        },
        SheetRenderErrorCode::cannotCreateImage, "인쇄용 이미지를 만들지 못했습니다");
}
