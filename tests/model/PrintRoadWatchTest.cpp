// What the jobs list shows for each state CUPS reports of a job, and for a job CUPS can no longer report.
#include "QuilmPrint/model/JobWatch.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using JobState = PrintJobItem::State;

namespace {

PrintJobItem printing(QString note = {}) {
    PrintJobItem job;
    job.state = JobState::printing;
    job.cupsJobID = 7;
    job.note = std::move(note);
    return job;
}

} // namespace

TEST(PrintRoadWatchTest, MapsEveryJobStateOfCups) {
    struct Case {
        PrintKit::JobAttributes read;
        JobState state;
        bool processing;
        QString note;
        QString message;
        bool followed;
    };
    const QString stale = QStringLiteral("Out of paper");
    const Case cases[] = {
        {{"pending", "ignored"}, JobState::printing, false, {}, {}, true},
        {{"pending-held", ""}, JobState::printing, false, {}, {}, true},
        {{"processing", "Printing page 1"}, JobState::printing, true, {}, {}, true},
        {{"processing-stopped", "Paper jam"}, JobState::printing, false, "Paper jam", {}, true},
        {{"processing-stopped", ""}, JobState::printing, false, "프린터를 확인하세요", {}, true},
        {{"completed", ""}, JobState::done, false, {}, {}, false},
        {{"canceled", ""}, JobState::cancelled, false, {}, {}, false},
        {{"aborted", "filter failed"}, JobState::failed, false, {}, "프린터가 작업을 중단했습니다", false},
        {{"something-new", ""}, JobState::printing, false, stale, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.read.state);
        const PrintJobItem job = JobWatch::read(printing(stale), c.read);
        EXPECT_EQ(job.state, c.state);
        EXPECT_EQ(job.processing, c.processing);
        EXPECT_EQ(job.note, c.note);
        EXPECT_EQ(job.message, c.message);
        EXPECT_EQ(job.cupsJobID, 7);
        EXPECT_EQ(JobWatch::isFollowed(job.state), c.followed);
    }
}

TEST(PrintRoadWatchTest, JobThatCannotBeReadKeepsItsStateAndIsNeverDone) {
    for (JobState state : {JobState::printing, JobState::cancelling}) {
        PrintJobItem job = printing();
        job.state = state;
        job.processing = true;
        const PrintJobItem read = JobWatch::unreadable(job, "작업 상태를 읽지 못했습니다: Not found");
        EXPECT_EQ(read.state, state);
        EXPECT_FALSE(read.processing);
        EXPECT_EQ(read.note, "작업 상태를 읽지 못했습니다: Not found");
    }
}
