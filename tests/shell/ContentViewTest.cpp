// The main view: split memory, drops, alerts and notices that pass, the header's menus, the action bar, the
// jobs popover and the question before quitting.
#include "QuilmPrint/shell/ContentView.h"

#include "AppTestSupport.h"
#include "QuilmPrint/shared/Controls.h"
#include "QuilmPrint/shared/QtDesktop.h"
#include "QuilmPrint/shell/AppDelegate.h"
#include "QuilmPrint/shell/MainWindow.h"
#include "QuilmPrint/shell/SplitMemory.h"
#include "QuilmPrint/window/ActionBar.h"
#include "QuilmPrint/window/JobRow.h"
#include "QuilmPrint/window/JobsPanel.h"
#include "TestImages.h"
#include "shared/RecordingDesktop.h"
#include "shared/WindowTestSupport.h"

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace QuilmPrint;

namespace {
struct ContentViewTest : ::testing::Test {
    RecordingDesktop& desktop = RecordingDesktop::install();
    AppTestSupport::Sandbox sandbox;
    static void show(ContentView& view) {
        view.resize(1280, 780);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QApplication::processEvents();
    }
    // The entry of a menu as it is filled when it opens; "—" for a divider.
    static QAction* entry(QMenu* menu, const QString& text, QStringList* titles = nullptr) {
        emit menu->aboutToShow();
        QAction* found = nullptr;
        for (QAction* action : menu->actions()) {
            if (titles)
                *titles << (action->isSeparator() ? QStringLiteral("—") : action->text());
            if (action->text() == text && !found)
                found = action;
        }
        return found;
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

TEST_F(ContentViewTest, SplitPositionsSurviveASecondWindowAndADamagedStateKeepsTheDefaults) {
    QList<int> defaults, moved;
    {
        ContentView view(sandbox.environment());
        show(view);
        defaults = view.splitter()->sizes();
        dragHandle(view.splitter(), 1, 60);
        moved = view.splitter()->sizes();
        ASSERT_NEAR(moved[0], defaults[0] + 60, 3);
    }
    QByteArray good;
    {
        ContentView again(sandbox.environment());
        show(again);
        EXPECT_EQ(again.splitter()->sizes(), moved);
        EXPECT_EQ(again.splitter()->objectName(), "QuilmPrint.main");
        good = again.splitter()->saveState();
    }
    QByteArray hugeCount = good;
    hugeCount[8] = char(0x7f); // the count of sizes, big-endian after the marker and version
    for (const QByteArray& damaged :
         {QByteArray("not a split"), good.left(good.size() / 2), good.left(9), hugeCount, QByteArray()}) {
        QSettings(QString::fromStdString(sandbox.settingsFile().string()), QSettings::IniFormat)
            .setValue("QuilmPrint.main", damaged);
        ContentView view(sandbox.environment());
        show(view);
        EXPECT_EQ(view.splitter()->sizes(), defaults) << damaged.size() << " bytes";
    }
}

TEST(SplitMemoryTest, NamesTheInnermostSplitOnceItsPaneIsPlaced) {
    AppTestSupport::Sandbox sandbox;
    QSplitter outer;
    auto* inner = new QSplitter(Qt::Vertical, &outer);
    outer.addWidget(inner);
    auto* pane = new QWidget;
    SplitMemory::remember(pane, "Test.split", sandbox.settings()); // not yet placed: named once it is
    inner->addWidget(pane);
    inner->addWidget(new QWidget);
    QApplication::processEvents();
    EXPECT_EQ(std::make_pair(inner->objectName(), outer.objectName()),
              std::make_pair(QString("Test.split"), QString()));
}

TEST(SplitMemoryTest, APanePlacedInASplitLateIsNamedWhenItIsShownThere) {
    AppTestSupport::Sandbox sandbox;
    auto* holder = new QWidget;
    auto* pane = new QWidget(holder);
    SplitMemory::remember(pane, "Late.split", sandbox.settings());
    QApplication::processEvents(); // the first tries find no split
    QSplitter split;
    split.addWidget(holder); // the pane's holder moves; the pane learns of it when it is shown
    split.addWidget(new QWidget);
    split.resize(300, 80);
    split.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&split));
    EXPECT_EQ(split.objectName(), "Late.split");
}

TEST_F(ContentViewTest, AnEmptyWindowBlocksPrintingAndShowsFailuresNoticesAndTheSetUpSheet) {
    ContentView view(sandbox.environment());
    show(view);
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return !view.model()->isLoadingPrinters(); }));
    QApplication::processEvents();
    desktop.asked.clear(); // whatever the printer list said
    EXPECT_FALSE(view.actionBar()->printButton()->isEnabled());
    EXPECT_FALSE(view.actionBar()->exportButton()->isEnabled());
    EXPECT_FALSE(view.saveButton()->isEnabled());
    EXPECT_FALSE(view.actionBar()->statusText().isEmpty());
    view.printIfNothingBlocks(); // Ctrl+P with something blocking prints nothing
    EXPECT_TRUE(view.model()->jobs().empty());
    WindowTest::saveArtifact(&view, "window-empty");
    // A failure is shown once, as the problem alert.
    view.model()->setFailure("이 프린터에 쓸 ICC 프로파일을 찾지 못했습니다");
    QTRY_COMPARE(desktop.asked.size(), size_t(1));
    EXPECT_EQ(std::tie(desktop.asked[0].kind, desktop.asked[0].title, desktop.asked[0].text),
              std::make_tuple(QString("alert"), QString("문제가 생겼습니다"),
                              QString("이 프린터에 쓸 ICC 프로파일을 찾지 못했습니다")));
    EXPECT_TRUE(view.model()->failure().isEmpty());
    QApplication::processEvents();
    EXPECT_EQ(desktop.asked.size(), 1u);
    QImage picture = WindowTest::grab(&view);
    QMessageBox* box = QtDesktop::makeAlert(&view, "문제가 생겼습니다", "프린터가 작업을 중단했습니다");
    box->setWindowModality(Qt::WindowModal);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    EXPECT_EQ(box->text(), "문제가 생겼습니다");
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons()[0]->text(), "확인");
    {
        const QImage alert = WindowTest::grab(box);
        QPainter painter(&picture);
        painter.fillRect(picture.rect(), QColor(0, 0, 0, 90));
        painter.drawImage(QPoint((picture.width() - alert.width()) / 2, 120), alert);
    }
    WindowTest::saveArtifact(picture, "window-failure-alert");
    box->close();
    // A notice with its text, reveal button and spinner.
    const std::filesystem::path file = sandbox.root() / "QuilmPrint-export.pdf";
    view.model()->showNotice(Notice{"PDF 1장을 만들었습니다", false, file});
    EXPECT_EQ(view.noticeText(), "PDF 1장을 만들었습니다");
    ASSERT_TRUE(view.revealButton()->isVisible());
    EXPECT_EQ(view.revealButton()->text(), "파일 관리자에서 보기");
    QTest::mouseClick(view.revealButton(), Qt::LeftButton);
    EXPECT_EQ(desktop.revealed, std::vector<std::filesystem::path>{file});
    EXPECT_EQ(desktop.asked.size(), 1u);
    // Where neither the file manager nor the folder opens, the alert gives the folder to open by hand.
    desktop.refuses = true;
    QTest::mouseClick(view.revealButton(), Qt::LeftButton);
    desktop.refuses = false;
    ASSERT_EQ(desktop.asked.size(), 2u);
    EXPECT_EQ(std::tie(desktop.asked[1].title, desktop.asked[1].text),
              std::make_tuple(QString("폴더를 열지 못했습니다"),
                              "파일 관리자를 열지 못했습니다. 이 폴더를 직접 여세요:\n" +
                                  QString::fromStdString(sandbox.root().string())));
    WindowTest::saveArtifact(&view, "window-notice");
    view.model()->showNotice(Notice{"PDF를 만드는 중입니다…", true, std::nullopt});
    EXPECT_FALSE(view.revealButton()->isVisible());
    view.model()->clearNotice();
    EXPECT_EQ(view.noticeText(), "");
    // A notice passes from the header by itself, its button with it.
    view.model()->noticeLifetime = std::chrono::milliseconds(1);
    view.model()->showNotice(Notice{"PDF 1장을 만들었습니다", false, file});
    ASSERT_TRUE(view.revealButton()->isVisible());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return view.noticeText().isEmpty() && !view.revealButton()->isVisible(); }, 10000));
    // The set-up sheet is presented while the model asks for it; closing it, or the model, ends it.
    view.model()->setShowingSetup(true);
    QTRY_VERIFY(view.setupSheet() && view.setupSheet()->isVisible());
    EXPECT_EQ(view.setupSheet()->windowModality(), Qt::WindowModal);
    view.setupSheet()->reject();
    EXPECT_FALSE(view.model()->showingSetup());
    QTRY_VERIFY(!view.setupSheet());
    view.model()->setShowingSetup(true);
    QTRY_VERIFY(view.setupSheet());
    view.model()->setShowingSetup(false);
    QTRY_VERIFY(!view.setupSheet());
}

TEST_F(ContentViewTest, ADroppedFolderAddsThePhotosInsideAndTextIsRefused) {
    ContentView view(sandbox.environment());
    show(view);
    const std::filesystem::path folder = sandbox.root() / "drop";
    std::filesystem::create_directories(folder / "inner");
    TestSupport::writeFile(folder / "a.jpg", TestImages::jpeg(TestImages::solid(40, 30, {200, 40, 40})));
    TestSupport::writeFile(folder / "inner" / "b.png",
                           TestImages::png(TestImages::solid(30, 40, {40, 200, 40})));
    TestSupport::writeFile(folder / "notes.txt", "not a photo");
    const QPoint centre = view.rect().center();
    QMimeData text, data;
    text.setText("/not/a/url");
    QDragEnterEvent refused(centre, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(&view, &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_FALSE(view.isTargeted());
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(view.isTargeted());
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &drop);
    EXPECT_FALSE(view.isTargeted());
    QTRY_COMPARE_WITH_TIMEOUT(view.model()->photos().size(), size_t(2), 10000);
}

TEST_F(ContentViewTest, HeaderMenusAndTheActionBarOnThePhotoPrinter) {
    REQUIRE_PRINT_SERVER(server);
    ContentView view(sandbox.environment());
    show(view);
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    PrintModel* model = view.model();
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return !model->isLoadingPrinters(); }));
    AppTestSupport::selectAndWait(*model, AppTestSupport::p900Queue);
    QApplication::processEvents();
    // The printer menu lists the queues, marks the chosen one and ends with the set-up sheet.
    QStringList menu;
    QAction* photo = entry(view.printerMenu(), "TestbedPhoto", &menu);
    ASSERT_GE(menu.size(), 3);
    EXPECT_EQ(menu.mid(menu.size() - 2), (QStringList{"—", "프린터 연결…"}));
    QStringList checked;
    for (QAction* action : view.printerMenu()->actions())
        if (action->isChecked())
            checked << action->text();
    ASSERT_EQ(checked.size(), 1);
    EXPECT_TRUE(checked[0].contains(AppTestSupport::p900Queue)) << checked[0].toStdString();
    EXPECT_EQ(view.printerMenuButton()->menuLabel()->text,
              QString::fromStdString(model->selectedPrinter()->name()));
    for (QAction* action : view.printerMenu()->actions())
        if (action->text().contains("TestbedPhoto"))
            photo = action;
    ASSERT_TRUE(photo);
    photo->trigger(); // choosing another queue selects it
    EXPECT_EQ(model->printerID(), std::optional<std::string>("TestbedPhoto"));
    AppTestSupport::selectAndWait(*model, AppTestSupport::p900Queue);
    // A new recipe is saved with the shortcut, renamed, and deleted after confirmation.
    entry(view.recipeMenu(), "새 레시피")->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(model->recipe());
    EXPECT_FALSE(model->savedRecipe());
    EXPECT_TRUE(view.saveButton()->isEnabled());
    EXPECT_FALSE(entry(view.recipeMenu(), "삭제…")->isEnabled()); // nothing stored to delete yet
    QTest::keyClick(&view, Qt::Key_S, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_TRUE(model->savedRecipe());
    EXPECT_FALSE(view.saveButton()->isEnabled());
    const QString name = QString::fromStdString(model->recipe()->name);
    ASSERT_TRUE(entry(view.recipeMenu(), name));
    EXPECT_TRUE(entry(view.recipeMenu(), name)->isChecked());
    entry(view.recipeMenu(), "이름 바꾸기…")->trigger();
    ASSERT_TRUE(view.nameSheet() && view.nameSheet()->isVisible());
    EXPECT_EQ(view.nameField()->text(), name);
    view.nameField()->setText("바리타 310"); // as an input method commits it: QTest types ASCII only
    QTest::keyClick(view.nameField(), Qt::Key_Return);
    EXPECT_EQ(model->recipe()->name, "바리타 310");
    QApplication::processEvents();
    EXPECT_TRUE(view.saveButton()->isEnabled());
    EXPECT_EQ(view.recipeMenuButton()->menuLabel()->text, "바리타 310");
    desktop.confirmations = {false, true};
    entry(view.recipeMenu(), "삭제…")->trigger();
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(desktop.asked[0].accept, "삭제");
    EXPECT_TRUE(model->savedRecipe());
    entry(view.recipeMenu(), "삭제…")->trigger();
    EXPECT_FALSE(model->savedRecipe());
    // The action bar tells what will print, and exports into the chosen folder.
    const std::filesystem::path photoFile = sandbox.photoFolder() / "한강.jpg";
    TestSupport::writeFile(photoFile, AppTestSupport::plainJpeg(300, 200));
    AppTestSupport::addAndWait(*model, {photoFile});
    ActionBar* bar = view.actionBar();
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return bar->printButton()->isEnabled(); }, 5000))
        << bar->statusText().toStdString();
    EXPECT_EQ(bar->statusText(), "1장 · " + QString::fromStdString(model->selectedPrinter()->name()));
    EXPECT_EQ(bar->statusColour(), Theme::inkSecondary());
    bar->copiesBox()->setValue(3);
    EXPECT_EQ(model->copies(), 3);
    QApplication::processEvents();
    EXPECT_TRUE(bar->statusText().startsWith("1장 × 3부 · "));
    bar->copiesBox()->setValue(1);
    const std::filesystem::path folder = sandbox.root() / "export";
    std::filesystem::create_directories(folder);
    desktop.folder = folder;
    QTest::mouseClick(bar->exportButton(), Qt::LeftButton);
    ASSERT_EQ(desktop.asked.size(), 3u);
    EXPECT_EQ(desktop.asked[2].kind, "folder");
    EXPECT_TRUE(AppTestSupport::waitFor([&] { return std::filesystem::exists(folder / "한강.pdf"); }));
    // Without a photo, nothing to print is no fault: said in the quiet colour, and printing is off.
    model->removeAllPhotos();
    QApplication::processEvents();
    EXPECT_FALSE(bar->printButton()->isEnabled());
    EXPECT_EQ(bar->statusColour(), Theme::inkTertiary());
    view.printerMenu()->actions().back()->trigger(); // "프린터 연결…"
    EXPECT_TRUE(model->showingSetup());
    model->setShowingSetup(false);
}

using State = PrintJobItem::State;

namespace {
// The demonstration jobs are made when the model starts: the variable is set only around that.
template <typename W> void showWithDemoJobs(W& window) {
    setenv("QUILM_PRINT_DEMO_JOBS", "1", 1);
    window.show();
    const bool exposed = QTest::qWaitForWindowExposed(&window);
    unsetenv("QUILM_PRINT_DEMO_JOBS");
    ASSERT_TRUE(exposed);
}
} // namespace

TEST(JobsPanelTest, DemonstrationJobsShowEveryStateInWordsAndColourWithCancelWhileItCanStop) {
    RecordingDesktop::install();
    AppTestSupport::Sandbox sandbox;
    {
        PrintModel empty(sandbox.environment());
        EXPECT_TRUE(JobsPanel(&empty).showsEmptyNote());
    }
    ContentView view(sandbox.environment());
    view.resize(1280, 780);
    showWithDemoJobs(view);
    ASSERT_EQ(view.model()->jobs().size(), 8u);
    ActionBar* bar = view.actionBar();
    QApplication::processEvents();
    // Waiting, rendering, sending, printing and cancelling are still going on; rendering spins the button.
    EXPECT_EQ(bar->jobsButton()->text(), "5");
    EXPECT_TRUE(bar->jobsButton()->isSymbolBusy());
    QTest::mouseClick(bar->jobsButton(), Qt::LeftButton);
    JobsPanel* panel = bar->jobsPanel();
    ASSERT_TRUE(panel && panel->isVisible());
    EXPECT_FALSE(panel->showsEmptyNote());
    const std::map<State, std::tuple<QString, QColor, bool>> expected{
        {State::waiting, {"대기 중", Theme::inkTertiary(), true}},
        {State::rendering, {"준비 중", Theme::inkSecondary(), true}},
        {State::sending, {"보내는 중", Theme::inkSecondary(), true}},
        {State::printing, {"인쇄 중", Theme::active(), true}},
        {State::cancelling, {"취소하는 중", Theme::warn(), false}},
        {State::done, {"완료", Theme::good(), false}},
        {State::cancelled, {"취소됨", Theme::inkTertiary(), false}},
        {State::failed, {"인쇄 작업을 보내지 못했습니다: 프린터가 응답하지 않습니다", Theme::stop(), false}}};
    std::set<State> seen;
    for (JobRow* row : panel->rows()) {
        const auto& [words, colour, cancel] = expected.at(row->job().state);
        EXPECT_EQ(row->stateText(), words);
        EXPECT_EQ(jobStateColour(row->job()), colour) << words.toStdString();
        EXPECT_EQ(row->cancelButton()->isVisible(), cancel) << words.toStdString();
        seen.insert(row->job().state);
    }
    EXPECT_EQ(seen.size(), expected.size());
    // Above its button, right edges in line, on the screen.
    const QRect button(bar->jobsButton()->mapToGlobal(QPoint(0, 0)), bar->jobsButton()->size());
    EXPECT_EQ(std::make_pair(panel->geometry().bottom() + 1 + 6, panel->geometry().right()),
              std::make_pair(button.top(), button.right()));
    EXPECT_TRUE(view.screen()->availableGeometry().contains(panel->geometry()));
    // The popover is a window of its own: the screenshot puts it over the window where it opened.
    QImage picture = WindowTest::grab(&view);
    const QImage popover = WindowTest::grab(panel);
    QPainter(&picture).drawImage(panel->geometry().topLeft() - view.geometry().topLeft(), popover);
    WindowTest::saveArtifact(picture, "window-jobs");
    WindowTest::saveArtifact(popover, "jobs-popover");
    panel->close();
}

TEST(JobRowTest, DetailNamesTheJobNumberOnceKnownAndCancelAsksForItsOwnJob) {
    PrintJobItem job;
    job.id = QUuid::createUuid();
    job.queue = "TestbedPhoto";
    job.state = State::waiting;
    EXPECT_EQ(jobDetailText(job), "TestbedPhoto · 1부");
    job.state = State::printing;
    job.cupsJobID = 118;
    job.copies = 3;
    EXPECT_EQ(jobDetailText(job), "TestbedPhoto · 작업 118 · 3부");
    JobRow row(job);
    row.show();
    QUuid asked;
    QObject::connect(&row, &JobRow::cancelRequested, [&](const QUuid& id) { asked = id; });
    QTest::mouseClick(row.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(asked, job.id);
}

TEST(QuitGuardTest, AsksWithUnsentSheetsAndStaysWhenCancelled) {
    RecordingDesktop& desktop = RecordingDesktop::install();
    AppTestSupport::Sandbox sandbox;
    AppDelegate delegate;
    {
        MainWindow plain(&delegate, sandbox.environment()); // nothing unsent: nothing asked
        plain.show();
        EXPECT_TRUE(plain.close());
        EXPECT_TRUE(desktop.asked.empty());
    }
    MainWindow window(&delegate, sandbox.environment());
    showWithDemoJobs(window);
    const int unsent = window.content()->model()->unsentSheets();
    ASSERT_GE(unsent, 1);
    desktop.confirmations = {false, true};
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(desktop.asked.size(), 1u);
    const RecordingDesktop::Asked& asked = desktop.asked[0];
    EXPECT_EQ(asked.title, "보내지 않은 장 " + QString::number(unsent) + "장이 있습니다");
    EXPECT_EQ(asked.text, "지금 종료하면 아직 프린터로 보내지 않은 장은 출력되지 않습니다.");
    EXPECT_EQ(std::make_pair(asked.accept, asked.reject), std::make_pair(QString("종료"), QString("취소")));
    window.quitAction()->trigger(); // the quit command asks the same
    EXPECT_EQ(desktop.asked.size(), 2u);
    EXPECT_FALSE(window.isVisible());
}
