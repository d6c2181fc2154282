// Start-up against the private CUPS server: which printer the model chooses, when it opens the set-up
// sheet, and the reasons that block printing, in their order.
#include "AppTestSupport.h"
#include "PrintKit/settings/RecipeStore.h"
#include "PrintKit/support/Dates.h"
#include "QuilmPrint/model/ModelSettings.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace AppTestSupport;

namespace {

QString reason(const PrintModel& model) {
    return model.tryPrepare().error;
}

} // namespace

TEST(ModelStartTest, ChoosesTheSavedThenTheDefaultThenTheFirstSupportedQueue) {
    REQUIRE_PRINT_SERVER(server);
    struct Case {
        const char* saved;       // "printer" in the settings, or null
        const char* cupsDefault; // the server's default queue, or null
        const char* chosen;
    };
    // Queues in the server's order: TestbedBroken, TestbedOffice, TestbedP900, TestbedPhoto, TestbedRaw.
    const Case cases[] = {
        {p900Queue, "TestbedPhoto", p900Queue},
        {"TestbedOffice", "TestbedPhoto", "TestbedPhoto"}, // a saved office queue is not a photo printer
        {nullptr, "TestbedOffice", "TestbedBroken"},       // nor is a default one
        {"Gone", nullptr, "TestbedBroken"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        server->setDefault(c.cupsDefault ? c.cupsDefault : rawQueue);
        Sandbox sandbox;
        if (c.saved) {
            sandbox.settings()->setValue(ModelSettings::printer, c.saved);
        }
        PrintModel model(sandbox.environment());
        EXPECT_EQ(reason(model), "프린터를 찾는 중입니다");
        startAndWait(model);
        EXPECT_EQ(model.printerID(), c.chosen);
        EXPECT_FALSE(model.showingSetup());
        EXPECT_EQ(sandbox.settings()->value(ModelSettings::printer).toString(), c.chosen);
    }
    server->setDefault(rawQueue);
}

TEST(ModelStartTest, AMachineWithOnlyAnOfficeQueueOpensTheSetUpSheet) {
    OwnServer office;
    std::string why;
    if (!office.start({"TestbedOffice"}, &why)) {
        GTEST_SKIP() << why;
    }
    office.activate();
    Sandbox sandbox;
    PrintModel model(sandbox.environment());
    startAndWait(model);
    ASSERT_EQ(model.printers().size(), 1u);
    EXPECT_EQ(model.printers()[0].queue.name, "TestbedOffice");
    EXPECT_EQ(model.printerID(), std::nullopt);
    EXPECT_TRUE(model.showingSetup());
    EXPECT_EQ(reason(model), "프린터를 고르세요");
}

TEST(ModelStartTest, TheDemonstrationVariableOpensTheSetUpSheet) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    ::setenv("QUILM_PRINT_SHOW_SETUP", "1", 1);
    PrintModel model(sandbox.environment());
    startAndWait(model);
    ::unsetenv("QUILM_PRINT_SHOW_SETUP");
    EXPECT_TRUE(model.printerID().has_value());
    EXPECT_TRUE(model.showingSetup());
}

TEST(ModelStartTest, PrintingIsBlockedForEachReasonInItsOrder) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    // A recipe stored for the office queue, so that the office queue has a recipe but no photo driver.
    PrintKit::RecipeStore store{sandbox.recipeFolder()};
    store.save(PrintKit::PaperRecipe::make("사무용", {"TestbedOffice", ""}, "PLAIN", "A4", std::nullopt, "1",
                                           PrintKit::PrintQuality::standard, PrintKit::InkMode::color,
                                           PrintKit::ColorManagement::driver(), std::nullopt, {}, ""),
               PrintKit::Dates::now());
    sandbox.settings()->setValue(ModelSettings::printer, p900Queue);

    PrintModel model(sandbox.environment());
    EXPECT_EQ(reason(model), "프린터를 찾는 중입니다");
    startAndWait(model);
    ASSERT_TRUE(model.tryPrepare().ok()) << reason(model).toStdString();

    selectAndWait(model, rawQueue);
    EXPECT_EQ(reason(model), "드라이버 정보를 읽지 못했습니다");
    selectAndWait(model, "TestbedOffice");
    EXPECT_EQ(reason(model), "Epson 드라이버로 연결되지 않았습니다");
    model.deleteRecipe();
    EXPECT_EQ(reason(model), "레시피가 없습니다");

    selectAndWait(model, p900Queue);
    const std::filesystem::path profile = sandbox.addProfile("Glossy.icc", "SC-P900 Premium Glossy");
    model.reloadPrinters(p900Queue); // a new scan finds the profile
    ASSERT_TRUE(waitFor([&] { return !model.profiles().empty(); }));
    model.setAppManagedColor(true);
    ASSERT_TRUE(model.tryPrepare().ok()) << reason(model).toStdString();
    std::filesystem::remove(profile);
    EXPECT_EQ(reason(model), QString::fromStdString("용지 프로파일 파일이 없습니다: " + profile.string()));
}

TEST(ModelStartTest, ADamagedRecipeFileHidesNoOtherRecipe) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    PrintKit::RecipeStore store{sandbox.recipeFolder()};
    const PrintKit::PaperRecipe kept = store.save(
        PrintKit::PaperRecipe::make("유광", {p900Queue, "EPSON SC-P900 Series"}, "PGPP", "A4", std::nullopt,
                                    "STD", PrintKit::PrintQuality::standard, PrintKit::InkMode::color,
                                    PrintKit::ColorManagement::driver(), std::nullopt, {}, ""),
        PrintKit::Dates::now());
    TestSupport::writeFile(sandbox.recipeFolder() / "00000000-0000-4000-8000-000000000000.json", "{ damaged");
    sandbox.settings()->setValue(ModelSettings::printer, p900Queue);
    PrintModel model(sandbox.environment());
    startAndWait(model);
    EXPECT_FALSE(model.failure().isEmpty());
    ASSERT_EQ(model.storedRecipes().size(), 1u);
    EXPECT_EQ(model.storedRecipes()[0], kept);
    EXPECT_EQ(*model.recipe(), kept); // the printer's stored recipe, not a new one
}
