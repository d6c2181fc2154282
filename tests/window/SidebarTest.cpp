// The photo list: its rows' detail lines against the model's placement, the empty state and footer, hover,
// clicks and the row menu, and rows kept by photo id while the list and the sheet change.
#include "PreviewTestSupport.h"
#include "QuilmPrint/window/Controls.h"
#include "QuilmPrint/window/PhotoSidebar.h"
#include "QuilmPrint/window/Theme.h"
#include "RecordingDesktop.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using namespace PreviewTest;

namespace {

struct Shown {
    std::unique_ptr<PhotoSidebar> sidebar;

    explicit Shown(PrintModel* model) : sidebar(std::make_unique<PhotoSidebar>(model)) {
        Theme::apply(*qApp);
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
        if (std::optional<std::string> why = world.start()) {
            GTEST_SKIP() << *why;
        }
        // 127 × 84.7 mm is 5 inches wide: a photo prints at a fifth of its pixel width per inch.
        world.model->setExactSize(127, 127.0 * 2 / 3);
        world.model->setLayoutMode(LayoutMode::exact);
    }

    PrintModel& model() { return *world.model; }

    ModelWorld world;
};

} // namespace

TEST(SidebarEmptyTest, EmptyListInvitesPhotosAndTheAddButtonAsksForThem) {
    WindowTest::IsolatedEnvironment environment;
    PrintModel model(environment.make());
    RecordingDesktop& desktop = RecordingDesktop::install();
    Shown shown(&model);
    EXPECT_TRUE(shown->emptyState()->isVisible());
    EXPECT_FALSE(shown->list()->isVisible());
    EXPECT_FALSE(shown->clearButton()->isEnabled());
    EXPECT_EQ(shown->countLabel()->text().toStdString(), "0장");
    EXPECT_EQ(shown->addButton()->toolTip().toStdString(), "사진 추가");
    EXPECT_EQ(shown->clearButton()->toolTip().toStdString(), "목록 비우기");
    WindowTest::saveArtifact(shown.sidebar.get(), "sidebar-empty");

    // Without a printer the rows tell only the pixel size.
    const std::filesystem::path file = environment.folder / "one.jpg";
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
    EXPECT_EQ(shown->rowDetail(0), (PreviewText::PhotoDetail{QStringLiteral("3000×2000 · 600ppi"), false}));
    EXPECT_EQ(shown->rowDetail(1), (PreviewText::PhotoDetail{QStringLiteral("600×400 · 120ppi"), true}));
    EXPECT_EQ(shown->rowDetail(2), (PreviewText::PhotoDetail{QStringLiteral("1000×667 · 200ppi"), false}));

    // The flagged line is drawn in the warning colour and carries the warning as its tooltip.
    const QImage image = WindowTest::grab(shown.sidebar.get());
    auto hasWarnColour = [&](int row) {
        const QRect r = shown.row(row).translated(shown.viewport()->mapTo(shown.sidebar.get(), QPoint()));
        for (int y = r.center().y(); y < r.bottom(); ++y) {
            for (int x = r.left() + 66; x < r.left() + 160; ++x) {
                if (WindowTest::distance(image.pixelColor(x, y), Theme::warn()) < 40) {
                    return true;
                }
            }
        }
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

TEST_F(SidebarTest, HoverShowsTheRemoveButtonAndClicksSelectOrRemove) {
    const PhotoItem first = world.add(AppTestSupport::plainJpeg(300, 200), "first.jpg");
    const PhotoItem second = world.add(AppTestSupport::plainJpeg(300, 200), "second.jpg");
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
    QEnterEvent enter(QPointF(shown.row(0).center()), QPointF(shown.row(0).center()),
                      QPointF(shown.viewport()->mapToGlobal(shown.row(0).center())));
    QApplication::sendEvent(shown.viewport(), &enter);
    EXPECT_EQ(shown->list()->hoveredRow(), 0);
    EXPECT_TRUE(crossShown());
    QApplication::sendEvent(shown.viewport(), &leave);
    EXPECT_EQ(shown->list()->hoveredRow(), -1);

    QTest::mouseClick(shown.viewport(), Qt::LeftButton, {}, shown.row(1).center() - QPoint(40, 0));
    EXPECT_EQ(model().selectedPhotoID(), second.id);
    QTest::mouseClick(shown.viewport(), Qt::LeftButton, {}, shown.removeButton(0));
    settle();
    ASSERT_EQ(model().photos().size(), 1u);
    EXPECT_EQ(model().photos()[0].id, second.id);
    EXPECT_EQ(shown->countLabel()->text().toStdString(), "1장");
    EXPECT_NE(first.id, second.id);
}

TEST_F(SidebarTest, RowMenuPrintsRevealsAndRemoves) {
    RecordingDesktop& desktop = RecordingDesktop::install();
    const PhotoItem photo = world.add(AppTestSupport::plainJpeg(300, 200), "menu.jpg");
    world.add(AppTestSupport::plainJpeg(300, 200), "other.jpg");
    Shown shown(&model());
    std::unique_ptr<QMenu> menu(shown->makeContextMenu(photo.id));
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]->text().toStdString(), "이 사진만 출력");
    EXPECT_EQ(actions[1]->text().toStdString(), "파일 관리자에서 보기");
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_EQ(actions[3]->text().toStdString(), "목록에서 빼기");

    actions[1]->trigger();
    ASSERT_EQ(desktop.revealed.size(), 1u);
    EXPECT_EQ(desktop.revealed[0], photo.url);
    actions[3]->trigger();
    settle();
    ASSERT_EQ(model().photos().size(), 1u);
    EXPECT_EQ(model().photos()[0].name().toStdString(), "other.jpg");
    EXPECT_EQ(shown->rowCount(), 1);
    // The menu of a photo no longer listed does nothing.
    actions[3]->trigger();
    EXPECT_EQ(model().photos().size(), 1u);
}

TEST_F(SidebarTest, RowsAreKeptByPhotoIdAndOnlyChangedRowsRedrawn) {
    std::vector<PhotoItem> photos;
    for (int i = 0; i < 5; ++i) {
        photos.push_back(world.add(AppTestSupport::plainJpeg(300 * (i + 1), 200 * (i + 1))));
    }
    Shown shown(&model());
    QAbstractItemModel* rows = shown->list()->model();
    QSignalSpy resets(rows, &QAbstractItemModel::modelReset);
    QSignalSpy removed(rows, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);

    model().setSelectedPhotoID(photos[3].id);
    settle();
    // The row that was selected (the first, chosen when the photos came in) and the new one; nothing else.
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 0);
    EXPECT_EQ(changed[1][0].toModelIndex().row(), 3);
    EXPECT_EQ(changed[1][1].toModelIndex().row(), 3);

    changed.clear();
    model().setExactSize(127.0 * 2 / 3, 127); // a new size: every resolution changes
    settle();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 0);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 4);

    changed.clear();
    model().removePhoto(photos[1]);
    settle();
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(shown->rowID(2), photos[3].id);
}
