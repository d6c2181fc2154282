#include "PrintKit/settings/PaperRecipe.h"

#include "RecipeSamples.h"

#include <gtest/gtest.h>
#include <unordered_set>

using namespace PrintKit;

namespace {

std::size_t hashOf(const PaperRecipe& recipe) {
    return std::hash<PaperRecipe>{}(recipe);
}

} // namespace

TEST(PaperRecipeTest, MillimetreConversionsMultiplyFirstAndNeverRound) {
    EXPECT_EQ(CustomSheetSize::fromMillimetres(25.4, 101.6), (CustomSheetSize{72, 288}));
    // 152.4 / 25.4 * 72 would give 432 exactly.
    EXPECT_EQ(CustomSheetSize::fromMillimetres(152.4, 25.4).width, 432.00000000000006);
    EXPECT_EQ((CustomSheetSize{432, 72}).widthMM(), 152.39999999999998);
    EXPECT_EQ((CustomSheetSize{432, 72}).heightMM(), 25.4);
}

TEST(PaperRecipeTest, MakeStoresItsArgumentsAndStampsBookkeeping) {
    Timestamp before = Dates::now();
    auto make = [] {
        return PaperRecipe::make("Matte", {"queue", "model"}, "media", "sheet", CustomSheetSize{100, 200},
                                 "source", PrintQuality::high, InkMode::advancedBlackAndWhite,
                                 ColorManagement::driver(), OutputSharpening::low, {{"EPIJ_Qual", "1"}},
                                 "notes");
    };
    PaperRecipe first = make();
    PaperRecipe second = make();
    EXPECT_NE(first.id, second.id);
    EXPECT_GE(first.updatedAt, before);
    EXPECT_LE(first.updatedAt, Dates::now());

    PaperRecipe expected;
    expected.id = first.id;
    expected.updatedAt = first.updatedAt;
    expected.name = "Matte";
    expected.printer = {"queue", "model"};
    expected.media = "media";
    expected.sheet = "sheet";
    expected.customSheet = CustomSheetSize{100, 200};
    expected.source = "source";
    expected.quality = PrintQuality::high;
    expected.ink = InkMode::advancedBlackAndWhite;
    expected.sharpening = OutputSharpening::low;
    expected.driverOverrides = {{"EPIJ_Qual", "1"}};
    expected.notes = "notes";
    EXPECT_EQ(first, expected); // schema 1, version 1, no edge compensation
    EXPECT_EQ(label(PrintQuality::custom), "직접 지정");
}

TEST(PaperRecipeTest, HashAgreesWithEquality) {
    PaperRecipe a = RecipeSamples::fineArt();
    PaperRecipe b = a;
    // The same overrides entered in another order, and a size of negative zero, are equal values.
    b.driverOverrides.clear();
    b.driverOverrides.emplace("EPIJ_Dire", "1");
    b.driverOverrides.emplace("EPIJ_Qual", "302");
    a.customSheet->height = 0.0;
    b.customSheet->height = -0.0;
    ASSERT_EQ(a, b);
    EXPECT_EQ(hashOf(a), hashOf(b));
    EXPECT_EQ(std::hash<CustomSheetSize>{}(*a.customSheet), std::hash<CustomSheetSize>{}(*b.customSheet));
    std::unordered_set<PaperRecipe> set{a, b, RecipeSamples::plain()};
    EXPECT_EQ(set.size(), 2u);
}
