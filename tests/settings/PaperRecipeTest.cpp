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
