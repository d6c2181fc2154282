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

PrintKit::PaperRecipe recipeFor(const char* name, const std::string& queue, const char* model,
                                const char* media, const char* source) {
    return PrintKit::PaperRecipe::make(name, {queue, model}, media, "A4", std::nullopt, source,
                                       PrintKit::PrintQuality::standard, PrintKit::InkMode::color,
                                       PrintKit::ColorManagement::driver(), std::nullopt, {}, "");
}

} // namespace

TEST(ModelStartTest, ChoosesTheSavedThenTheDefaultThenTheFirstSupportedQueue) {
    REQUIRE_PRINT_SERVER(server);
    // saved printer (or none), the server's default (or none), the queue chosen. In the server's order:
    // TestbedBroken, TestbedOffice, TestbedP900, TestbedPhoto, TestbedRaw. Office queues are no photo
    // printers.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {p900Queue, "TestbedPhoto", p900Queue},
        {"TestbedOffice", "TestbedPhoto", "TestbedPhoto"},
        {nullptr, "TestbedOffice", "TestbedBroken"},
        {"Gone", nullptr, "TestbedBroken"},
    };
    for (const auto& [saved, cupsDefault, chosen] : cases) {
        SCOPED_TRACE(chosen);
        server->setDefault(cupsDefault ? cupsDefault : rawQueue);
        Sandbox sandbox;
        if (saved)
            sandbox.settings()->setValue(ModelSettings::printer, saved);
        {
            PrintModel model(sandbox.environment());
            EXPECT_EQ(PrintModel::current(), nullptr);
            EXPECT_EQ(reason(model), "프린터를 찾는 중입니다");
            startAndWait(model);
            EXPECT_EQ(PrintModel::current(), &model);
            EXPECT_EQ(model.printerID(), chosen);
            EXPECT_FALSE(model.showingSetup());
            EXPECT_EQ(sandbox.settings()->value(ModelSettings::printer).toString(), chosen);
        }
        EXPECT_EQ(PrintModel::current(), nullptr);
    }
    server->setDefault(rawQueue);

    Sandbox sandbox;
    ::setenv("QUILM_PRINT_SHOW_SETUP", "1", 1);
    PrintModel model(sandbox.environment());
    startAndWait(model);
    ::unsetenv("QUILM_PRINT_SHOW_SETUP");
    EXPECT_TRUE(model.printerID().has_value());
    EXPECT_TRUE(model.showingSetup());
}

TEST(ModelStartTest, AMachineWithOnlyAnOfficeQueueOpensTheSetUpSheet) {
    OwnServer office;
    std::string why;
    if (!office.start({"TestbedOffice"}, &why))
        GTEST_SKIP() << why;
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

TEST(ModelStartTest, PrintingIsBlockedForEachReasonInItsOrder) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    // The office queue has a recipe but no photo driver.
    PrintKit::RecipeStore{sandbox.recipeFolder()}.save(recipeFor("사무용", "TestbedOffice", "", "PLAIN", "1"),
                                                       PrintKit::Dates::now());
    sandbox.settings()->setValue(ModelSettings::printer, p900Queue);
    PrintModel model(sandbox.environment());
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
    const PrintKit::PaperRecipe kept = PrintKit::RecipeStore{sandbox.recipeFolder()}.save(
        recipeFor("유광", p900Queue, "EPSON SC-P900 Series", "PGPP", "STD"), PrintKit::Dates::now());
    TestSupport::writeFile(sandbox.recipeFolder() / "00000000-0000-4000-8000-000000000000.json", "{ damaged");
    sandbox.settings()->setValue(ModelSettings::printer, p900Queue);
    PrintModel model(sandbox.environment());
    startAndWait(model);
    EXPECT_FALSE(model.failure().isEmpty());
    EXPECT_EQ(model.storedRecipes(), std::vector<PrintKit::PaperRecipe>{kept});
    EXPECT_EQ(*model.recipe(), kept); // the printer's stored recipe, not a new one
}
