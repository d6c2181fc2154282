// The working recipe of the selected printer: its setters and their rules, each change stored once as the
// printer's working copy, profiles for the paper, and saving, choosing and deleting stored recipes.
#include "AppTestSupport.h"
#include "PrintKit/settings/EpsonInkjet2Adapter.h"
#include "PrintKit/settings/RecipeJSON.h"
#include "QuilmPrint/model/ModelSettings.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace AppTestSupport;
using PrintKit::PaperRecipe;
using PrintKit::PrintQuality;

namespace {

class ModelRecipeTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!printServer(&why)) {
            GTEST_SKIP() << why;
        }
        glossy = sandbox.addProfile("a-glossy.icc", "SC-P900 Premium Glossy Photo Paper");
        luster = sandbox.addProfile("b-luster.icc", "SC-P900 Premium Luster Photo Paper");
        environment = sandbox.environment();
        environment.settings->setValue(ModelSettings::printer, p900Queue);
        model = std::make_unique<PrintModel>(environment);
        startAndWait(*model);
        ASSERT_EQ(model->profiles().size(), 2u);
    }

    // The printer's working copy as the settings hold it.
    PaperRecipe workingCopy() const {
        return PrintKit::RecipeJSON::decode(
            environment.settings->value(ModelSettings::workingRecipeKey(p900Queue)).toString().toStdString());
    }

    Sandbox sandbox;
    std::filesystem::path glossy, luster;
    PrintModel::Environment environment;
    std::unique_ptr<PrintModel> model;
};

} // namespace

TEST_F(ModelRecipeTest, APrinterWithoutStoredRecipesStartsFromItsDriverDefaults) {
    const PaperRecipe& recipe = *model->recipe();
    EXPECT_EQ(recipe.printer.queue, p900Queue);
    EXPECT_EQ(recipe.printer.model, "EPSON SC-P900 Series");
    EXPECT_EQ(recipe.media, "PLAIN");
    EXPECT_EQ(recipe.sheet, "A4");
    EXPECT_EQ(recipe.source, "STD");
    EXPECT_EQ(recipe.quality, PrintQuality::standard);
    EXPECT_EQ(recipe.name, "보통 용지");
    EXPECT_FALSE(model->savedRecipe().has_value());
    EXPECT_TRUE(model->tryPrepare().ok()) << model->tryPrepare().error.toStdString();
}

TEST_F(ModelRecipeTest, EverySetterStoresTheRecipeOnceAsTheWorkingCopy) {
    const PrintKit::ICCProfileInfo lusterProfile = model->profiles()[1];
    const std::vector<std::pair<const char*, std::function<void()>>> operations{
        {"rename", [&] { model->rename("유광 A4"); }},
        {"setMedia", [&] { model->setMedia("PGPP"); }},
        {"setSource", [&] { model->setSource("REAR"); }},
        {"setQuality", [&] { model->setQuality(PrintQuality::high); }},
        {"setSharpening", [&] { model->setSharpening(PrintKit::OutputSharpening::low); }},
        {"setDriverOverride", [&] { model->setDriverOverride("EPIJ_Silt", "1"); }},
        {"clearDriverOverrides", [&] { model->clearDriverOverrides(); }},
        {"chooseSheet", [&] { model->chooseSheet("Letter"); }},
        {"chooseCustomSheet",
         [&] {
             model->chooseCustomSheet({300, 400});
         }},
        {"setAppManagedColor", [&] { model->setAppManagedColor(true); }},
        {"setProfile", [&] { model->setProfile(lusterProfile); }},
        {"setIntent", [&] { model->setIntent(PrintKit::RenderingIntent::relativeColorimetric); }},
        {"setBlackPointCompensation", [&] { model->setBlackPointCompensation(false); }},
        {"setBleedCompensation", [&] { model->setBleedCompensation(true); }},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        const PaperRecipe before = *model->recipe();
        QSignalSpy changes(model.get(), &PrintModel::recipeChanged);
        operation();
        EXPECT_EQ(changes.count(), 1);
        EXPECT_NE(*model->recipe(), before);
        EXPECT_EQ(workingCopy(), *model->recipe());
    }
    const PaperRecipe& recipe = *model->recipe();
    EXPECT_EQ(recipe.name, "유광 A4");
    EXPECT_EQ(recipe.customSheet, (PrintKit::CustomSheetSize{300, 400}));
    EXPECT_EQ(recipe.sheet, "Custom");
    EXPECT_EQ(recipe.color,
              PrintKit::ColorManagement::application(PrintKit::ProfileReference(lusterProfile),
                                                     PrintKit::RenderingIntent::relativeColorimetric, false));
}

TEST_F(ModelRecipeTest, CustomQualityStartsFromTheDetailsShownForThePreset) {
    // What the quality rows show for "standard" on plain paper: the preset's own details, the rest from the
    // driver's defaults.
    std::map<std::string, std::string> shown;
    for (const PrintKit::PPDOption& option :
         PrintKit::EpsonInkjet2Adapter::detailedQualityOptions(*model->selectedPrinter()->ppd)) {
        shown[option.keyword] = model->driverValue(option.keyword).value();
    }
    EXPECT_EQ(shown, (std::map<std::string, std::string>{
                         {"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "1"}, {"EPIJ_FDet", "0"}, {"EPIJ_Silt", "0"}}));

    model->setQuality(PrintQuality::custom);
    EXPECT_EQ(model->recipe()->quality, PrintQuality::custom);
    EXPECT_EQ(model->recipe()->driverOverrides, shown);
    // Back to a preset keeps what was set; a preset chosen with no overrides keeps none.
    model->setQuality(PrintQuality::high);
    EXPECT_EQ(model->recipe()->driverOverrides, shown);
    model->clearDriverOverrides();
    model->setQuality(PrintQuality::standard);
    EXPECT_TRUE(model->recipe()->driverOverrides.empty());

    // One detail changed on a preset: the shown details come along and the quality becomes custom.
    model->setDriverOverride("EPIJ_FDet", "1");
    shown["EPIJ_FDet"] = "1";
    EXPECT_EQ(model->recipe()->quality, PrintQuality::custom);
    EXPECT_EQ(model->recipe()->driverOverrides, shown);
    EXPECT_EQ(model->driverValue("EPIJ_FDet"), "1");
    EXPECT_EQ(model->driverValue("EPIJ_FdSo"), "0"); // neither preset nor override: the prepared options
}

TEST_F(ModelRecipeTest, ApplicationColourFollowsThePaper) {
    EXPECT_TRUE(model->profileSuggestions("PLAIN").empty());
    EXPECT_TRUE(model->profileSuggestions("NOSUCHMEDIA").empty());
    ASSERT_FALSE(model->profileSuggestions("PGPP").empty());
    EXPECT_EQ(model->profileSuggestions("PGPP").front().profile.path, glossy.string());

    // No suggestion for plain paper: the first profile found.
    model->setAppManagedColor(true);
    ASSERT_TRUE(model->recipe()->color.app.has_value());
    EXPECT_EQ(model->recipe()->color.app->profile.path, glossy.string());
    EXPECT_EQ(model->recipe()->color.app->intent, PrintKit::RenderingIntent::perceptual);
    EXPECT_TRUE(model->recipe()->color.app->blackPointCompensation);
    model->setIntent(PrintKit::RenderingIntent::relativeColorimetric);

    model->setMedia("PLPP");
    EXPECT_EQ(model->recipe()->color.app->profile.path, luster.string());
    EXPECT_EQ(model->recipe()->color.app->intent, PrintKit::RenderingIntent::relativeColorimetric);
    // Turning it on again changes nothing; off leaves colour to the driver.
    QSignalSpy changes(model.get(), &PrintModel::recipeChanged);
    model->setAppManagedColor(true);
    EXPECT_EQ(changes.count(), 0);
    model->setAppManagedColor(false);
    EXPECT_TRUE(model->recipe()->color.isDriver());
    // A driver-managed recipe keeps its colour when the paper changes.
    model->setMedia("PGPP");
    EXPECT_TRUE(model->recipe()->color.isDriver());
}

TEST_F(ModelRecipeTest, WithoutProfilesApplicationColourIsRefusedWithItsReason) {
    std::filesystem::remove(glossy);
    std::filesystem::remove(luster);
    selectAndWait(*model, p900Queue);
    ASSERT_TRUE(model->profiles().empty());
    const PaperRecipe before = *model->recipe();
    model->setAppManagedColor(true);
    EXPECT_EQ(model->failure(), "이 프린터에 쓸 ICC 프로파일을 찾지 못했습니다");
    EXPECT_EQ(*model->recipe(), before);
}

TEST_F(ModelRecipeTest, ACustomSheetGetsASourceThatTakesCustomSizes) {
    model->setSource("SFBL");
    model->chooseCustomSheet({300, 400});
    EXPECT_EQ(model->recipe()->source, "STD");
    model->setSource("REAR");
    model->chooseCustomSheet({310, 400});
    EXPECT_EQ(model->recipe()->source, "REAR");
    // Outside the printer's range: kept as given, refused when the sheet is prepared.
    model->chooseCustomSheet({10, 400});
    EXPECT_EQ(model->recipe()->customSheet, (PrintKit::CustomSheetSize{10, 400}));
    EXPECT_FALSE(model->tryPrepare().ok());
    model->chooseSheet("A4");
    EXPECT_FALSE(model->recipe()->customSheet.has_value());
    EXPECT_EQ(model->currentPaperSize(), (PrintKit::CustomSheetSize{595, 842}));
}

TEST_F(ModelRecipeTest, SavingChoosingAndDeletingStoredRecipes) {
    model->rename("유광");
    model->setMedia("PGPP");
    model->saveRecipe();
    ASSERT_TRUE(model->savedRecipe().has_value());
    EXPECT_EQ(model->savedRecipe()->version, 1);
    EXPECT_EQ(*model->savedRecipe(), *model->recipe());
    const PaperRecipe glossyRecipe = *model->recipe();
    model->saveRecipe();
    EXPECT_EQ(model->recipe()->version, 2);
    EXPECT_TRUE(std::filesystem::exists(environment.recipes.fileFor(glossyRecipe.id)));

    model->newRecipe();
    EXPECT_NE(model->recipe()->id, glossyRecipe.id);
    EXPECT_EQ(model->recipe()->name, "새 레시피");
    EXPECT_EQ(model->recipe()->media, "PGPP"); // a copy of the recipe in use, not yet saved
    EXPECT_FALSE(model->savedRecipe().has_value());
    model->rename("무광");
    model->saveRecipe();
    const std::vector<PaperRecipe> stored = model->storedRecipes();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].name, "무광");
    EXPECT_EQ(stored[1].name, "유광");

    model->chooseRecipe(glossyRecipe.id);
    EXPECT_EQ(model->recipe()->id, glossyRecipe.id);
    EXPECT_EQ(environment.settings->value(ModelSettings::chosenRecipeKey(p900Queue)).toString().toStdString(),
              glossyRecipe.id.string());
    model->deleteRecipe();
    EXPECT_FALSE(std::filesystem::exists(environment.recipes.fileFor(glossyRecipe.id)));
    EXPECT_EQ(model->storedRecipes().size(), 1u);
    EXPECT_EQ(model->recipe()->name, "무광"); // the printer's other recipe takes its place
}
