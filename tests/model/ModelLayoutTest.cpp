// Layout and grid settings: their bounds, their user-default keys, a second run that restores everything
// the first chose, the grid pages, and the system's custom paper list.
#include "AppTestSupport.h"
#include "GermanLocale.h"
#include "QuilmPrint/model/ModelSettings.h"

#include <QLocale>
#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace QuilmPrint;
using namespace AppTestSupport;

TEST(ModelLayoutTest, ExactSizesAreAtLeastFiveMillimetresAndNeverNotANumber) {
    Sandbox sandbox;
    auto environment = sandbox.environment();
    PrintModel model(environment);
    constexpr double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::optional<double> width, height;
        double expectedWidth, expectedHeight;
    } cases[] = {
        {101.6, 152.4, 101.6, 152.4},
        {3, std::nullopt, 5, 152.4},
        {std::nan(""), -inf, 5, 5},
        {inf, 200, 5, 200},
    };
    for (const auto& c : cases) {
        model.setExactPreset(SizePreset{"A5", 148, 210});
        EXPECT_TRUE(model.exactTurnsToPhoto());
        model.setExactSize(101.6, 152.4);
        model.setExactSize(c.width, c.height);
        EXPECT_EQ(model.exactWidthMM(), c.expectedWidth);
        EXPECT_EQ(model.exactHeightMM(), c.expectedHeight);
        EXPECT_FALSE(model.exactTurnsToPhoto());
        EXPECT_EQ(ModelSettings::readNumber(*environment.settings, "layout.exactWidthMM"), c.expectedWidth);
    }
    model.setExactSize(101.6, 152.4);
    model.setExactOrientation(false);
    EXPECT_EQ(model.exactWidthMM(), 152.4);
    EXPECT_EQ(model.exactHeightMM(), 101.6);
    model.setExactOrientation(true);
    EXPECT_EQ(model.exactWidthMM(), 101.6);

    // A drag in the preview: exact layout, the rectangle's size, its centre's distance from the area's.
    const PhotoItem photo{QUuid::createUuid(), "p.jpg", 10, 10, {}};
    model.resizeExact(PrintKit::Rect(100, 100, 144, 72), PrintKit::Rect(0, 0, 400, 300), photo);
    EXPECT_EQ(model.layoutMode(), LayoutMode::exact);
    EXPECT_DOUBLE_EQ(model.exactWidthMM(), 50.8);
    EXPECT_DOUBLE_EQ(model.exactHeightMM(), 25.4);
    EXPECT_EQ(model.offsets().value(photo.id), (PrintKit::Size{-28, -14}));
    model.centerPhoto(photo);
    EXPECT_FALSE(model.offsets().contains(photo.id));
    // The margin is kept as typed.
    model.setMarginMM(-2);
    EXPECT_EQ(model.marginMM(), -2);
    model.setCopies(0);
    EXPECT_EQ(model.copies(), 1);
    model.setCopies(150);
    EXPECT_EQ(model.copies(), 99);
}

TEST(ModelLayoutTest, GridTemplatesAndOrientation) {
    Sandbox sandbox;
    PrintModel model(sandbox.environment());
    ASSERT_EQ(GridTemplate::all().size(), 6u);
    EXPECT_EQ(GridTemplate::all()[3].name, "증명사진 (3.5×4.5cm)");
    EXPECT_EQ(GridTemplate::all()[5].settings,
              (GridSettings{36, 27, 4, true, true, false, false, true, false}));

    GridSettings grid = model.grid();
    grid.cutMarks = false;
    model.setGrid(grid);
    model.applyGridTemplate(GridTemplate::all()[3]);
    EXPECT_EQ(model.grid().widthMM, 35);
    EXPECT_TRUE(model.grid().repeatsOne);
    EXPECT_TRUE(model.grid().rotatesToFit); // on in both
    EXPECT_FALSE(model.grid().cutMarks);    // off in the grid before

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
        // Numbers are written the same under a decimal comma.
        GermanLocale german;
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
                            "layout.marginMM", "recipe.TestbedP900", "workingRecipe.TestbedP900"}) {
        EXPECT_TRUE(sandbox.settings()->contains(key)) << key;
    }
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

TEST(ModelLayoutTest, GridPagesFollowTheSelectionAndTheRepeatedPhoto) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    auto environment = sandbox.environment();
    environment.settings->setValue(ModelSettings::printer, p900Queue);
    PrintModel model(environment);
    startAndWait(model);
    model.setPhotosPerSheet(PhotosPerSheet::many);
    model.applyGridTemplate(GridTemplate::all()[0]);
    const auto perPage = static_cast<std::size_t>(model.gridPlan(model.prepare()).value->count());
    std::vector<std::filesystem::path> files;
    for (std::size_t i = 0; i < perPage + 1; ++i) {
        files.push_back(sandbox.photoFolder() / ("p" + std::to_string(i) + ".jpg"));
        TestSupport::writeFile(files.back(), plainJpeg(60, 40));
    }
    addAndWait(model, files);
    ASSERT_EQ(model.gridPages().size(), 2u);
    EXPECT_EQ(model.gridPages()[1].size(), 1u);

    model.setSelectedPhotoID(model.photos().back().id);
    EXPECT_EQ(model.gridPageIndex(), 1);
    model.showGridPage(0);
    EXPECT_EQ(model.selectedPhotoID(), model.photos().front().id);
    model.showGridPage(2); // no such page
    EXPECT_EQ(model.gridPageIndex(), 0);

    GridSettings grid = model.grid();
    grid.repeatsOne = true;
    model.setGrid(grid);
    ASSERT_EQ(model.gridPages().size(), 1u);
    EXPECT_EQ(model.gridPages()[0].front().id, model.photos().front().id);
    model.setSelectedPhotoID(std::nullopt);
    EXPECT_TRUE(model.gridPages().empty());
}

TEST(ModelLayoutTest, PrinterNamesAndKinds) {
    REQUIRE_PRINT_SERVER(server);
    Sandbox sandbox;
    PrintModel model(sandbox.environment());
    startAndWait(model);
    std::map<std::string, std::string> names;
    for (const PrinterChoice& choice : model.printers()) {
        names[choice.queue.name] = choice.name();
    }
    EXPECT_EQ(names[p900Queue], "EPSON SC-P900 Series");
    EXPECT_EQ(names[rawQueue], "Local Raw Printer"); // no PPD: what CUPS calls it
    EXPECT_EQ((PrinterChoice{{"Nameless", false, "", ""}, std::nullopt}.name()), "Nameless");
    std::vector<std::string> epson;
    for (const PrinterChoice& choice : model.epsonQueues()) {
        epson.push_back(choice.queue.name);
    }
    EXPECT_EQ(epson, (std::vector<std::string>{"TestbedBroken", p900Queue, "TestbedPhoto"}));

    // A driverless queue of the same machine finds its photo-driver queue.
    PrinterChoice airPrint{
        {"P900_AirPrint", false, "EPSON SC-P900 Series - IPP Everywhere", "ipp://p900.local"}, std::nullopt};
    ASSERT_TRUE(model.epsonQueue(airPrint).has_value());
    EXPECT_EQ(model.epsonQueue(airPrint)->queue.name, p900Queue);
    airPrint.queue.makeAndModel = "EPSON ET-8550 Series - IPP Everywhere";
    EXPECT_FALSE(model.epsonQueue(airPrint).has_value());
    EXPECT_EQ(PrintModel::printerSettings(), "http://localhost:631/printers/");
}

TEST(ModelLayoutTest, CustomPapersComeFromThePropertyListWhenThereIsOne) {
    Sandbox sandbox;
    const std::filesystem::path home = sandbox.root() / "home";
    EXPECT_TRUE(PrintModel::loadCustomPapers(home).empty());
    std::filesystem::create_directories(home / "Library/Preferences");
    TestSupport::writeFile(home / "Library/Preferences/com.apple.print.custompapers.plist",
                           R"(<?xml version="1.0"?>
<plist version="1.0"><dict>
 <key>b</key><dict><key>custom</key><true/><key>name</key><string>파노라마</string>
   <key>width</key><real>612</real><key>height</key><integer>288</integer></dict>
 <key>a</key><dict><key>custom</key><true/><key>name</key><string>Art 13x19</string>
   <key>width</key><real>936</real><key>height</key><real>1368</real></dict>
 <key>c</key><dict><key>custom</key><false/><key>name</key><string>Not custom</string>
   <key>width</key><real>1</real><key>height</key><real>1</real></dict>
 <key>d</key><dict><key>custom</key><true/><key>name</key><string>No size</string></dict>
</dict></plist>)");
    const std::vector<SavedCustomPaper> papers = PrintModel::loadCustomPapers(home);
    ASSERT_EQ(papers.size(), 2u);
    EXPECT_EQ(papers[0], (SavedCustomPaper{"Art 13x19", {936, 1368}}));
    EXPECT_EQ(papers[1], (SavedCustomPaper{"파노라마", {612, 288}}));
    TestSupport::writeFile(home / "Library/Preferences/com.apple.print.custompapers.plist",
                           "bplist00garbage");
    EXPECT_TRUE(PrintModel::loadCustomPapers(home).empty());
    std::filesystem::create_directories(home / "Library/Preferences");
}
