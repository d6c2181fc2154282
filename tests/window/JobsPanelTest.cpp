// The jobs popover as its rows change, whether it is open or closed: it always takes the height of its rows,
// their wrapped notes measured at the width they are shown at.
#include "QuilmPrint/window/JobsPanel.h"

#include "AppTestSupport.h"
#include "QuilmPrint/model/JobWatch.h"
#include "QuilmPrint/window/JobRow.h"
#include "shared/RecordingDesktop.h"
#include "shared/WindowTestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using State = PrintJobItem::State;

namespace {

PrintJobItem job(State state, const char* photo) {
    PrintJobItem made;
    made.id = QUuid::createUuid();
    made.photoName = QString::fromUtf8(photo);
    made.queue = "EPSON_SC_P900_Series";
    made.state = state;
    return made;
}

// A window with the jobs button near its bottom edge, as in the action bar, and the popover it opens. The
// model never prints: the jobs are the ones the test hands the popover, as the model's changes would.
struct JobsPopover {
    AppTestSupport::Sandbox sandbox;
    PrintModel model{sandbox.environment()};
    QWidget window;
    QPushButton* button = new QPushButton(QStringLiteral("작업"), &window);
    JobsPanel* panel = new JobsPanel(&model, &window);
    QScrollArea* scroll = panel->findChild<QScrollArea*>();

    JobsPopover() {
        window.resize(640, 720);
        button->setGeometry(560, 670, 40, 24);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void open() {
        panel->popup(button);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
        WindowTest::settle();
    }
    // The space between the last row's bottom and the bottom of the list's view; negative when the row is
    // cut.
    int spaceUnderLastRow() const {
        const JobRow* last = panel->rows().back();
        return scroll->viewport()->height() -
               (last->mapTo(scroll->viewport(), QPoint(0, 0)).y() + last->height());
    }
    // Each shown note as tall as its lines at the width it has.
    void expectNotesWhole() const {
        for (const JobRow* row : panel->rows()) {
            for (const QLabel* label : row->findChildren<QLabel*>()) {
                if (label->isVisible() && label->wordWrap()) {
                    EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                        << label->text().toStdString();
                }
            }
        }
    }
};

} // namespace

TEST(JobsPanelFitTest, OpensAtTheHeightOfRowsThatChangedWhileItWasClosedAndShrinksWhenARowEnds) {
    RecordingDesktop::install();
    JobsPopover popover;
    PrintJobItem first = job(State::printing, "IMG_2045.jpg");
    first.cupsJobID = 118;
    popover.panel->setJobs({first});
    popover.open();
    popover.panel->close();

    // Closed: the first job cannot be followed while the server is away; open, then closed again, a second
    // job arrives.
    first.note = JobWatch::unreachableNote;
    const PrintJobItem second = job(State::waiting, "IMG_2046.jpg");
    for (const std::vector<PrintJobItem>& jobs : {std::vector{first}, std::vector{first, second}}) {
        SCOPED_TRACE(jobs.size());
        popover.panel->setJobs(jobs);
        popover.open();
        ASSERT_EQ(popover.panel->rows().size(), jobs.size());
        EXPECT_FALSE(popover.scroll->verticalScrollBar()->isVisible());
        EXPECT_GE(popover.spaceUnderLastRow(), 0);
        popover.expectNotesWhole();
        if (jobs.size() == 1)
            popover.panel->close();
    }
    const QLabel* note = nullptr;
    for (const QLabel* label : popover.panel->rows().front()->findChildren<QLabel*>())
        if (label->text() == JobWatch::unreachableNote)
            note = label;
    ASSERT_TRUE(note && note->isVisible());
    EXPECT_GE(note->height(), 2 * note->fontMetrics().lineSpacing()) << "the note is meant to take two lines";
    WindowTest::saveArtifact(popover.panel, "jobs-popover-rows-changed-while-closed");

    // Open: the first job ends, losing its note and its cancel button; the popover shrinks to its rows.
    const int before = popover.panel->height();
    first.state = State::done;
    first.note.clear();
    popover.panel->setJobs({first, second});
    WindowTest::settle();
    EXPECT_LT(popover.panel->height(), before);
    EXPECT_FALSE(popover.scroll->verticalScrollBar()->isVisible());
    const int space = popover.spaceUnderLastRow();
    EXPECT_GE(space, 0);
    EXPECT_LE(space, popover.scroll->widget()->layout()->contentsMargins().bottom());
    popover.expectNotesWhole();
    WindowTest::saveArtifact(popover.panel, "jobs-popover-row-ended-while-open");

    // A job added while open is shown and measured too.
    popover.panel->setJobs({first, second, job(State::waiting, "IMG_2047.jpg")});
    WindowTest::settle();
    ASSERT_EQ(popover.panel->rows().size(), 3u);
    EXPECT_TRUE(popover.panel->rows().back()->isVisible());
    EXPECT_FALSE(popover.scroll->verticalScrollBar()->isVisible());
    EXPECT_GE(popover.spaceUnderLastRow(), 0);
    EXPECT_LE(popover.spaceUnderLastRow(), popover.scroll->widget()->layout()->contentsMargins().bottom());
}
