// Start-up against the private CUPS server (the printer chosen, the set-up sheet, the reasons that block
// printing), layout and grid settings with their bounds and keys, a second run restoring the first's
// choices, printer names and kinds, stored JSON, and the print dialog's custom paper list.
#include "AppTestSupport.h"
#include "GermanLocale.h"
#include "PrintKit/settings/RecipeStore.h"
#include "PrintKit/support/Dates.h"
#include "QuilmPrint/model/ModelSettings.h"

#include <QLocale>
#include <QSignalSpy>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>

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

TEST(ModelLayoutTest, ExactSizesAreAtLeastFiveMillimetresAndNeverNotANumber) {
    Sandbox sandbox;
    auto environment = sandbox.environment();
    PrintModel model(environment);
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::tuple<std::optional<double>, std::optional<double>, double, double> cases[] = {
        {101.6, 152.4, 101.6, 152.4},
        {3, std::nullopt, 5, 152.4},
        {std::nan(""), -inf, 5, 5},
        {inf, 200, 5, 200}};
    for (const auto& [width, height, expectedWidth, expectedHeight] : cases) {
        model.setExactPreset(SizePreset{"A5", 148, 210});
        EXPECT_TRUE(model.exactTurnsToPhoto());
        model.setExactSize(101.6, 152.4);
        model.setExactSize(width, height);
        EXPECT_EQ(model.exactWidthMM(), expectedWidth);
        EXPECT_EQ(model.exactHeightMM(), expectedHeight);
        EXPECT_FALSE(model.exactTurnsToPhoto());
        EXPECT_EQ(ModelSettings::readNumber(*environment.settings, "layout.exactWidthMM"), expectedWidth);
    }
    model.setExactSize(101.6, 152.4);
    model.setExactOrientation(false);
    EXPECT_EQ(model.exactWidthMM(), 152.4);
    EXPECT_EQ(model.exactHeightMM(), 101.6);
    // A drag in the preview: exact layout, the rectangle's size, its centre's distance from the area's.
    const PhotoItem photo{QUuid::createUuid(), "p.jpg", 10, 10, {}};
    model.resizeExact(PrintKit::Rect(100, 100, 144, 72), PrintKit::Rect(0, 0, 400, 300), photo);
    EXPECT_EQ(model.layoutMode(), LayoutMode::exact);
    EXPECT_DOUBLE_EQ(model.exactWidthMM(), 50.8);
    EXPECT_DOUBLE_EQ(model.exactHeightMM(), 25.4);
    EXPECT_EQ(model.offsets().value(photo.id), (PrintKit::Size{-28, -14}));
    model.centerPhoto(photo);
    EXPECT_FALSE(model.offsets().contains(photo.id));
    model.setMarginMM(-2); // kept as typed
    EXPECT_EQ(model.marginMM(), -2);
    model.setCopies(0);
    EXPECT_EQ(model.copies(), 1);
    model.setCopies(150);
    EXPECT_EQ(model.copies(), 99);
}

TEST(ModelLayoutTest, GridTemplatesAndOrientation) {
    Sandbox sandbox;
    PrintModel model(sandbox.environment());
    GridSettings grid = model.grid();
    grid.cutMarks = false;
    model.setGrid(grid);
    model.applyGridTemplate(GridTemplate::all()[3]);
    EXPECT_EQ(model.grid().widthMM, 35);
    EXPECT_TRUE(model.grid().repeatsOne);
    EXPECT_FALSE(model.grid().cutMarks); // the template keeps the user's cut marks
    model.setGridOrientation(false);
    EXPECT_EQ(model.grid().widthMM, 45);
    EXPECT_EQ(model.grid().heightMM, 35);
    EXPECT_FALSE(model.grid().autoTurn);
    model.setGridOrientation(std::nullopt);
    EXPECT_TRUE(model.grid().autoTurn);
    EXPECT_EQ(model.grid().widthMM, 45);
    // Every assignment is saved, an equal one too.
    QSignalSpy changes(&model, &PrintModel::layoutChanged);
    sandbox.settings()->remove("layout.grid");
    model.setGrid(model.grid());
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(ModelSettings::gridFromJSON(sandbox.settings()->value("layout.grid").toString().toStdString()),
              model.grid());
}

TEST(ModelLayoutTest, ASecondRunRestoresLayoutGridPrinterRecipeAndWorkingCopy) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    PrintKit::PaperRecipe working, saved;
    GridSettings grid;
    {
        GermanLocale german; // numbers are written the same under a decimal comma
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        auto environment = sandbox.environment();
        environment.settings->setValue(ModelSettings::printer, "TestbedPhoto");
        PrintModel first(environment);
        startAndWait(first);
        selectAndWait(first, p900Queue);
        first.setLayoutMode(LayoutMode::fill);
        first.setCanvasOrientation(CanvasOrientation::landscape);
        first.setPhotosPerSheet(PhotosPerSheet::many);
        first.setExactSize(88.9, 127);
        first.setMarginMM(3.5);
        first.applyGridTemplate(GridTemplate::all()[2]);
        first.setGridOrientation(true);
        first.rename("유광");
        first.setMedia("PGPP");
        first.saveRecipe();
        saved = *first.recipe();
        first.setSharpening(PrintKit::OutputSharpening::high); // edited after saving
        working = *first.recipe();
        grid = first.grid();
        QLocale::setDefault(QLocale::c());
    }
    for (const char* key : {"layout.mode", "layout.canvas", "layout.perSheet", "layout.grid",
                            "layout.exactWidthMM", "layout.exactHeightMM", "layout.exactTurnsToPhoto",
                            "recipe.TestbedP900", "workingRecipe.TestbedP900"})
        EXPECT_TRUE(sandbox.settings()->contains(key)) << key;
    EXPECT_EQ(sandbox.settings()->value("layout.marginMM").toString(), "3.5");
    PrintModel second(sandbox.environment());
    startAndWait(second);
    EXPECT_EQ(second.printerID(), p900Queue);
    EXPECT_EQ(second.layoutMode(), LayoutMode::fill);
    EXPECT_EQ(second.canvasOrientation(), CanvasOrientation::landscape);
    EXPECT_EQ(second.photosPerSheet(), PhotosPerSheet::many);
    EXPECT_EQ(second.exactWidthMM(), 88.9);
    EXPECT_EQ(second.exactHeightMM(), 127);
    EXPECT_FALSE(second.exactTurnsToPhoto());
    EXPECT_EQ(second.marginMM(), 3.5);
    EXPECT_EQ(second.grid(), grid);
    EXPECT_EQ(*second.recipe(), working);
    EXPECT_EQ(second.savedRecipe(), saved);
    // Without the working copy the chosen recipe comes back.
    sandbox.settings()->remove("workingRecipe.TestbedP900");
    PrintModel third(sandbox.environment());
    startAndWait(third);
    EXPECT_EQ(*third.recipe(), saved);
}

// Both JSON values of the settings are written as the recipe files are (keys sorted, indented, a schema
// number read first); what earlier builds wrote still loads, what a newer one wrote does not.
TEST(ModelLayoutTest, StoredJSONIsSortedIndentedVersionedAndEarlierValuesStillLoad) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    auto environment = sandbox.environment();
    environment.settings->setValue(ModelSettings::printer, p900Queue);
    {
        PrintModel model(environment);
        startAndWait(model);
        model.applyGridTemplate(GridTemplate::all()[5]);
        model.setMedia("PGPP");
    }
    for (const char* key : {"layout.grid", "workingRecipe.TestbedP900"}) {
        const std::string text = sandbox.settings()->value(key).toString().toStdString();
        const auto document = nlohmann::ordered_json::parse(text);
        std::vector<std::string> keys;
        for (const auto& member : document.items())
            keys.push_back(member.key());
        EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << text;
        EXPECT_EQ(text.rfind("{\n  \"", 0), 0u) << text;
        EXPECT_EQ(document["schemaVersion"], 1) << text;
    }
    // As the build before this one wrote them: compact, in declaration order, the grid without a number.
    const std::string earlierRecipe =
        R"({"schemaVersion":1,"id":"00000000-0000-4000-8000-00000000000A","version":1,"name":"Glossy",)"
        R"("printer":{"queue":"TestbedP900","model":"EPSON SC-P900 Series"},"media":"PGPP","sheet":"A4",)"
        R"("source":"STD","quality":"high","ink":"color","color":{"driver":{}},"driverOverrides":{},)"
        R"("notes":"","updatedAt":"2024-05-01T09:30:00Z"})";
    const auto start = [&](const std::string& recipe, const std::string& grid) {
        sandbox.settings()->setValue("workingRecipe.TestbedP900", QString::fromStdString(recipe));
        sandbox.settings()->setValue("layout.grid", QString::fromStdString(grid));
        auto model = std::make_unique<PrintModel>(sandbox.environment());
        startAndWait(*model);
        return model;
    };
    auto earlier = start(earlierRecipe, R"({"widthMM":63.5,"heightMM":88.9,"gapMM":3,"autoTurn":true,)"
                                        R"("fitsWhole":false,"rotatesToFit":true,"cutMarks":true,)"
                                        R"("captions":false,"repeatsOne":true})");
    EXPECT_EQ(std::make_tuple(earlier->recipe()->name, earlier->recipe()->quality),
              std::make_tuple(std::string("Glossy"), PrintKit::PrintQuality::high));
    EXPECT_EQ(std::make_tuple(earlier->grid().widthMM, earlier->grid().repeatsOne),
              std::make_tuple(63.5, true));
    // A newer schema is not read on: the printer's own recipe and the default grid stand in.
    std::string newerRecipe = earlierRecipe;
    newerRecipe.replace(newerRecipe.find("\"schemaVersion\":1"), 17, "\"schemaVersion\":2");
    for (const char* grid :
         {R"({"schemaVersion":2,"widthMM":63.5})", R"({"schemaVersion":"1","widthMM":63.5})"}) {
        auto newer = start(newerRecipe, grid);
        EXPECT_EQ(newer->recipe()->name, "보통 용지");
        EXPECT_EQ(newer->grid(), GridSettings{}) << grid;
    }
}

TEST(ModelLayoutTest, PrinterNamesAndKinds) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    PrintModel model(sandbox.environment());
    startAndWait(model);
    std::map<std::string, std::string> names;
    for (const PrinterChoice& choice : model.printers())
        names[choice.queue.name] = choice.name();
    EXPECT_EQ(names[p900Queue], "EPSON SC-P900 Series");
    EXPECT_EQ(names[rawQueue], "Local Raw Printer"); // no PPD: what CUPS calls it
    EXPECT_EQ((PrinterChoice{{"Nameless", false, "", ""}, std::nullopt}.name()), "Nameless");
    std::vector<std::string> epson;
    for (const PrinterChoice& choice : model.epsonQueues())
        epson.push_back(choice.queue.name);
    EXPECT_EQ(epson, (std::vector<std::string>{"TestbedBroken", p900Queue, "TestbedPhoto"}));
    // A driverless queue of the same machine finds its photo-driver queue.
    PrinterChoice airPrint{
        {"P900_AirPrint", false, "EPSON SC-P900 Series - IPP Everywhere", "ipp://p900.local"}, std::nullopt};
    ASSERT_TRUE(model.epsonQueue(airPrint).has_value());
    EXPECT_EQ(model.epsonQueue(airPrint)->queue.name, p900Queue);
    airPrint.queue.makeAndModel = "EPSON ET-8550 Series - IPP Everywhere";
    EXPECT_FALSE(model.epsonQueue(airPrint).has_value());
    // The printer settings are those of the server the program prints to ("127.0.0.1:port").
    ASSERT_NE(std::getenv("CUPS_SERVER"), nullptr);
    EXPECT_EQ(PrintModel::printerSettings().toStdString(),
              "http://" + std::string(std::getenv("CUPS_SERVER")) + "/printers/");
}

// The print dialog's list as GTK 3 writes it (and as people edit it by hand): names, sizes and margins in
// millimetres, read in points; an entry the dialog could not read either is left out, the others kept.
TEST(ModelLayoutTest, CustomPapersComeFromTheDesktopPrintDialogsList) {
    Sandbox sandbox;
    const std::filesystem::path config = sandbox.root() / "config";
    EXPECT_TRUE(PrintModel::loadCustomPapers(config).empty());
    std::filesystem::create_directories(config / "gtk-3.0");
    const auto paper = [](const char* group, const std::string& keys) {
        return std::string("[") + group + "]\n" + keys +
               "MarginTop=6.35\nMarginBottom=14.224\nMarginLeft=3.175\nMarginRight=0\nOrientation="
               "portrait\n\n";
    };
    TestSupport::writeFile(
        config / "gtk-3.0" / "custom-papers",
        "# kept by the print dialog\n" +
            paper("Paper0", "Name=custom_a\nDisplayName=파노라마\\s2:1\nWidth=210\nHeight=105\n") +
            paper("Paper1", "Name=Art 13x19\r\nWidth = 330.2\r\nHeight=482.60000000000002\r\n") +
            paper("Paper2", "Name=No height\nWidth=100\n") +
            paper("Paper3", "Name=Words\nWidth=wide\nHeight=1\n") +
            paper("Paper4", "Width=100\nHeight=100\n") + paper("Paper5", "Name=Flat\nWidth=100\nHeight=0\n") +
            paper("Paper6", "Name=Stray\nthis line is no key\nWidth=100\nHeight=100\n") +
            paper("Paper7", "Name=Bad\\qescape\nWidth=100\nHeight=100\n") +
            paper("Paper8", "Name=\xff\xfe\nWidth=100\nHeight=100\n") +
            "[Paper9]\nName=No margins\nWidth=1\nHeight=1\n" +
            paper("Paper10", "PPDName=Postcard.Fullbleed\nWidth=100\nHeight=148\nHeight=150\n"));
    const auto size = PrintKit::CustomSheetSize::fromMillimetres;
    const std::vector<SavedCustomPaper> read = PrintModel::loadCustomPapers(config);
    std::vector<std::pair<QString, PrintKit::CustomSheetSize>> sizes;
    for (const SavedCustomPaper& one : read)
        sizes.emplace_back(one.name, one.size);
    EXPECT_EQ(sizes, (std::vector<std::pair<QString, PrintKit::CustomSheetSize>>{
                         {"Art 13x19", size(330.2, 482.6)},
                         {"Postcard.Fullbleed", size(100, 150)},
                         {"파노라마 2:1", size(210, 105)}}));
    ASSERT_FALSE(read.empty());
    EXPECT_EQ(read[0].margins,
              (PrintKit::Margins{6.35 * 72.0 / 25.4, 3.175 * 72.0 / 25.4, 14.224 * 72.0 / 25.4, 0}));
    TestSupport::writeFile(config / "gtk-3.0" / "custom-papers", "\x89PNG not a key file");
    EXPECT_TRUE(PrintModel::loadCustomPapers(config).empty());
}
