#include "QuilmPrint/window/ActionBar.h"
#include "QuilmPrint/window/AppDelegate.h"
#include "QuilmPrint/window/ContentView.h"
#include "QuilmPrint/window/Controls.h"
#include "QuilmPrint/window/JobRow.h"
#include "QuilmPrint/window/JobsPanel.h"
#include "QuilmPrint/window/MainWindow.h"
#include "RecordingDesktop.h"
#include "WindowTestSupport.h"

#include <QLabel>
#include <QPainter>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using State = PrintJobItem::State;

namespace {

PrintJobItem job(State state, int cupsJobID = 0, int copies = 1) {
    PrintJobItem item;
    item.id = QUuid::createUuid();
    item.photoName = "IMG_0001.jpg";
    item.queue = "TestbedPhoto";
    item.state = state;
    item.cupsJobID = cupsJobID;
    item.copies = copies;
    return item;
}

// The demonstration jobs are applied when the model starts; the variable is set only around that.
struct DemoJobs {
    DemoJobs() { setenv("QUILM_PRINT_DEMO_JOBS", "1", 1); }
    ~DemoJobs() { unsetenv("QUILM_PRINT_DEMO_JOBS"); }
};

} // namespace

TEST(JobRowTest, EveryStateReadsInWordsAndColourWithCancelWhileItCanStop) {
    struct Case {
        State state;
        QString words;
        QColor colour;
        bool cancel;
    };
    const Case cases[] = {
        {State::waiting, "대기 중", Theme::inkTertiary(), true},
        {State::rendering, "준비 중", Theme::inkSecondary(), true},
        {State::sending, "보내는 중", Theme::inkSecondary(), true},
        {State::printing, "인쇄 중", Theme::active(), true},
        {State::cancelling, "취소하는 중", Theme::warn(), false},
        {State::done, "완료", Theme::good(), false},
        {State::cancelled, "취소됨", Theme::inkTertiary(), false},
    };
    for (const Case& c : cases) {
        JobRow row(job(c.state, 12, 2));
        row.show();
        EXPECT_EQ(row.stateText(), c.words);
        EXPECT_EQ(jobStateColour(row.job()), c.colour) << c.words.toStdString();
        EXPECT_EQ(row.cancelButton()->isVisible(), c.cancel) << c.words.toStdString();
    }
    PrintJobItem failed = job(State::failed);
    failed.message = "인쇄 작업을 보내지 못했습니다: 프린터가 응답하지 않습니다";
    JobRow row(failed);
    EXPECT_EQ(row.stateText(), failed.message);
    EXPECT_EQ(jobStateColour(failed), Theme::stop());
}

TEST(JobRowTest, DetailNamesQueueJobNumberOnceKnownAndCopies) {
    EXPECT_EQ(jobDetailText(job(State::waiting, 0, 1)), "TestbedPhoto · 1부");
    EXPECT_EQ(jobDetailText(job(State::printing, 118, 3)), "TestbedPhoto · 작업 118 · 3부");
}

TEST(JobRowTest, CancelButtonAsksForItsOwnJob) {
    const PrintJobItem printing = job(State::printing, 7);
    JobRow row(printing);
    row.show();
    QUuid asked;
    QObject::connect(&row, &JobRow::cancelRequested, [&](const QUuid& id) { asked = id; });
    QTest::mouseClick(row.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(asked, printing.id);
}

TEST(JobsPanelTest, EmptyListSaysSo) {
    RecordingDesktop::install();
    WindowTest::IsolatedEnvironment environment;
    PrintModel model(environment.make());
    JobsPanel panel(&model);
    EXPECT_TRUE(panel.showsEmptyNote());
    EXPECT_TRUE(panel.rows().empty());
    auto* note = panel.findChild<QLabel*>();
    ASSERT_TRUE(note);
}

TEST(JobsPanelTest, DemonstrationJobsShowEveryStatesWords) {
    RecordingDesktop::install();
    WindowTest::IsolatedEnvironment environment;
    ContentView view(environment.make());
    {
        DemoJobs demo;
        view.resize(1280, 780);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    ASSERT_EQ(view.model()->jobs().size(), 8u);
    ActionBar* bar = view.actionBar();
    QApplication::processEvents();
    // Waiting, rendering, sending, printing and cancelling are still going on; rendering spins the button.
    EXPECT_EQ(bar->jobsButton()->text(), "5");
    EXPECT_TRUE(bar->jobsButton()->isSymbolBusy());
    QTest::mouseClick(bar->jobsButton(), Qt::LeftButton);
    JobsPanel* panel = bar->jobsPanel();
    ASSERT_TRUE(panel && panel->isVisible());
    QStringList words;
    for (JobRow* row : panel->rows())
        words << row->stateText();
    for (const char* expected :
         {"대기 중", "준비 중", "보내는 중", "인쇄 중", "취소하는 중", "완료", "취소됨"})
        EXPECT_TRUE(words.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_TRUE(words.contains("인쇄 작업을 보내지 못했습니다: 프린터가 응답하지 않습니다"));
    EXPECT_FALSE(panel->showsEmptyNote());

    // The popover is a window of its own: the screenshot puts it over the window, above its button, where
    // it opens on a screen large enough (the offscreen screen is smaller than the window).
    QImage picture = WindowTest::grab(&view);
    const QImage popover = WindowTest::grab(panel);
    {
        QPainter painter(&picture);
        const QPoint button = bar->jobsButton()->mapTo(&view, QPoint(bar->jobsButton()->width(), 0));
        painter.drawImage(QPoint(button.x() - popover.width(), button.y() - popover.height() - 6), popover);
    }
    WindowTest::saveArtifact(picture, "window-jobs");
    WindowTest::saveArtifact(popover, "jobs-popover");
    panel->close();
}

TEST(QuitGuardTest, AsksWithUnsentSheetsAndStaysWhenCancelled) {
    RecordingDesktop& desktop = RecordingDesktop::install();
    WindowTest::IsolatedEnvironment environment;
    AppDelegate delegate;
    MainWindow window(&delegate, environment.make());
    {
        DemoJobs demo;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    const int unsent = window.content()->model()->unsentSheets();
    ASSERT_GE(unsent, 1);
    desktop.confirmations = {false, true};
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(desktop.asked.size(), 1u);
    EXPECT_EQ(desktop.asked[0].title, "보내지 않은 장 " + QString::number(unsent) + "장이 있습니다");
    EXPECT_EQ(desktop.asked[0].text, "지금 종료하면 아직 프린터로 보내지 않은 장은 출력되지 않습니다.");
    EXPECT_EQ(desktop.asked[0].accept, "종료");
    EXPECT_EQ(desktop.asked[0].reject, "취소");
    // The quit command goes through the same question.
    window.quitAction()->trigger();
    EXPECT_EQ(desktop.asked.size(), 2u);
    EXPECT_FALSE(window.isVisible());
}
