#include "PrintKit/settings/PaperRecipe.h"

#include "RecipeSamples.h"

#include <gtest/gtest.h>
#include <unordered_set>

using namespace PrintKit;

TEST(PaperRecipeTest, MillimetreConversionsMultiplyFirstAndNeverRound) {
    EXPECT_EQ(CustomSheetSize::fromMillimetres(25.4, 101.6), (CustomSheetSize{72, 288}));
    // 152.4 / 25.4 * 72 would give 432 exactly.
    EXPECT_EQ(CustomSheetSize::fromMillimetres(152.4, 25.4).width, 432.00000000000006);
    EXPECT_EQ((CustomSheetSize{432, 72}).widthMM(), 152.39999999999998);
    EXPECT_EQ((CustomSheetSize{432, 72}).heightMM(), 25.4);
}

TEST(PaperRecipeTest, MadeRecipesStartAtTheFirstRevisionAndHashAgreesWithEquality) {
    auto make = [] {
        return PaperRecipe::make("Matte", {"queue", "model"}, "media", "sheet", std::nullopt, "source",
                                 PrintQuality::high, InkMode::color, ColorManagement::driver(), std::nullopt,
                                 {}, "");
    };
    const PaperRecipe made = make();
    EXPECT_NE(made.id, make().id);
    EXPECT_EQ(std::tuple(made.schemaVersion, made.version, made.bleedCompensation),
              std::tuple(1, 1, std::nullopt));
    PaperRecipe a = RecipeSamples::fineArt(), b = a;
    // The same overrides entered in another order, and a size of negative zero, are equal values.
    b.driverOverrides.clear();
    b.driverOverrides.emplace("EPIJ_Dire", "1");
    b.driverOverrides.emplace("EPIJ_Qual", "302");
    a.customSheet->height = 0.0;
    b.customSheet->height = -0.0;
    ASSERT_EQ(a, b);
    EXPECT_EQ(std::hash<PaperRecipe>{}(a), std::hash<PaperRecipe>{}(b));
    EXPECT_EQ((std::unordered_set<PaperRecipe>{a, b, RecipeSamples::plain()}.size()), 2u);
}
