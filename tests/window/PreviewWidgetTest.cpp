// The sheet preview and the photo list on a real model and the private printer server: what they show and
// say, and what their pointer gestures hand to the model.
#include "PreviewTestSupport.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/Theme.h"
#include "QuilmPrint/window/PhotoSidebar.h"
#include "QuilmPrint/window/SheetPreview.h"
#include "SheetProbe.h"
#include "shared/RecordingDesktop.h"
#include "shared/WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
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
        if (std::optional<std::string> why = world.start())
            GTEST_SKIP() << *why;
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
    // A photo of the two colours, selected, in the exact layout at 100 × 75 mm.
    PhotoItem exactPhoto() {
        const PhotoItem photo = world.add(twoColourJpeg(800, 600, 0.5));
        model().setSelectedPhotoID(photo.id);
        model().setExactSize(100, 75);
        model().setLayoutMode(LayoutMode::exact);
        settle();
        return photo;
    }
    void doubleClick(QPoint at) {
        QTest::mouseDClick(preview->canvas(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(preview->canvas(), Qt::LeftButton, {}, at); // the double-click leaves it pressed
        settle();
    }
    ModelWorld world;
    std::unique_ptr<SheetPreview> preview;
};
} // namespace

TEST(PreviewMessageTest, WhilePrintersLoadThePaneSaysWhy) {
    PrintModel model(AppTestSupport::Sandbox().environment());
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
    model().setSelectedPhotoID(world.add(twoColourJpeg(1200, 800, 0.5)).id);
    settle();
    EXPECT_TRUE(preview->captionText().startsWith("용지 가로 297.0×209.9mm"));
}

TEST_F(PreviewWidgetTest, BorderlessSheetNamesWhatHappensAtTheEdges) {
    model().setSource("SFBL");
    model().setBleedCompensation(true);
    world.sandbox.settings()->setValue(
        ModelSettings::bleedExpansionKey(AppTestSupport::p900Queue, "A4.Borderless"), 1.04);
    show();
    model().setSelectedPhotoID(world.add(twoColourJpeg(800, 1200, 0.5)).id);
    model().setLayoutMode(LayoutMode::fill);
    settle();
    ASSERT_TRUE(model().prepare().bleed.has_value());
    EXPECT_TRUE(preview->captionText().startsWith(
        "용지 세로 209.9×297.0mm · 여백 없음 · 가장자리 보정 · 사진은 종이 크기에 맞춤 · 사진 "))
        << preview->captionText().toStdString();
    WindowTest::saveArtifact(preview.get(), "preview-borderless");
    model().setBleedCompensation(false);
    settle();
    EXPECT_TRUE(preview->captionText().contains("여백 없음 · 드라이버가 조금 키워서 인쇄합니다"));
}

TEST_F(PreviewWidgetTest, ResizingSnapsAndKeepsTheMinimumAndDraggingSetsTheOffsetOncePerMove) {
    show();
    const PhotoItem photo = exactPhoto();
    const Rect start = model().placement(photo, model().prepare()).value->rect;
    const Rect area(8.5, 9, 578, 820); // A4's printable area, no margin
    const double scale = preview->geometry().scale;
    // The right handle dragged to 3 points short of the printable area's right edge lands on it.
    const QPoint right = handlePoint(ResizeHandle::right, placed()).toPoint();
    const QPoint to =
        right + QPoint(static_cast<int>(std::round((area.maxX() - 3 - start.maxX()) * scale)), 0);
    QTest::mousePress(preview->canvas(), Qt::LeftButton, {}, right);
    QTest::mouseMove(preview->canvas(), (right + to) / 2);
    QTest::mouseMove(preview->canvas(), to);
    settle();
    EXPECT_TRUE(preview->isDragging());
    WindowTest::saveArtifact(preview.get(), "preview-exact-resize");
    QTest::mouseRelease(preview->canvas(), Qt::LeftButton, {}, to);
    EXPECT_FALSE(preview->isDragging());
    EXPECT_NEAR(model().exactWidthMM(), (area.maxX() - start.minX()) * millimetres, 1e-9);
    EXPECT_NEAR(model().exactHeightMM(), start.height() * millimetres, 1e-9);
    EXPECT_NEAR(model().offsets().value(photo.id).width, (start.minX() + area.maxX()) / 2 - area.midX(),
                1e-9);
    EXPECT_NEAR(model().offsets().value(photo.id).height, start.midY() - area.midY(), 1e-9);
    // The left handle dragged past the right edge: 20 points wide, the right edge kept.
    settle();
    const Rect now = model().placement(photo, model().prepare()).value->rect;
    const QPoint left = handlePoint(ResizeHandle::left, placed()).toPoint();
    drag(preview->canvas(), left, left + QPoint(static_cast<int>((now.width() - 5) * scale), 0), 3);
    EXPECT_NEAR(model().exactWidthMM(), 20 * millimetres, 1e-9);
    EXPECT_NEAR(model().offsets().value(photo.id).width, now.maxX() - 10 - area.midX(), 1e-9);
    // On a larger sheet, a drag moves the photo: one model call per move.
    model().chooseSheet("A3");
    model().setExactSize(100, 75);
    model().centerPhoto(photo);
    settle();
    const QPoint from = placed().center().toPoint();
    QSignalSpy changes(&model(), &PrintModel::layoutChanged);
    drag(preview->canvas(), from, from + QPoint(30, -20), 5);
    EXPECT_EQ(changes.count(), 5);
    EXPECT_DOUBLE_EQ(model().offsets().value(photo.id).width, 30 / preview->geometry().scale);
    EXPECT_DOUBLE_EQ(model().offsets().value(photo.id).height, 20 / preview->geometry().scale);
    settle();
    ASSERT_TRUE(preview->centerChip()->isVisibleTo(preview.get()));
    EXPECT_EQ(preview->centerChip()->toolTip().toStdString(), "끌어 옮긴 위치를 되돌립니다");
    QTest::mouseClick(preview->centerChip(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(model().offsets().contains(photo.id));
    EXPECT_FALSE(preview->centerChip()->isVisibleTo(preview.get()));
    // A drag that starts beside the photo and crosses it does nothing.
    changes.clear();
    drag(preview->canvas(), (placed().topLeft() - QPointF(30, 30)).toPoint(), placed().center().toPoint());
    EXPECT_EQ(changes.count(), 0);
    // Too large for the sheet: the caption says so in the warning colour.
    model().setExactSize(400, 300);
    settle();
    const auto runs = preview->captionRuns();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2].first.toStdString(), "400×300mm는 이 용지의 인쇄 영역보다 큽니다");
    EXPECT_EQ(runs[2].second, Theme::warn());
    EXPECT_NE(runs[0].second, Theme::warn());
}

TEST_F(PreviewWidgetTest, DoubleClickAndChipsSetTheZoom) {
    show();
    model().setSelectedPhotoID(world.add(twoColourJpeg(6000, 4000, 0.5)).id);
    settle();
    const QSize viewport = preview->canvas()->size();
    doubleClick({10, 10});
    EXPECT_EQ(preview->zoom(), 2);
    EXPECT_GT(preview->canvas()->width(), viewport.width());
    EXPECT_EQ(preview->scrollArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    doubleClick({10, 10});
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
    doubleClick({10, 10});
    EXPECT_EQ(preview->zoom(), 1);
}

TEST_F(PreviewWidgetTest, GridPageSelectsCellsAndPages) {
    model().setGrid(GridSettings{90, 120, 3, false, false, true, true, true, false});
    model().setPhotosPerSheet(PhotosPerSheet::many);
    std::vector<PhotoItem> photos;
    for (int i = 0; i < 6; ++i)
        photos.push_back(world.add(twoColourJpeg(300, 400, 0.5, true), "grid" + std::to_string(i) + ".jpg"));
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
    doubleClick(cellCentre(2));
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
    // A cell larger than the page: the planner's message in the warning colour, and no pager.
    model().setGrid(GridSettings{400, 500, 3, true, false, true, true, false, false});
    settle();
    const auto runs = preview->captionRuns();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2].second, Theme::warn());
    EXPECT_TRUE(runs[2].first.contains("400.0×500.0")) << runs[2].first.toStdString();
    EXPECT_TRUE(preview->pagerText().isEmpty());
}

TEST_F(PreviewWidgetTest, EveryGridCellShowsThePhotoThatTheExportedSheetPrintsThere) {
    // Photos of one colour each, told apart on the screen and on the printed sheet alike; -1 is the paper.
    const std::vector<QColor> solids = {red, QColor(40, 200, 60), blue, QColor(230, 210, 40),
                                        QColor(200, 40, 200)};
    auto photoShown = [&](const QColor& colour) {
        for (int i = 0; i < static_cast<int>(solids.size()); ++i)
            if (near(colour, solids[i], 40))
                return i;
        return -1;
    };
    model().chooseSheet("4x6");
    model().setGrid(GridSettings{45, 70, 3, false, false, false, false, false, false});
    model().setPhotosPerSheet(PhotosPerSheet::many);
    std::vector<PhotoItem> photos;
    for (const QColor& c : solids)
        photos.push_back(world.add(TestImages::jpeg(TestImages::solid(
            120, 160, {std::uint16_t(c.red()), std::uint16_t(c.green()), std::uint16_t(c.blue())}))));
    model().setSelectedPhotoID(photos[0].id);
    show();
    const PrintKit::GridPlan plan = *model().gridPlan(model().prepare()).value;
    ASSERT_EQ(plan.count(), 4);
    using Sheets = std::vector<std::vector<int>>; // per sheet, the photo in each cell
    // The preview's pages, and the sheets an export writes (pdftoppm at 40 dpi, y down from the top).
    auto expectSheets = [&](const Sheets& expected, const char* what) {
        Sheets previewed, printed;
        for (int index = 0; index < static_cast<int>(model().gridPages().size()); ++index) {
            model().showGridPage(index);
            settle();
            const QImage image = canvas();
            previewed.emplace_back();
            for (const PrintKit::PixelRect& cell : plan.cells)
                previewed.back().push_back(
                    photoShown(at(image, preview->geometry().viewRect(plan.pageRect(cell)).center())));
        }
        const std::filesystem::path folder = world.sandbox.root() / what;
        std::filesystem::create_directories(folder);
        model().exportPDFs(folder);
        ASSERT_TRUE(AppTestSupport::waitFor([&] { return model().notice() && !model().notice()->working; }));
        for (int sheet = 1; std::filesystem::exists(folder / ("페이지 " + std::to_string(sheet) + ".pdf"));
             ++sheet) {
            const SheetProbe::Raster raster =
                SheetProbe::raster(folder / ("페이지 " + std::to_string(sheet) + ".pdf"), 40);
            printed.emplace_back();
            for (const PrintKit::PixelRect& cell : plan.cells) {
                const PrintKit::Rect r = plan.pageRect(cell);
                const int x = int((r.origin.x + r.size.width / 2) * 40 / 72);
                const int y = raster.height - 1 - int((r.origin.y + r.size.height / 2) * 40 / 72);
                printed.back().push_back(
                    photoShown(QColor(raster.at(x, y, 0), raster.at(x, y, 1), raster.at(x, y, 2))));
            }
        }
        EXPECT_EQ(previewed, expected) << what;
        EXPECT_EQ(printed, expected) << what;
    };

    expectSheets({{0, 1, 2, 3}, {4, -1, -1, -1}}, "five photos on two sheets");
    model().removePhoto(photos[4]);
    model().removePhoto(photos[3]);
    expectSheets({{0, 1, 2, -1}}, "three photos in four cells");
    model().setSelectedPhotoID(photos[1].id);
    GridSettings repeating = model().grid();
    repeating.repeatsOne = true;
    model().setGrid(repeating);
    expectSheets({{1, 1, 1, 1}}, "the selected one of three photos repeated");
    // Every cell is the selected photo: a tap on any keeps it.
    QTest::mouseClick(preview->canvas(), Qt::LeftButton, {},
                      preview->geometry().viewRect(plan.pageRect(plan.cells[3])).center().toPoint());
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    EXPECT_EQ(model().selectedPhotoID(), photos[1].id);
    WindowTest::saveArtifact(preview.get(), "preview-grid-repeated");
    model().removePhoto(photos[2]);
    model().removePhoto(photos[1]);
    model().setSelectedPhotoID(photos[0].id);
    expectSheets({{0, 0, 0, 0}}, "a single photo repeated");
}

namespace {
struct Shown {
    std::unique_ptr<PhotoSidebar> sidebar;
    explicit Shown(PrintModel* model) : sidebar(std::make_unique<PhotoSidebar>(model)) {
        sidebar->resize(268, 420);
        sidebar->show();
        settle();
    }
    PhotoSidebar* operator->() const { return sidebar.get(); }
    QWidget* viewport() const { return sidebar->list()->viewport(); }
    QRect row(int i) const { return sidebar->list()->visualRect(sidebar->list()->model()->index(i, 0)); }
    // The remove button sits at the row's right end, 12 points in, 20 points square.
    QPoint removeButton(int i) const { return QPoint(row(i).right() - 12 - 9, row(i).center().y()); }
};

class SidebarTest : public testing::Test {
protected:
    void SetUp() override {
        if (std::optional<std::string> why = world.start())
            GTEST_SKIP() << *why;
        // 127 × 84.7 mm is 5 inches wide: a photo prints at a fifth of its pixel width per inch.
        world.model->setExactSize(127, 127.0 * 2 / 3);
        world.model->setLayoutMode(LayoutMode::exact);
    }
    PrintModel& model() { return *world.model; }
    ModelWorld world;
};
} // namespace

TEST(SidebarEmptyTest, EmptyListInvitesPhotosAndTheAddButtonAsksForThem) {
    AppTestSupport::Sandbox sandbox;
    PrintModel model(sandbox.environment());
    RecordingDesktop& desktop = RecordingDesktop::install();
    Shown shown(&model);
    EXPECT_TRUE(shown->emptyState()->isVisible());
    EXPECT_FALSE(shown->list()->isVisible());
    EXPECT_FALSE(shown->clearButton()->isEnabled());
    EXPECT_EQ(shown->countLabel()->text().toStdString(), "0장");
    EXPECT_EQ(std::make_pair(shown->addButton()->toolTip(), shown->clearButton()->toolTip()),
              std::make_pair(QString("사진 추가"), QString("목록 비우기")));
    WindowTest::saveArtifact(shown.sidebar.get(), "sidebar-empty");
    // Without a printer the rows tell only the pixel size.
    const std::filesystem::path file = sandbox.root() / "one.jpg";
    TestSupport::writeFile(file, AppTestSupport::plainJpeg(300, 200));
    desktop.photos = {file};
    QTest::mouseClick(shown->addButton(), Qt::LeftButton);
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(desktop.asked[0].title.toStdString(), "출력할 사진이나 폴더를 선택하세요");
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return model.photos().size() == 1; }));
    settle();
    EXPECT_EQ(shown->countLabel()->text().toStdString(), "1장");
    EXPECT_TRUE(shown->clearButton()->isEnabled());
    EXPECT_FALSE(shown->emptyState()->isVisible());
    ASSERT_EQ(shown->rowCount(), 1);
    EXPECT_EQ(shown->rowDetail(0), (PreviewText::PhotoDetail{QStringLiteral("300×200"), false}));
    // An empty choice adds nothing.
    desktop.photos.clear();
    QTest::mouseClick(shown->addButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(model.photos().size(), 1u);
    QTest::mouseClick(shown->clearButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(shown->countLabel()->text().toStdString(), "0장");
    EXPECT_TRUE(shown->emptyState()->isVisible());
}

TEST_F(SidebarTest, DetailLinesTellThePrintResolutionAndWarnBelowTwoHundred) {
    world.add(AppTestSupport::plainJpeg(3000, 2000), "sharp.jpg");
    world.add(AppTestSupport::plainJpeg(600, 400), "small.jpg");
    world.add(AppTestSupport::plainJpeg(1000, 667), "edge.jpg");
    Shown shown(&model());
    ASSERT_EQ(shown->rowCount(), 3);
    using D = PreviewText::PhotoDetail;
    EXPECT_EQ((std::vector<D>{shown->rowDetail(0), shown->rowDetail(1), shown->rowDetail(2)}),
              (std::vector<D>{
                  {"3000×2000 · 600ppi", false}, {"600×400 · 120ppi", true}, {"1000×667 · 200ppi", false}}));
    // The flagged line is drawn in the warning colour and carries the warning as its tooltip.
    const QImage image = WindowTest::grab(shown.sidebar.get());
    auto hasWarnColour = [&](int row) {
        const QRect r = shown.row(row).translated(shown.viewport()->mapTo(shown.sidebar.get(), QPoint()));
        for (int y = r.center().y(); y < r.bottom(); ++y)
            for (int x = r.left() + 66; x < r.left() + 160; ++x)
                if (WindowTest::distance(image.pixelColor(x, y), Theme::warn()) < 40)
                    return true;
        return false;
    };
    EXPECT_TRUE(hasWarnColour(1));
    EXPECT_FALSE(hasWarnColour(0));
    const QPoint detailLine(shown.row(1).left() + 80, shown.row(1).center().y() + 9);
    EXPECT_EQ(shown->list()->toolTipAt(detailLine), PhotoSidebar::lowResolutionWarning);
    EXPECT_TRUE(shown->list()->toolTipAt(QPoint(detailLine.x(), shown.row(0).center().y() + 9)).isEmpty());
    EXPECT_EQ(shown->list()->toolTipAt(shown.removeButton(0)).toStdString(), "목록에서 빼기");
    WindowTest::saveArtifact(shown.sidebar.get(), "sidebar-rows");
    // A layout the photo cannot take shows the pixel size alone.
    model().setExactSize(1000, 1000);
    settle();
    EXPECT_EQ(shown->rowDetail(0), (PreviewText::PhotoDetail{QStringLiteral("3000×2000"), false}));
}

TEST_F(SidebarTest, HoverShowsTheRemoveButtonClicksSelectOrRemoveAndTheRowMenuRevealsAndRemoves) {
    RecordingDesktop& desktop = RecordingDesktop::install();
    const PhotoItem first = world.add(AppTestSupport::plainJpeg(300, 200), "first.jpg");
    const PhotoItem second = world.add(AppTestSupport::plainJpeg(300, 200), "second.jpg");
    const PhotoItem third = world.add(AppTestSupport::plainJpeg(300, 200), "third.jpg");
    Shown shown(&model());
    auto crossShown = [&] {
        const QImage image = WindowTest::grab(shown.sidebar.get());
        return image.pixelColor(shown.viewport()->mapTo(shown.sidebar.get(), shown.removeButton(0)))
                   .lightness() > 80;
    };
    // Offscreen, the pointer may be left anywhere by earlier tests: start with it outside.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(shown.viewport(), &leave);
    EXPECT_FALSE(crossShown());
    const QPointF centre = shown.row(0).center();
    QEnterEvent enter(centre, centre, QPointF(shown.viewport()->mapToGlobal(shown.row(0).center())));
    QApplication::sendEvent(shown.viewport(), &enter);
    EXPECT_EQ(shown->list()->hoveredRow(), 0);
    EXPECT_TRUE(crossShown());
    QApplication::sendEvent(shown.viewport(), &leave);
    EXPECT_EQ(shown->list()->hoveredRow(), -1);
    QTest::mouseClick(shown.viewport(), Qt::LeftButton, {}, shown.row(1).center() - QPoint(40, 0));
    EXPECT_EQ(model().selectedPhotoID(), second.id);
    QTest::mouseClick(shown.viewport(), Qt::LeftButton, {}, shown.removeButton(0));
    settle();
    ASSERT_EQ(model().photos().size(), 2u);
    EXPECT_EQ(model().photos()[0].id, second.id);
    EXPECT_EQ(shown->countLabel()->text().toStdString(), "2장");
    std::unique_ptr<QMenu> menu(shown->makeContextMenu(second.id));
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ((QStringList{actions[0]->text(), actions[1]->text(), actions[3]->text()}),
              (QStringList{"이 사진만 출력", "파일 관리자에서 보기", "목록에서 빼기"}));
    EXPECT_TRUE(actions[2]->isSeparator());
    actions[1]->trigger();
    EXPECT_EQ(desktop.revealed, std::vector<std::filesystem::path>{second.url});
    actions[3]->trigger();
    settle();
    ASSERT_EQ(model().photos().size(), 1u);
    EXPECT_EQ(model().photos()[0].id, third.id);
    EXPECT_EQ(shown->rowCount(), 1);
    actions[3]->trigger(); // the menu of a photo no longer listed does nothing
    EXPECT_EQ(model().photos().size(), 1u);
    EXPECT_NE(first.id, third.id);
}

TEST_F(SidebarTest, RowsAreKeptByPhotoIdAndOnlyChangedRowsRedrawn) {
    std::vector<PhotoItem> photos;
    for (int i = 0; i < 5; ++i)
        photos.push_back(world.add(AppTestSupport::plainJpeg(300 * (i + 1), 200 * (i + 1))));
    Shown shown(&model());
    QAbstractItemModel* rows = shown->list()->model();
    QSignalSpy resets(rows, &QAbstractItemModel::modelReset);
    QSignalSpy removed(rows, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
    model().setSelectedPhotoID(photos[3].id);
    settle();
    // The row that was selected (the first, chosen when the photos came in) and the new one; nothing else.
    auto ranges = [&] {
        std::vector<std::pair<int, int>> result;
        for (const QList<QVariant>& signal : changed)
            result.emplace_back(signal[0].toModelIndex().row(), signal[1].toModelIndex().row());
        changed.clear();
        return result;
    };
    EXPECT_EQ(ranges(), (std::vector<std::pair<int, int>>{{0, 0}, {3, 3}}));
    model().setExactSize(127.0 * 2 / 3, 127); // a new size: every resolution changes
    settle();
    EXPECT_EQ(ranges(), (std::vector<std::pair<int, int>>{{0, 4}}));
    model().removePhoto(photos[1]);
    settle();
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(shown->rowID(2), photos[3].id);
}
