// The sheet preview on a real model and the private printer server: what it shows and says, and what its
// pointer gestures hand to the model.
#include "PreviewTestSupport.h"
#include "QuilmPrint/window/Controls.h"
#include "QuilmPrint/window/SheetPreview.h"
#include "QuilmPrint/window/Theme.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QScrollArea>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace PreviewTest;
using PrintKit::Rect;

namespace {

constexpr double millimetres = 25.4 / 72;

class PreviewWidgetTest : public testing::Test {
protected:
    void SetUp() override {
        if (std::optional<std::string> why = world.start()) {
            GTEST_SKIP() << *why;
        }
        Theme::apply(*qApp);
    }

    SheetPreview& show() {
        preview = std::make_unique<SheetPreview>(world.model.get());
        preview->resize(700, 640);
        preview->show();
        settle();
        return *preview;
    }

    PrintModel& model() { return *world.model; }

    // The selected photo's rectangle on the canvas, as the engine places it now.
    QRectF placed() {
        const PreparedSheet sheet = model().prepare();
        const Outcome<PrintKit::Placement> placement = model().placement(*model().selectedPhoto(), sheet);
        EXPECT_TRUE(placement.ok()) << placement.error.toStdString();
        return preview->geometry().viewRect(placement.value->rect);
    }

    QImage canvas() { return WindowTest::grab(preview->canvas()); }

    ModelWorld world;
    std::unique_ptr<SheetPreview> preview;
};

// Whether a caption chip is drawn filled: its plate lightens the pane just inside its outline.
bool filled(ChipButton* chip) {
    QWidget* pane = chip->window();
    const QImage image = WindowTest::grab(pane);
    const int middle = chip->height() / 2;
    const QColor inside = image.pixelColor(chip->mapTo(pane, QPoint(5, middle)));
    const QColor outside = image.pixelColor(chip->mapTo(pane, QPoint(-3, middle)));
    return inside.lightness() - outside.lightness() > 12;
}

} // namespace

TEST(PreviewMessageTest, WhilePrintersLoadThePaneSaysWhy) {
    PrintModel model(WindowTest::IsolatedEnvironment().make());
    SheetPreview preview(&model);
    EXPECT_TRUE(preview.showsMessage());
    EXPECT_EQ(preview.messageText().toStdString(), "프린터를 찾는 중입니다");
    EXPECT_FALSE(preview.zoomChip(0)->isVisibleTo(&preview));
}

TEST_F(PreviewWidgetTest, OnePhotoSheetShowsThePhotoWhereTheEnginePutsIt) {
    show();
    EXPECT_FALSE(preview->showsMessage());
    EXPECT_EQ(preview->captionText().toStdString(), "용지 세로 209.9×297.0mm");
    EXPECT_EQ(preview->resolutionText().toStdString(), "360ppi");

    const PhotoItem photo = world.add(twoColourJpeg(800, 1200, 0.4));
    model().setSelectedPhotoID(photo.id);
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return !model().previewImage().isNull(); }));
    settle();
    // Fitted into 578 × 820 points: 820 high, 2733 pixels of 0.2 points wide.
    EXPECT_EQ(preview->captionText().toStdString(), "용지 세로 209.9×297.0mm · 사진 192.8×289.3mm");
    EXPECT_FALSE(preview->centerChip()->isVisibleTo(preview.get()));

    // The model's preview of the photo, where the model places it.
    const QRectF drawn = placed();
    const QImage image = canvas();
    const double boundary = drawn.left() + 0.4 * drawn.width();
    const int y = static_cast<int>(drawn.center().y());
    EXPECT_TRUE(near(at(image, boundary - 2, y), red, 24));
    EXPECT_TRUE(near(at(image, boundary + 2, y), blue, 24));
    WindowTest::saveArtifact(preview.get(), "preview-one-photo");

    // A wide photo turns the canvas: the caption describes the sheet lying down.
    const PhotoItem wide = world.add(twoColourJpeg(1200, 800, 0.5));
    model().setSelectedPhotoID(wide.id);
    settle();
    EXPECT_TRUE(preview->captionText().startsWith(QStringLiteral("용지 가로 297.0×209.9mm")));
}

TEST_F(PreviewWidgetTest, BorderlessSheetNamesWhatHappensAtTheEdges) {
    model().setSource("SFBL");
    model().setBleedCompensation(true);
    world.sandbox.settings()->setValue(
        ModelSettings::bleedExpansionKey(AppTestSupport::p900Queue, "A4.Borderless"), 1.04);
    show();
    const PhotoItem photo = world.add(twoColourJpeg(800, 1200, 0.5));
    model().setSelectedPhotoID(photo.id);
    model().setLayoutMode(LayoutMode::fill);
    settle();
    const PreparedSheet sheet = model().prepare();
    ASSERT_TRUE(sheet.bleed.has_value());
    EXPECT_TRUE(preview->captionText().startsWith(QStringLiteral(
        "용지 세로 209.9×297.0mm · 여백 없음 · 가장자리 보정 · 사진은 종이 크기에 맞춤 · 사진 ")))
        << preview->captionText().toStdString();
    // The photo fills the paper; the band the driver prints past the paper's edges is shaded.
    const QRectF visible = preview->geometry().viewRect(sheet.bleed->visible);
    const QRectF whole = preview->geometry().viewRect(Rect(0, 0, sheet.page.width, sheet.page.height));
    const QImage image = canvas();
    EXPECT_TRUE(near(at(image, (whole.right() + visible.right()) / 2, visible.center().y() + 20),
                     QColor(147, 147, 147), 3));
    EXPECT_TRUE(near(at(image, visible.right() - 2, visible.center().y() + 20), blue, 24));
    WindowTest::saveArtifact(preview.get(), "preview-borderless");

    model().setBleedCompensation(false);
    settle();
    EXPECT_TRUE(
        preview->captionText().contains(QStringLiteral("여백 없음 · 드라이버가 조금 키워서 인쇄합니다")));
}

TEST_F(PreviewWidgetTest, DraggingThePhotoSetsItsOffsetOncePerMove) {
    model().chooseSheet("A3");
    show();
    const PhotoItem photo = world.add(twoColourJpeg(800, 600, 0.5));
    model().setSelectedPhotoID(photo.id);
    model().setExactSize(100, 75);
    model().setLayoutMode(LayoutMode::exact);
    settle();
    const QPoint from = placed().center().toPoint();
    const double scale = preview->geometry().scale;

    QSignalSpy changes(&model(), &PrintModel::layoutChanged);
    drag(preview->canvas(), from, from + QPoint(30, -20), 5);
    EXPECT_EQ(changes.count(), 5);
    const PrintKit::Size offset = model().offsets().value(photo.id);
    EXPECT_DOUBLE_EQ(offset.width, 30 / scale);
    EXPECT_DOUBLE_EQ(offset.height, 20 / scale);
    settle();
    ASSERT_TRUE(preview->centerChip()->isVisibleTo(preview.get()));
    EXPECT_EQ(preview->centerChip()->toolTip().toStdString(), "끌어 옮긴 위치를 되돌립니다");
    QTest::mouseClick(preview->centerChip(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(model().offsets().contains(photo.id));
    EXPECT_FALSE(preview->centerChip()->isVisibleTo(preview.get()));

    // A drag that starts beside the photo and crosses it does nothing.
    const QRectF drawn = placed();
    changes.clear();
    drag(preview->canvas(), (drawn.topLeft() - QPointF(30, 30)).toPoint(), drawn.center().toPoint());
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(PreviewWidgetTest, ResizingInTheExactLayoutSnapsAndKeepsTheMinimum) {
    show();
    const PhotoItem photo = world.add(twoColourJpeg(800, 600, 0.5));
    model().setSelectedPhotoID(photo.id);
    model().setExactSize(100, 75);
    model().setLayoutMode(LayoutMode::exact);
    settle();
    const PreparedSheet sheet = model().prepare();
    const Rect start = model().placement(photo, sheet).value->rect;
    const Rect area(8.5, 9, 578, 820); // A4's printable area, no margin
    const double scale = preview->geometry().scale;
    const QRectF drawn = placed();

    // The right handle dragged to 3 points short of the printable area's right edge lands on it.
    const QPoint right = handlePoint(ResizeHandle::right, drawn).toPoint();
    const double dx = (area.maxX() - 3 - start.maxX()) * scale;
    QTest::mousePress(preview->canvas(), Qt::LeftButton, {}, right);
    QTest::mouseMove(preview->canvas(), right + QPoint(static_cast<int>(dx / 2), 0));
    QTest::mouseMove(preview->canvas(), right + QPoint(static_cast<int>(std::round(dx)), 0));
    settle();
    EXPECT_TRUE(preview->isDragging());
    WindowTest::saveArtifact(preview.get(), "preview-exact-resize");
    QTest::mouseRelease(preview->canvas(), Qt::LeftButton, {},
                        right + QPoint(static_cast<int>(std::round(dx)), 0));
    EXPECT_FALSE(preview->isDragging());
    EXPECT_NEAR(model().exactWidthMM(), (area.maxX() - start.minX()) * millimetres, 1e-9);
    EXPECT_NEAR(model().exactHeightMM(), start.height() * millimetres, 1e-9);
    const PrintKit::Size offset = model().offsets().value(photo.id);
    EXPECT_NEAR(offset.width, (start.minX() + area.maxX()) / 2 - area.midX(), 1e-9);
    EXPECT_NEAR(offset.height, start.midY() - area.midY(), 1e-9);

    // The left handle dragged past the right edge: 20 points wide, the right edge kept.
    settle();
    const Rect now = model().placement(photo, model().prepare()).value->rect;
    const QPoint left = handlePoint(ResizeHandle::left, placed()).toPoint();
    drag(preview->canvas(), left, left + QPoint(static_cast<int>((now.width() - 5) * scale), 0), 3);
    EXPECT_NEAR(model().exactWidthMM(), 20 * millimetres, 1e-9);
    EXPECT_NEAR(model().offsets().value(photo.id).width, now.maxX() - 10 - area.midX(), 1e-9);
}

TEST_F(PreviewWidgetTest, DoubleClickAndChipsSetTheZoom) {
    show();
    const PhotoItem photo = world.add(twoColourJpeg(6000, 4000, 0.5));
    model().setSelectedPhotoID(photo.id);
    settle();
    const QSize viewport = preview->canvas()->size();
    const QPoint inside = QPoint(10, 10);

    QTest::mouseDClick(preview->canvas(), Qt::LeftButton, {}, inside);
    QTest::mouseRelease(preview->canvas(), Qt::LeftButton, {}, inside);
    settle();
    EXPECT_EQ(preview->zoom(), 2);
    EXPECT_TRUE(filled(preview->zoomChip(1)));
    EXPECT_FALSE(filled(preview->zoomChip(0)));
    EXPECT_GT(preview->canvas()->width(), viewport.width());
    EXPECT_EQ(preview->scrollArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    QTest::mouseDClick(preview->canvas(), Qt::LeftButton, {}, inside);
    QTest::mouseRelease(preview->canvas(), Qt::LeftButton, {}, inside);
    settle();
    EXPECT_EQ(preview->zoom(), 1);
    EXPECT_EQ(preview->canvas()->size(), viewport);
    EXPECT_EQ(preview->scrollArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    // Drawn four times larger, the sheet asks for a preview twice its drawn width, within the photo's size.
    QTest::mouseClick(preview->zoomChip(2), Qt::LeftButton);
    settle();
    EXPECT_EQ(preview->zoom(), 4);
    const int wanted =
        static_cast<int>(std::llround(preview->geometry().pageWidth * preview->geometry().scale * 2));
    ASSERT_GT(wanted, 3000);
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return model().previewImage().width() > 3000; }));
    EXPECT_NEAR(std::max(model().previewImage().width(), model().previewImage().height()),
                std::min(wanted, 6000), 1);
    QTest::mouseDClick(preview->canvas(), Qt::LeftButton, {}, inside);
    QTest::mouseRelease(preview->canvas(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(preview->zoom(), 1);
}

TEST_F(PreviewWidgetTest, GridPageSelectsCellsAndPages) {
    GridSettings grid;
    grid.widthMM = 90;
    grid.heightMM = 120;
    grid.gapMM = 3;
    grid.autoTurn = false;
    grid.captions = true;
    model().setGrid(grid);
    model().setPhotosPerSheet(PhotosPerSheet::many);
    std::vector<PhotoItem> photos;
    for (int i = 0; i < 6; ++i) {
        photos.push_back(world.add(twoColourJpeg(300, 400, 0.5, true), "grid" + std::to_string(i) + ".jpg"));
    }
    model().setSelectedPhotoID(photos[0].id);
    show();

    EXPECT_EQ(preview->captionText().toStdString(), "용지 세로 209.9×297.0mm · 2×2 = 4칸 · 칸 90.0×120.0mm");
    EXPECT_EQ(preview->pagerText().toStdString(), "1/2장");
    EXPECT_FALSE(preview->previousPageChip()->isEnabled());
    EXPECT_TRUE(preview->nextPageChip()->isEnabled());
    WindowTest::saveArtifact(preview.get(), "preview-grid");

    const Outcome<PrintKit::GridPlan> plan = model().gridPlan(model().prepare());
    ASSERT_TRUE(plan.ok());
    auto cellCentre = [&](int i) {
        return preview->geometry().viewRect(plan.value->pageRect(plan.value->cells[i])).center().toPoint();
    };
    QTest::mouseClick(preview->canvas(), Qt::LeftButton, {}, cellCentre(3));
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return model().selectedPhotoID() == photos[3].id; }, 3000));
    // A double-click zooms and selects nothing.
    QTest::mouseClick(preview->canvas(), Qt::LeftButton, {}, cellCentre(2));
    QTest::mouseDClick(preview->canvas(), Qt::LeftButton, {}, cellCentre(2));
    QTest::mouseRelease(preview->canvas(), Qt::LeftButton, {}, cellCentre(2));
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    EXPECT_EQ(preview->zoom(), 2);
    EXPECT_EQ(model().selectedPhotoID(), photos[3].id);
    preview->setZoom(1);
    settle();

    // The next page selects its first photo; a tap on one of its empty cells changes nothing.
    QTest::mouseClick(preview->nextPageChip(), Qt::LeftButton);
    settle();
    EXPECT_EQ(model().gridPageIndex(), 1);
    EXPECT_EQ(model().selectedPhotoID(), photos[4].id);
    EXPECT_EQ(preview->pagerText().toStdString(), "2/2장");
    EXPECT_FALSE(preview->nextPageChip()->isEnabled());
    QTest::mouseClick(preview->canvas(), Qt::LeftButton, {}, cellCentre(3));
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    EXPECT_EQ(model().selectedPhotoID(), photos[4].id);
    // Selecting a photo of the first page in the list brings its page back.
    model().setSelectedPhotoID(photos[1].id);
    settle();
    EXPECT_EQ(preview->pagerText().toStdString(), "1/2장");
}

TEST_F(PreviewWidgetTest, PlacementAndGridProblemsShowInTheWarningColour) {
    show();
    const PhotoItem photo = world.add(twoColourJpeg(800, 600, 0.5));
    model().setSelectedPhotoID(photo.id);
    model().setExactSize(400, 300);
    model().setLayoutMode(LayoutMode::exact);
    settle();
    const auto runs = preview->captionRuns();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2].first.toStdString(), "400×300mm는 이 용지의 인쇄 영역보다 큽니다");
    EXPECT_EQ(runs[2].second, Theme::warn());
    EXPECT_EQ(runs[0].second, Theme::inkSecondary());
    EXPECT_EQ(runs[1].second, Theme::inkQuaternary());

    GridSettings grid;
    grid.widthMM = 400;
    grid.heightMM = 500;
    model().setGrid(grid);
    model().setPhotosPerSheet(PhotosPerSheet::many);
    settle();
    const auto gridRuns = preview->captionRuns();
    ASSERT_EQ(gridRuns.size(), 3u);
    EXPECT_EQ(gridRuns[2].second, Theme::warn());
    EXPECT_TRUE(gridRuns[2].first.contains(QStringLiteral("400.0×500.0"))) << gridRuns[2].first.toStdString();
    EXPECT_TRUE(preview->pagerText().isEmpty());
}
