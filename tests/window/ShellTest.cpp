#include "QuilmPrint/window/AppDelegate.h"
#include "QuilmPrint/window/ContentView.h"
#include "QuilmPrint/window/MainWindow.h"
#include "QuilmPrint/window/QtDesktop.h"
#include "QuilmPrint/window/Updates.h"
#include "RecordingDesktop.h"
#include "WindowTestSupport.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace QuilmPrint;

namespace {

struct FakeUpdater : UpdateController {
    int* checks;
    explicit FakeUpdater(int* counter) : checks(counter) {}
    void checkForUpdates() override { ++*checks; }
};

struct ShellTest : ::testing::Test {
    RecordingDesktop& desktop = RecordingDesktop::install();
    WindowTest::IsolatedEnvironment environment;

    ~ShellTest() override { Updates::shared().reset(); }
};

} // namespace

TEST_F(ShellTest, MenuShortcutsReachOnlyTheirOwnNotification) {
    AppDelegate delegate;
    MainWindow window(&delegate, environment.make());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QSignalSpy open(&delegate, &AppDelegate::quilmPrintOpenFiles);
    QSignalSpy add(&delegate, &AppDelegate::quilmPrintAddPhotos);
    QSignalSpy print(&delegate, &AppDelegate::quilmPrintPrint);

    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(add.count(), 1);
    EXPECT_EQ(print.count(), 0);
    QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(add.count(), 1);
    EXPECT_EQ(print.count(), 1);
    EXPECT_EQ(open.count(), 0);
    // The view answered the add command with the photo chooser, and nothing else asked the user anything.
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(desktop.asked[0].kind, "photos");
    EXPECT_EQ(desktop.asked[0].title, "출력할 사진이나 폴더를 선택하세요");

    EXPECT_EQ(window.windowTitle(), "Quilm Print");
    EXPECT_EQ(window.size(), QSize(1280, 820));
    EXPECT_EQ(window.addPhotosAction()->text(), "사진 추가…");
    EXPECT_EQ(window.printAction()->text(), "출력");
    EXPECT_EQ(window.updatesAction()->text(), "업데이트 확인…");
}

TEST_F(ShellTest, UpdateCommandAnswersForEachStateOfTheBuild) {
    int checks = 0;
    std::optional<int> unsent;
    struct Case {
        Updates::BuildSettings settings;
        bool platformUpdater;
        std::optional<int> unsent;
        QString title, text;
        int checks;
    };
    const QString hold = "보내지 않은 장 2장이 있습니다. 인쇄를 프린터로 보낸 뒤 다시 확인하세요.";
    const Case cases[] = {
        {{"", ""},
         true,
         std::nullopt,
         "이 빌드는 업데이트를 받지 않습니다",
         "배포용 앱에서만 업데이트를 확인합니다.",
         0},
        {{"https://example.invalid/feed.xml", ""},
         true,
         std::nullopt,
         "이 빌드는 업데이트를 받지 않습니다",
         "배포용 앱에서만 업데이트를 확인합니다.",
         0},
        {{"", "key"},
         true,
         std::nullopt,
         "이 빌드는 업데이트를 받지 않습니다",
         "배포용 앱에서만 업데이트를 확인합니다.",
         0},
        {{"https://example.invalid/feed.xml", "key"},
         false,
         std::nullopt,
         "이 빌드는 업데이트를 받지 않습니다",
         "배포용 앱에서만 업데이트를 확인합니다.",
         0},
        {{"https://example.invalid/feed.xml", "key"},
         true,
         2,
         "지금은 업데이트를 확인할 수 없습니다",
         hold,
         0},
        {{"https://example.invalid/feed.xml", "key"}, true, 0, {}, {}, 1},
        {{"https://example.invalid/feed.xml", "key"}, true, std::nullopt, {}, {}, 1},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index++);
        Updates& updates = Updates::shared();
        updates.reset();
        updates.setBuildSettings(c.settings);
        if (c.platformUpdater)
            updates.setControllerFactory([&](Updates&) { return std::make_unique<FakeUpdater>(&checks); });
        unsent = c.unsent;
        updates.setUnsentSheets([&] { return unsent; });
        updates.start();
        checks = 0;
        desktop.asked.clear();
        updates.checkCommand(nullptr);
        EXPECT_EQ(checks, c.checks);
        if (c.title.isEmpty()) {
            EXPECT_TRUE(desktop.asked.empty());
            EXPECT_TRUE(updates.updaterMayCheck());
        } else {
            ASSERT_EQ(desktop.asked.size(), 1u);
            EXPECT_EQ(desktop.asked[0].kind, "alert");
            EXPECT_EQ(desktop.asked[0].title, c.title);
            EXPECT_EQ(desktop.asked[0].text, c.text);
        }
        EXPECT_EQ(updates.updaterMayCheck(), !c.unsent || *c.unsent < 1);
    }
}

TEST_F(ShellTest, UpdatesHoldNothingWithoutALiveModel) {
    Updates::shared().reset();
    EXPECT_EQ(Updates::shared().holdReason(), std::nullopt);
    {
        ContentView view(environment.make());
        view.model()->start();
        EXPECT_EQ(Updates::shared().holdReason(), std::nullopt); // a model with no jobs
    }
    EXPECT_EQ(PrintModel::current(), nullptr);
    EXPECT_EQ(Updates::shared().holdReason(), std::nullopt);
}

TEST_F(ShellTest, QuitGuardQuestionNamesTheUnsentSheets) {
    EXPECT_EQ(quitQuestion(0), std::nullopt);
    const auto question = quitQuestion(3);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->title, "보내지 않은 장 3장이 있습니다");
    EXPECT_EQ(question->text, "지금 종료하면 아직 프린터로 보내지 않은 장은 출력되지 않습니다.");
}

TEST_F(ShellTest, ClosingWithoutUnsentSheetsAsksNothing) {
    AppDelegate delegate;
    MainWindow window(&delegate, environment.make());
    window.show();
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(desktop.asked.empty());
}

TEST_F(ShellTest, SecondLaunchHandsItsFilesToTheRunningOne) {
    AppDelegate delegate;
    ASSERT_TRUE(delegate.listen());
    QSignalSpy open(&delegate, &AppDelegate::quilmPrintOpenFiles);
    const std::vector<std::filesystem::path> files{"/photos/한글 이름.jpg", "/photos/folder"};
    std::atomic<int> handed{-1};
    std::thread second([&] { handed = AppDelegate::handOver(files, 3000) ? 1 : 0; });
    QTRY_VERIFY_WITH_TIMEOUT(handed != -1, 5000);
    second.join();
    EXPECT_EQ(handed, 1);
    QTRY_COMPARE(open.count(), 1);
    EXPECT_EQ(delegate.takePendingFiles(), files);
    EXPECT_TRUE(delegate.takePendingFiles().empty());
}

TEST_F(ShellTest, NobodyToHandOverToMeansThisLaunchKeepsItsFiles) {
    // No instance listens under this test's private runtime folder.
    EXPECT_FALSE(AppDelegate::handOver({"/photos/a.jpg"}, 200));
}

TEST(AppDelegateTest, FilesFromTheCommandLineAreMadeAbsoluteAndOptionsSkipped) {
    const auto files = AppDelegate::filesFromArguments(
        {"QuilmPrint", "--verbose", "/abs/a.jpg", "relative.png", "--", "-dash.tif"});
    const std::filesystem::path here = std::filesystem::current_path();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], "/abs/a.jpg");
    EXPECT_EQ(files[1], here / "relative.png");
    EXPECT_EQ(files[2], here / "-dash.tif");
}

TEST(PhotoFileDialogTest, AcceptsAChosenFolderInsteadOfOpeningIt) {
    TestSupport::TemporaryDirectory folder;
    std::filesystem::create_directories(folder / "여행");
    TestSupport::writeFile(folder / "a.jpg", "not decoded here");
    struct Case {
        QStringList chosen;
        bool accepted;
    };
    const Case cases[] = {{{"여행"}, true}, {{"a.jpg", "여행"}, true}, {{}, false}};
    for (const Case& c : cases) {
        PhotoFileDialog dialog(nullptr, "출력할 사진이나 폴더를 선택하세요");
        dialog.setDirectory(QString::fromStdString(folder.path().string()));
        QStringList quoted;
        for (const QString& name : c.chosen)
            quoted << '"' + name + '"';
        dialog.selectFile(quoted.join(' '));
        dialog.open();
        QApplication::processEvents();
        dialog.accept();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted) << c.chosen.join(',').toStdString();
        if (c.accepted) {
            QStringList names;
            for (const QString& file : dialog.selectedFiles())
                names << QFileInfo(file).fileName();
            names.sort();
            QStringList expected = c.chosen;
            expected.sort();
            EXPECT_EQ(names, expected);
        }
        dialog.close();
    }
}
