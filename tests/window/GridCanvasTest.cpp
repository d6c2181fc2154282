#include "QuilmPrint/window/GridCanvas.h"

#include "PreviewTestSupport.h"
#include "PrintKit/render/layout/GridLayout.h"
#include "QuilmPrint/window/Theme.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace PreviewTest;
using PrintKit::Rect;

namespace {

const QColor green(40, 200, 60);

PhotoItem photo(const char* name, int width, int height, QImage thumbnail) {
    PhotoItem item;
    item.id = QUuid::createUuid();
    item.url = std::filesystem::path("/photos") / name;
    item.pixelWidth = width;
    item.pixelHeight = height;
    item.thumbnail = std::move(thumbnail);
    return item;
}

// 2.5 × 3.5 inch cells on Letter: turned, 2 × 4 of them fit where 3 × 2 would unturned.
struct Page {
    GridCanvas::Input in;
    QImage image;

    Page() {
        in.sheet.page = letter();
        in.spec = PrintKit::GridSpec::make(180, 252, 9, true, false, true, true, true);
        in.plan = PrintKit::GridLayout::plan(in.sheet.page, {}, in.spec, 360);
        in.geometry = SheetGeometry(in.sheet.page, QSizeF(800, 1000), 1);
        in.photos = {
            photo("upright.jpg", 200, 300, twoColour(200, 300, 0.5, true)), // red above blue
            photo("wide.jpg", 300, 200, twoColour(300, 200, 0.5)),          // red left of blue
            photo("no-thumbnail.jpg", 300, 200, QImage()),
            photo("selected.jpg", 300, 200, twoColour(300, 200, 0.5)),
            photo("fifth.jpg", 300, 200, twoColour(300, 200, 1.0)),
            photo("sixth.jpg", 300, 200, twoColour(300, 200, 1.0)),
        };
        in.selectedID = in.photos[3].id;
        QImage larger(600, 400, QImage::Format_RGB32);
        larger.fill(green);
        in.selectedImage = larger;
        image = painted(QSize(800, 1000), [&](QPainter& p) { GridCanvas::paint(p, in); });
    }

    QRectF cell(std::size_t i) const { return in.geometry.viewRect(in.plan->pageRect(in.plan->cells[i])); }
    QRectF frame(std::size_t i) const {
        const PhotoItem& p = in.photos[i];
        const auto fit = PrintKit::GridLayout::fit(p.pixelWidth, p.pixelHeight, in.plan->cells[i], in.spec,
                                                   in.plan->captionHeight);
        return GridCanvas::frameRect(cell(i), fit, GridCanvas::pixelSize(*in.plan, in.geometry));
    }
    QRectF captionBand(std::size_t i) const {
        const double band = GridCanvas::pixelSize(*in.plan, in.geometry) * double(in.plan->captionHeight);
        const QRectF c = cell(i);
        return QRectF(c.left(), c.bottom() - band, c.width(), band);
    }
    // Any pixel of the band clearly darker than the paper: caption text.
    bool hasText(std::size_t i) const {
        const QRectF band = captionBand(i).adjusted(2, 1, -2, -1);
        for (int y = int(band.top()); y < int(band.bottom()); ++y) {
            for (int x = int(band.left()); x < int(band.right()); ++x) {
                if (image.pixelColor(x, y).red() < 180) {
                    return true;
                }
            }
        }
        return false;
    }
};

} // namespace

TEST(GridCanvasTest, TurnedCellsHoldTheirPhotosAsTheyWillPrint) {
    Page page;
    ASSERT_TRUE(page.in.plan->turned);
    ASSERT_EQ(page.in.plan->count(), 8);
    WindowTest::saveArtifact(page.image, "grid-canvas");

    // The upright photo is turned a quarter turn clockwise into its wide cell: its top (red) on the right.
    const QRectF upright = page.frame(0);
    EXPECT_GT(upright.width(), upright.height());
    EXPECT_TRUE(
        near(at(page.image, upright.left() + upright.width() * 0.25, upright.center().y()), blue, 20));
    EXPECT_TRUE(near(at(page.image, upright.left() + upright.width() * 0.75, upright.center().y()), red, 20));
    // The wide photo stays as it is.
    const QRectF wide = page.frame(1);
    EXPECT_TRUE(near(at(page.image, wide.left() + wide.width() * 0.25, wide.center().y()), red, 20));
    EXPECT_TRUE(near(at(page.image, wide.left() + wide.width() * 0.75, wide.center().y()), blue, 20));
    // The selected photo is drawn from its larger image and ringed in the active colour.
    EXPECT_TRUE(near(at(page.image, page.frame(3).center()), green, 6));
    const QRectF selected = page.cell(3);
    EXPECT_GT(WindowTest::coverage(at(page.image, selected.left() - 1.5, selected.center().y()), paper,
                                   Theme::active()),
              0.7);
    EXPECT_TRUE(near(at(page.image, page.cell(1).left() - 1.5, page.cell(1).center().y()), paper, 2));
    // A photo without a picture leaves its cell blank but keeps its caption.
    EXPECT_TRUE(near(at(page.image, page.cell(2).center()), paper, 2));
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(page.hasText(i)) << i;
    }
}

TEST(GridCanvasTest, EmptyCellsAreDashedAndCutMarksBlack) {
    Page page;
    for (std::size_t i : {6u, 7u}) {
        const QRectF c = page.cell(i);
        EXPECT_TRUE(near(at(page.image, c.center()), paper, 1));
        EXPECT_FALSE(page.hasText(i));
        // Black at 12 % over the paper where the first dash starts; a half-covered pixel row at least.
        const QColor edge = at(page.image, c.left() + 1.5, c.top());
        EXPECT_LT(edge.red(), 240);
        EXPECT_GT(edge.red(), 205);
    }
    ASSERT_FALSE(page.in.plan->marks.empty());
    for (const PrintKit::PixelRect& mark : page.in.plan->marks) {
        const QRectF m = GridCanvas::markRect(page.in.geometry.viewRect(page.in.plan->pageRect(mark)));
        EXPECT_LT(at(page.image, m.center()).red(), 130);
    }
}

TEST(GridCanvasTest, CaptionSizesAndThinMarks) {
    EXPECT_DOUBLE_EQ(GridCanvas::captionFontSize(5), 4);
    EXPECT_DOUBLE_EQ(GridCanvas::captionFontSize(20), 12.4);
    const QRectF thin = GridCanvas::markRect(QRectF(10, 20, 0.3, 8));
    EXPECT_DOUBLE_EQ(thin.width(), 1);
    EXPECT_DOUBLE_EQ(thin.center().x(), 10.15);
    EXPECT_EQ(GridCanvas::markRect(QRectF(10, 20, 2, 0.5)), QRectF(10, 19.75, 2, 1));
}

TEST(GridCanvasTest, WithoutCaptionsOrAPlanLessIsDrawn) {
    Page page;
    page.in.spec.captions = false;
    page.in.plan = PrintKit::GridLayout::plan(page.in.sheet.page, {}, page.in.spec, 360);
    ASSERT_EQ(page.in.plan->captionHeight, 0);
    page.image = painted(QSize(800, 1000), [&](QPainter& p) { GridCanvas::paint(p, page.in); });
    // The cell of the photo without a picture stays blank to its bottom: no caption.
    const QRectF cell = page.cell(2);
    for (int x = int(cell.left()) + 2; x < int(cell.right()) - 2; ++x) {
        for (int y = int(cell.bottom()) - 8; y < int(cell.bottom()) - 1; ++y) {
            ASSERT_TRUE(near(page.image.pixelColor(x, y), paper, 1)) << x << "," << y;
        }
    }

    const QRectF photo = page.frame(1);
    page.in.plan.reset();
    const QImage bare = painted(QSize(800, 1000), [&](QPainter& p) { GridCanvas::paint(p, page.in); });
    EXPECT_TRUE(near(at(bare, cell.center()), paper, 1));
    EXPECT_TRUE(near(at(bare, photo.center()), paper, 1));
}
