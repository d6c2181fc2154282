// The prepared sheet against the engine: where the model says a photo or a grid cell lands is where the
// renderer puts it in the finished PDF, turned canvas and borderless bleed included; when the canvas turns;
// and a borderless sheet whose expansion is not known yet.
#include "AppTestSupport.h"
#include "PrintKit/render/layout/CanvasTurn.h"
#include "PrintKit/render/layout/GridLayout.h"
#include "PrintKit/render/sheet/SheetRenderer.h"
#include "PrintKit/support/Numbers.h"
#include "QuilmPrint/model/ModelSettings.h"
#include "TestImages.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace AppTestSupport;
namespace fs = std::filesystem;
using PrintKit::Rect;

namespace {

// What a sheet PDF draws: each image's rectangle (from its placing matrix) and pixel size, in drawing
// order, and the filled rectangles (cut marks).
struct Drawn {
    std::vector<Rect> images;
    std::vector<std::pair<long, long>> pixels;
    std::vector<Rect> marks;
};

std::vector<double> numbersBefore(const std::string& text, std::size_t end, int count) {
    std::size_t start = text.rfind('\n', end - 1);
    std::string line = text.substr(start + 1, end - start - 1);
    std::vector<double> values = PrintKit::Numbers::parseList(line, " ");
    EXPECT_EQ(values.size(), static_cast<std::size_t>(count)) << line;
    values.resize(static_cast<std::size_t>(count));
    return values;
}

Drawn drawn(const fs::path& pdf) {
    const std::string text = TestSupport::readFile(pdf);
    Drawn result;
    for (std::size_t at = text.find("/Subtype /Image /Width "); at != std::string::npos;
         at = text.find("/Subtype /Image /Width ", at + 1)) {
        std::vector<double> size = PrintKit::Numbers::parseList(text.substr(at + 23, 40), " /Height");
        result.pixels.emplace_back(static_cast<long>(size.at(0)), static_cast<long>(size.at(1)));
    }
    for (std::size_t at = text.find(" cm\n/Im"); at != std::string::npos;
         at = text.find(" cm\n/Im", at + 1)) {
        std::vector<double> m = numbersBefore(text, at, 6);
        result.images.emplace_back(m[4], m[5], m[0], m[3]);
    }
    for (std::size_t at = text.find(" re\n"); at != std::string::npos; at = text.find(" re\n", at + 1)) {
        std::vector<double> r = numbersBefore(text, at, 4);
        result.marks.emplace_back(r[0], r[1], r[2], r[3]);
    }
    return result;
}

// The PDF writes four decimals.
void expectSameRect(const Rect& pdf, const Rect& model) {
    EXPECT_NEAR(pdf.minX(), model.minX(), 6e-5);
    EXPECT_NEAR(pdf.minY(), model.minY(), 6e-5);
    EXPECT_NEAR(pdf.width(), model.width(), 6e-5);
    EXPECT_NEAR(pdf.height(), model.height(), 6e-5);
}

class ModelSheetTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!printServer(&why)) {
            GTEST_SKIP() << why;
        }
        environment = sandbox.environment();
        environment.settings->setValue(ModelSettings::printer, p900Queue);
        model = std::make_unique<PrintModel>(environment);
        startAndWait(*model);
        // 360 pixels per inch keep the rendered sheets small.
        model->setDriverOverride("Resolution", "360x360dpi");
    }

    PhotoItem photo(int width, int height) {
        const fs::path file = sandbox.photoFolder() / ("p" + std::to_string(model->photos().size()) + ".jpg");
        TestSupport::writeFile(file, plainJpeg(width, height, 200, 120, 60));
        addAndWait(*model, {file});
        return model->photos().back();
    }

    Sandbox sandbox;
    PrintModel::Environment environment;
    std::unique_ptr<PrintModel> model;
};

} // namespace

TEST_F(ModelSheetTest, APhotoLandsWhereTheRendererPutsIt) {
    struct Case {
        const char* name;
        PrintKit::CustomSheetSize sheet; // points
        int width, height;               // the photo, upright
        LayoutMode mode;
        CanvasOrientation canvas;
        double marginMM;
        PrintKit::Size offset;
        bool turned;
    };
    // clang-format off
    const Case cases[] = {
        {"fit, landscape photo on a landscape sheet", {216, 144}, 600, 400, LayoutMode::fit, CanvasOrientation::automatic, 5, {0, 0}, false},
        {"fill, moved and snapped", {216, 144}, 500, 500, LayoutMode::fill, CanvasOrientation::automatic, 3, {30, -2}, false},
        {"portrait photo turns a landscape sheet", {216, 144}, 400, 600, LayoutMode::fit, CanvasOrientation::automatic, 4, {-7, 3}, true},
        {"a landscape canvas asked for", {144, 216}, 400, 600, LayoutMode::fill, CanvasOrientation::landscape, 0, {0, 0}, true},
        {"exact size never turns", {144, 216}, 600, 400, LayoutMode::exact, CanvasOrientation::landscape, 2, {10, 10}, false},
    };
    // clang-format on
    model->setExactSize(40, 25);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model->chooseCustomSheet(c.sheet);
        model->setLayoutMode(c.mode);
        model->setCanvasOrientation(c.canvas);
        model->setMarginMM(c.marginMM);
        const PhotoItem item = photo(c.width, c.height);
        model->setOffset(c.offset, item);
        const PreparedSheet sheet = model->prepare();
        ASSERT_EQ(sheet.resolution, 360);
        EXPECT_EQ(model->isTurned(item, sheet), c.turned);
        Outcome<PrintKit::Placement> placement = model->placement(item, sheet);
        ASSERT_TRUE(placement.ok()) << placement.error.toStdString();

        const fs::path pdf = sandbox.root() / "tmp" / "sheet.pdf";
        const PrintKit::Placement rendered = PrintKit::SheetRenderer::render(
            item.url, sheet.page, model->imageFit(), model->margins(), sheet.resolution, model->offset(item),
            sheet.color, sheet.sharpening, sheet.bleed, model->isTurned(item, sheet), pdf);
        EXPECT_EQ(*placement.value, rendered);

        // On the paper: the turned canvas maps back with the pixel counts swapped.
        const PrintKit::Placement paper =
            c.turned ? PrintKit::CanvasTurn::paperPlacement(*placement.value, sheet.page, sheet.resolution)
                     : *placement.value;
        const Drawn file = drawn(pdf);
        ASSERT_EQ(file.images.size(), 1u);
        expectSameRect(file.images[0], paper.rect);
        EXPECT_EQ(file.pixels[0], std::make_pair(long(paper.pixelWidth), long(paper.pixelHeight)));
        // The preview shows the turned sheet; the placement lies on it.
        const PreparedSheet shown = c.turned ? sheet.turned() : sheet;
        EXPECT_LE(placement.value->rect.maxX(), shown.page.width + 1e-9);
        EXPECT_LE(placement.value->rect.maxY(), shown.page.height + 1e-9);
    }
}

TEST_F(ModelSheetTest, ABorderlessSheetWaitsForItsExpansionThenBleeds) {
    model->chooseSheet("A4");
    model->setSource("SFBL");
    model->setBleedCompensation(true);
    model->setLayoutMode(LayoutMode::fill);
    model->setMarginMM(0);
    const PreparedSheet pending = model->prepare();
    EXPECT_EQ(pending.page.name, "A4.Borderless");
    ASSERT_TRUE(pending.paper.has_value());
    EXPECT_EQ(pending.paper->name, "A4");
    EXPECT_TRUE(pending.bleedPending);
    EXPECT_FALSE(pending.bleed.has_value());
    // Asking changed nothing: the same answer again, and nothing remembered.
    EXPECT_EQ(model->prepare(), pending);
    const QString key = ModelSettings::bleedExpansionKey(p900Queue, "A4.Borderless");
    EXPECT_FALSE(environment.settings->contains(key));

    ModelSettings::writeNumber(*environment.settings, key, 1.04);
    const PreparedSheet sheet = model->prepare();
    EXPECT_FALSE(sheet.bleedPending);
    ASSERT_TRUE(sheet.bleed.has_value());
    EXPECT_LT(sheet.bleed->visible.width(), sheet.page.width);

    const PhotoItem item = photo(300, 420);
    const PrintKit::Placement placement = *model->placement(item, sheet).value;
    const fs::path pdf = sandbox.root() / "tmp" / "borderless.pdf";
    const PrintKit::Placement rendered = PrintKit::SheetRenderer::render(
        item.url, sheet.page, model->imageFit(), model->margins(), sheet.resolution, model->offset(item),
        sheet.color, sheet.sharpening, sheet.bleed, model->isTurned(item, sheet), pdf);
    EXPECT_EQ(placement, rendered);
    // Filled into the visible part, to the device pixel.
    EXPECT_NEAR(placement.rect.minX(), sheet.bleed->visible.minX(), 72.0 / 360);
    EXPECT_NEAR(placement.rect.maxY(), sheet.bleed->visible.maxY(), 72.0 / 360);
    // Printed out to the page's edges, past the visible part.
    const Drawn file = drawn(pdf);
    ASSERT_EQ(file.images.size(), 1u);
    expectSameRect(file.images[0], sheet.bleed->extend(placement, sheet.page, sheet.resolution).rect);
    EXPECT_NEAR(file.images[0].width(), sheet.page.width, 72.0 / 360);
}

TEST_F(ModelSheetTest, GridCellsLandWhereTheRendererPutsThem) {
    model->chooseCustomSheet({288, 432});
    model->setMarginMM(4);
    model->setPhotosPerSheet(PhotosPerSheet::many);
    GridSettings grid = GridTemplate::all()[4].settings; // 3×4 cm, cut marks
    grid.repeatsOne = false;
    grid.fitsWhole = true;
    model->setGrid(grid);
    std::vector<PhotoItem> items{photo(400, 300), photo(300, 400), photo(500, 500)};
    const PreparedSheet sheet = model->prepare();
    Outcome<PrintKit::GridPlan> plan = model->gridPlan(sheet);
    ASSERT_TRUE(plan.ok()) << plan.error.toStdString();
    ASSERT_GE(plan.value->count(), 3);
    const std::vector<std::vector<PhotoItem>> pages = model->gridPages();
    ASSERT_EQ(pages.size(), 1u);

    std::vector<std::optional<PrintKit::GridCellPhoto>> cells;
    for (const PhotoItem& item : pages[0]) {
        cells.push_back(PrintKit::GridCellPhoto{item.url, std::nullopt});
    }
    const fs::path pdf = sandbox.root() / "tmp" / "grid.pdf";
    PrintKit::SheetRenderer::renderGrid(cells, *plan.value, model->gridSpec(), sheet.page, sheet.color,
                                        sheet.sharpening, sheet.bleed, pdf);
    const Drawn file = drawn(pdf);
    ASSERT_EQ(file.images.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const PrintKit::PixelRect& cell = plan.value->cells[i];
        const PrintKit::CellFit fit = PrintKit::GridLayout::fit(
            items[i].pixelWidth, items[i].pixelHeight, cell, model->gridSpec(), plan.value->captionHeight);
        const PrintKit::PixelRect frame{cell.x + fit.frame.x, cell.y + fit.frame.y, fit.frame.width,
                                        fit.frame.height};
        expectSameRect(file.images[i], plan.value->pageRect(frame));
        EXPECT_EQ(file.pixels[i], std::make_pair(long(frame.width), long(frame.height)));
    }
    ASSERT_EQ(file.marks.size(), plan.value->marks.size());
    for (std::size_t i = 0; i < file.marks.size(); ++i) {
        expectSameRect(file.marks[i], plan.value->pageRect(plan.value->marks[i]));
    }
    // The resolution a photo gets in its cell: its pixels across the part shown, over the frame's inches.
    const PrintKit::CellFit first = PrintKit::GridLayout::fit(400, 300, plan.value->cells[0],
                                                              model->gridSpec(), plan.value->captionHeight);
    const double across = first.crop.width() * (first.rotated ? 300 : 400);
    EXPECT_DOUBLE_EQ(*model->gridPPI(items[0], sheet), across / (first.frame.width / 360.0));
}

TEST(ModelTurnTest, TheCanvasTurnsOnlyForOnePhotoFittedOrFilled) {
    PrintModel model(Sandbox().environment());
    PreparedSheet portrait;
    portrait.page = {"P", "P", {}, 300, 400, std::vector<double>{10, 10, 290, 390}};
    portrait.paper = portrait.page;
    PreparedSheet landscape;
    landscape.page = {"L", "L", {}, 400, 300, std::nullopt};
    const PhotoItem wide{QUuid::createUuid(), "w.jpg", 600, 400, {}};
    const PhotoItem tall{QUuid::createUuid(), "t.jpg", 400, 600, {}};
    const PhotoItem square{QUuid::createUuid(), "s.jpg", 500, 500, {}};
    struct Case {
        CanvasOrientation canvas;
        const PreparedSheet& sheet;
        const PhotoItem& photo;
        bool turned;
    };
    const Case cases[] = {
        {CanvasOrientation::automatic, portrait, wide, true},
        {CanvasOrientation::automatic, portrait, tall, false},
        {CanvasOrientation::automatic, landscape, tall, true},
        {CanvasOrientation::automatic, landscape, square, false},
        {CanvasOrientation::portrait, landscape, wide, true},
        {CanvasOrientation::portrait, portrait, wide, false},
        {CanvasOrientation::landscape, portrait, tall, true},
        {CanvasOrientation::landscape, landscape, tall, false},
    };
    for (const Case& c : cases) {
        model.setCanvasOrientation(c.canvas);
        model.setLayoutMode(LayoutMode::fit);
        model.setPhotosPerSheet(PhotosPerSheet::one);
        EXPECT_EQ(model.isTurned(c.photo, c.sheet), c.turned) << &c - cases;
        model.setLayoutMode(LayoutMode::exact);
        EXPECT_FALSE(model.isTurned(c.photo, c.sheet));
        model.setLayoutMode(LayoutMode::fill);
        model.setPhotosPerSheet(PhotosPerSheet::many);
        EXPECT_FALSE(model.isTurned(c.photo, c.sheet));
    }
    const PreparedSheet turned = portrait.turned();
    EXPECT_TRUE(turned.isTurnedCanvas);
    EXPECT_EQ(turned.page.width, 400);
    EXPECT_EQ(turned.paper->height, 300);
    EXPECT_EQ(*turned.page.imageableArea, (std::vector<double>{10, 10, 390, 290}));
    EXPECT_EQ(turned.turned(), turned);
}
