#include "PrintKit/settings/PaperRecipe.h"

#include "RecipeSamples.h"

#include <functional>
#include <gtest/gtest.h>
#include <unordered_set>
#include <vector>

using namespace PrintKit;

namespace {

std::size_t hashOf(const PaperRecipe& recipe) {
    return std::hash<PaperRecipe>{}(recipe);
}

} // namespace

TEST(PaperRecipeTest, MillimetreConversionsMultiplyFirstAndNeverRound) {
    CustomSheetSize postcard = CustomSheetSize::fromMillimetres(25.4, 101.6);
    EXPECT_EQ(postcard.width, 72.0);
    EXPECT_EQ(postcard.height, 288.0);
    CustomSheetSize sixInch = CustomSheetSize::fromMillimetres(152.4, 25.4);
    EXPECT_EQ(sixInch.width, 432.00000000000006); // 152.4 / 25.4 * 72 would give 432 exactly
    EXPECT_EQ(sixInch.height, 72.0);
    CustomSheetSize points{432, 72};
    EXPECT_EQ(points.widthMM(), 152.39999999999998);
    EXPECT_EQ(points.heightMM(), 25.4);
}

TEST(PaperRecipeTest, QualityAndInkRawValuesAreExact) {
    auto qualities = allCases<PrintQuality>();
    ASSERT_EQ(qualities.size(), 3u);
    EXPECT_EQ(qualities[0], PrintQuality::standard);
    EXPECT_EQ(qualities[1], PrintQuality::high);
    EXPECT_EQ(qualities[2], PrintQuality::custom);
    EXPECT_EQ(label(PrintQuality::standard), "표준");
    EXPECT_EQ(label(PrintQuality::high), "고품질");
    EXPECT_EQ(label(PrintQuality::custom), "직접 지정");
    EXPECT_EQ(fromRawValue<PrintQuality>("standard"), PrintQuality::standard);
    EXPECT_EQ(fromRawValue<PrintQuality>("custom"), PrintQuality::custom);
    for (const char* wrong : {"Standard", "STANDARD", "standarD", "High", " high", ""}) {
        EXPECT_FALSE(fromRawValue<PrintQuality>(wrong)) << wrong;
    }
    EXPECT_EQ(rawValue(InkMode::advancedBlackAndWhite), "advancedBlackAndWhite");
    EXPECT_EQ(fromRawValue<InkMode>("color"), InkMode::color);
    EXPECT_FALSE(fromRawValue<InkMode>("colour"));
}

TEST(PaperRecipeTest, MakeStoresArgumentsAndStampsBookkeeping) {
    ColorManagement color = ColorManagement::application(ProfileReference("/p.icc", "Paper", "ab"),
                                                         RenderingIntent::perceptual, false);
    Timestamp before = Dates::now();
    auto make = [&] {
        return PaperRecipe::make("Matte", {"queue", "model"}, "media", "sheet", CustomSheetSize{100, 200},
                                 "source", PrintQuality::high, InkMode::advancedBlackAndWhite, color,
                                 OutputSharpening::low, {{"EPIJ_Qual", "1"}}, "notes");
    };
    PaperRecipe first = make();
    PaperRecipe second = make();
    Timestamp after = Dates::now();

    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(first.schemaVersion, 1);
    EXPECT_EQ(first.version, 1);
    EXPECT_FALSE(first.bleedCompensation.has_value());
    EXPECT_GE(first.updatedAt, before);
    EXPECT_LE(first.updatedAt, after);
    EXPECT_EQ(first.name, "Matte");
    EXPECT_EQ(first.printer, (PrinterReference{"queue", "model"}));
    EXPECT_EQ(first.media, "media");
    EXPECT_EQ(first.sheet, "sheet");
    EXPECT_EQ(first.customSheet, (CustomSheetSize{100, 200}));
    EXPECT_EQ(first.source, "source");
    EXPECT_EQ(first.quality, PrintQuality::high);
    EXPECT_EQ(first.ink, InkMode::advancedBlackAndWhite);
    EXPECT_EQ(first.color, color);
    EXPECT_EQ(first.sharpening, OutputSharpening::low);
    EXPECT_EQ(first.driverOverrides.at("EPIJ_Qual"), "1");
    EXPECT_EQ(first.notes, "notes");
}

TEST(PaperRecipeTest, ProfileReferenceTakesPathDescriptionAndDigest) {
    ICCProfileInfo info{
        "/profiles/baryt.icc", "Baryt", "prtr", "RGB ", "Lab ", "4.3", "00112233445566778899aabbccddeeff"};
    ProfileReference profile(info);
    EXPECT_EQ(profile, ProfileReference("/profiles/baryt.icc", "Baryt", "00112233445566778899aabbccddeeff"));
}

// Every field counts, so the application's unsaved-changes check sees any edit, bookkeeping included.
TEST(PaperRecipeTest, EveryFieldTakesPartInEquality) {
    const PaperRecipe base = RecipeSamples::fineArt();
    std::vector<std::function<void(PaperRecipe&)>> edits = {
        [](PaperRecipe& r) { r.schemaVersion = 2; },
        [](PaperRecipe& r) { r.id = Uuid::random(); },
        [](PaperRecipe& r) { r.version += 1; },
        [](PaperRecipe& r) { r.name += " "; },
        [](PaperRecipe& r) { r.printer.queue = "other"; },
        [](PaperRecipe& r) { r.printer.model = "other"; },
        [](PaperRecipe& r) { r.media = "other"; },
        [](PaperRecipe& r) { r.sheet = "A4"; },
        [](PaperRecipe& r) { r.customSheet.reset(); },
        [](PaperRecipe& r) { r.customSheet->width = 432; },
        [](PaperRecipe& r) { r.customSheet->height = 612; },
        [](PaperRecipe& r) { r.source = "other"; },
        [](PaperRecipe& r) { r.quality = PrintQuality::high; },
        [](PaperRecipe& r) { r.ink = InkMode::color; },
        [](PaperRecipe& r) { r.color = ColorManagement::driver(); },
        [](PaperRecipe& r) { r.color.app->profile.path = "/other.icc"; },
        [](PaperRecipe& r) { r.color.app->profile.description = "other"; },
        [](PaperRecipe& r) { r.color.app->profile.md5 = "ffffffffffffffffffffffffffffffff"; },
        [](PaperRecipe& r) { r.color.app->intent = RenderingIntent::perceptual; },
        [](PaperRecipe& r) { r.color.app->blackPointCompensation = false; },
        [](PaperRecipe& r) { r.sharpening.reset(); },
        [](PaperRecipe& r) { r.sharpening = OutputSharpening::high; },
        [](PaperRecipe& r) { r.bleedCompensation.reset(); },
        [](PaperRecipe& r) { r.bleedCompensation = true; },
        [](PaperRecipe& r) { r.driverOverrides.clear(); },
        [](PaperRecipe& r) { r.driverOverrides["EPIJ_Qual"] = "303"; },
        [](PaperRecipe& r) { r.driverOverrides["EPIJ_Extra"] = "1"; },
        [](PaperRecipe& r) { r.notes.clear(); },
        [](PaperRecipe& r) { r.updatedAt += std::chrono::nanoseconds(1); },
    };
    std::unordered_set<std::size_t> hashes{hashOf(base)};
    for (std::size_t i = 0; i < edits.size(); ++i) {
        PaperRecipe edited = base;
        edits[i](edited);
        EXPECT_NE(edited, base) << "edit " << i;
        hashes.insert(hashOf(edited));
    }
    // Not required of a hash, but a hash that ignored a field would collapse many of these.
    EXPECT_GE(hashes.size(), edits.size());
}

TEST(PaperRecipeTest, AbsentIsNeverEqualToADefault) {
    PaperRecipe withoutLevel = RecipeSamples::plain();
    PaperRecipe withOff = withoutLevel;
    withOff.sharpening = OutputSharpening::off;
    EXPECT_NE(withoutLevel, withOff);
    PaperRecipe withFalse = withoutLevel;
    withFalse.bleedCompensation = false;
    EXPECT_NE(withoutLevel, withFalse);
    PaperRecipe withZeroSize = withoutLevel;
    withZeroSize.customSheet = CustomSheetSize{};
    EXPECT_NE(withoutLevel, withZeroSize);
    EXPECT_EQ(ColorManagement::driver(), ColorManagement::driver());
    EXPECT_NE(ColorManagement::driver(),
              ColorManagement::application(ProfileReference{}, RenderingIntent::perceptual, false));
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
    EXPECT_EQ(std::hash<ColorManagement>{}(a.color), std::hash<ColorManagement>{}(b.color));

    std::unordered_set<PaperRecipe> set{a, b, RecipeSamples::plain()};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_EQ(set.count(RecipeSamples::plain()), 1u);
}
