#include "QuilmPrint/window/ContentView.h"

#include "QuilmPrint/window/ActionBar.h"
#include "QuilmPrint/window/Controls.h"
#include "QuilmPrint/window/QtDesktop.h"
#include "QuilmPrint/window/SplitMemory.h"
#include "RecordingDesktop.h"
#include "TestImages.h"
#include "WindowTestSupport.h"

#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QSettings>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTest>
#include <gtest/gtest.h>

using namespace QuilmPrint;

namespace {

struct ContentViewTest : ::testing::Test {
    RecordingDesktop& desktop = RecordingDesktop::install();
    WindowTest::IsolatedEnvironment environment;

    static void show(ContentView& view) {
        view.resize(1280, 780);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QApplication::processEvents();
    }

    static void dragHandle(QSplitter* split, int index, int dx) {
        QSplitterHandle* handle = split->handle(index);
        const QPoint from(0, handle->height() / 2);
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        // The handle follows the pointer, so one move of the whole distance.
        QTest::mouseMove(handle, from + QPoint(dx, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(0, handle->height() / 2));
    }
};

} // namespace

TEST_F(ContentViewTest, SplitPositionsSurviveASecondWindowOnTheSameSettings) {
    QList<int> defaults, moved;
    {
        ContentView view(environment.make());
        show(view);
        defaults = view.splitter()->sizes();
        dragHandle(view.splitter(), 1, 60);
        moved = view.splitter()->sizes();
        ASSERT_NEAR(moved[0], defaults[0] + 60, 3);
    }
    ContentView again(environment.make());
    show(again);
    EXPECT_EQ(again.splitter()->sizes(), moved);
    EXPECT_EQ(again.splitter()->objectName(), "QuilmPrint.main");
}

TEST_F(ContentViewTest, DamagedStoredSplitKeepsTheDefaults) {
    QList<int> defaults;
    QByteArray good;
    {
        ContentView view(environment.make());
        show(view);
        defaults = view.splitter()->sizes();
        dragHandle(view.splitter(), 2, -80);
        good = view.splitter()->saveState();
    }
    QByteArray hugeCount = good;
    hugeCount[8] = char(0x7f); // the count of sizes, big-endian after the marker and version
    for (const QByteArray& damaged :
         {QByteArray("not a split"), good.left(good.size() / 2), good.left(9), hugeCount, QByteArray()}) {
        {
            QSettings settings(QString::fromStdString(environment.settingsFile.string()),
                               QSettings::IniFormat);
            settings.setValue("QuilmPrint.main", damaged);
        }
        ContentView view(environment.make());
        show(view);
        EXPECT_EQ(view.splitter()->sizes(), defaults) << damaged.size() << " bytes";
    }
}

TEST(SplitMemoryTest, NamesTheInnermostSplitOnceAndWaitsForAPaneNotYetPlaced) {
    TestSupport::TemporaryDirectory folder;
    auto settings = std::make_shared<QSettings>(QString::fromStdString((folder / "s.ini").string()),
                                                QSettings::IniFormat);
    QSplitter outer;
    auto* inner = new QSplitter(Qt::Vertical, &outer);
    outer.addWidget(inner);
    auto* pane = new QWidget;
    EXPECT_EQ(SplitMemory::name(pane, "Test.split", settings), nullptr);
    SplitMemory::remember(pane, "Test.split", settings);
    inner->addWidget(pane);
    inner->addWidget(new QWidget);
    EXPECT_EQ(inner->objectName(), "");
    QApplication::processEvents();
    EXPECT_EQ(inner->objectName(), "Test.split");
    EXPECT_EQ(outer.objectName(), "");
    // Asking again changes nothing: the divider stays where the user put it.
    inner->setSizes({30, 70});
    const QList<int> sizes = inner->sizes();
    EXPECT_EQ(SplitMemory::name(pane, "Test.split", settings), inner);
    EXPECT_EQ(inner->sizes(), sizes);
}

TEST_F(ContentViewTest, ModelFailureIsShownOnceAsTheProblemAlert) {
    ContentView view(environment.make());
    show(view);
    view.model()->setFailure("이 프린터에 쓸 ICC 프로파일을 찾지 못했습니다");
    QTRY_COMPARE(desktop.asked.size(), size_t(1));
    EXPECT_EQ(desktop.asked[0].kind, "alert");
    EXPECT_EQ(desktop.asked[0].title, "문제가 생겼습니다");
    EXPECT_EQ(desktop.asked[0].text, "이 프린터에 쓸 ICC 프로파일을 찾지 못했습니다");
    EXPECT_TRUE(view.model()->failure().isEmpty());
    QApplication::processEvents();
    EXPECT_EQ(desktop.asked.size(), 1u);
}

TEST_F(ContentViewTest, NoticeShowsItsTextSpinnerAndRevealButton) {
    ContentView view(environment.make());
    show(view);
    const std::filesystem::path file = environment.folder / "QuilmPrint-export.pdf";
    view.model()->showNotice(Notice{"PDF 1장을 만들었습니다", false, file});
    EXPECT_EQ(view.noticeText(), "PDF 1장을 만들었습니다");
    ASSERT_TRUE(view.revealButton()->isVisible());
    EXPECT_EQ(view.revealButton()->text(), "파일 관리자에서 보기");
    QTest::mouseClick(view.revealButton(), Qt::LeftButton);
    ASSERT_EQ(desktop.revealed.size(), 1u);
    EXPECT_EQ(desktop.revealed[0], file);
    WindowTest::saveArtifact(&view, "window-notice");

    view.model()->showNotice(Notice{"PDF를 만드는 중입니다…", true, std::nullopt});
    EXPECT_FALSE(view.revealButton()->isVisible());
    view.model()->clearNotice();
    EXPECT_EQ(view.noticeText(), "");
}

TEST_F(ContentViewTest, SetUpSheetIsPresentedWhileTheModelAsksForIt) {
    ContentView view(environment.make());
    show(view);
    view.model()->setShowingSetup(true);
    QTRY_VERIFY(view.setupSheet() && view.setupSheet()->isVisible());
    EXPECT_EQ(view.setupSheet()->windowModality(), Qt::WindowModal);
    view.setupSheet()->reject();
    EXPECT_FALSE(view.model()->showingSetup());
    QTRY_VERIFY(!view.setupSheet());
    // The model may also take it away.
    view.model()->setShowingSetup(true);
    QTRY_VERIFY(view.setupSheet());
    view.model()->setShowingSetup(false);
    QTRY_VERIFY(!view.setupSheet());
}

TEST_F(ContentViewTest, DroppedFolderAddsThePhotosInside) {
    ContentView view(environment.make());
    show(view);
    const std::filesystem::path folder = environment.folder / "drop";
    std::filesystem::create_directories(folder / "inner");
    TestSupport::writeFile(folder / "a.jpg", TestImages::jpeg(TestImages::solid(40, 30, {200, 40, 40})));
    TestSupport::writeFile(folder / "inner" / "b.png",
                           TestImages::png(TestImages::solid(30, 40, {40, 200, 40})));
    TestSupport::writeFile(folder / "notes.txt", "not a photo");

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
    const QPoint centre = view.rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(view.isTargeted());
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &drop);
    EXPECT_FALSE(view.isTargeted());
    QTRY_COMPARE_WITH_TIMEOUT(view.model()->photos().size(), size_t(2), 10000);
}

TEST_F(ContentViewTest, TextDropIsRefused) {
    ContentView view(environment.make());
    show(view);
    QMimeData data;
    data.setText("/not/a/url");
    QDragEnterEvent enter(view.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&view, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_FALSE(view.isTargeted());
}

TEST_F(ContentViewTest, EmptyWindowBlocksPrintingAndSaving) {
    ContentView view(environment.make());
    show(view);
    EXPECT_FALSE(view.actionBar()->printButton()->isEnabled());
    EXPECT_FALSE(view.actionBar()->exportButton()->isEnabled());
    EXPECT_FALSE(view.saveButton()->isEnabled());
    EXPECT_FALSE(view.actionBar()->statusText().isEmpty());
    // Ctrl+P with something blocking prints nothing.
    view.printIfNothingBlocks();
    EXPECT_TRUE(view.model()->jobs().empty());
    // The printer menu always offers the set-up sheet.
    emit view.printerMenu()->aboutToShow();
    const QList<QAction*> actions = view.printerMenu()->actions();
    ASSERT_FALSE(actions.isEmpty());
    EXPECT_EQ(actions.back()->text(), "프린터 연결…");
    actions.back()->trigger();
    EXPECT_TRUE(view.model()->showingSetup());
    view.model()->setShowingSetup(false);
    WindowTest::saveArtifact(&view, "window-empty");
}

TEST_F(ContentViewTest, FailureAlertScreenshot) {
    ContentView view(environment.make());
    show(view);
    QImage picture = WindowTest::grab(&view);
    QMessageBox* box = QtDesktop::makeAlert(&view, "문제가 생겼습니다", "프린터가 작업을 중단했습니다");
    box->setWindowModality(Qt::WindowModal);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    const QImage alert = WindowTest::grab(box);
    EXPECT_EQ(box->text(), "문제가 생겼습니다");
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons()[0]->text(), "확인");
    {
        QPainter painter(&picture);
        painter.fillRect(picture.rect(), QColor(0, 0, 0, 90));
        painter.drawImage(QPoint((picture.width() - alert.width()) / 2, 120), alert);
    }
    WindowTest::saveArtifact(picture, "window-failure-alert");
    box->close();
}
