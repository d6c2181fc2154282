// The print road against the private cupsd: photos and grid pages rendered, sent and followed until CUPS
// says they ended, with the recipe's options reaching the driver; broken, held and cancelled jobs; and no
// temporary file left behind on any road.
#include "QuilmPrint/model/PrintRoad.h"

#include "AppTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "doubles/SetupDouble.h"
#include "doubles/TestQueues.h"

#include <QTest>
#include <QThreadPool>
#include <cups/cups.h>
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

using namespace QuilmPrint;
using AppTestSupport::waitFor;
using JobState = PrintJobItem::State;

namespace {

using namespace TestQueues;

// The header of the raster's first page, and the number of pages.
struct Raster {
    cups_page_header2_t first{};
    int pages = 0;
};

Raster readRaster(const std::filesystem::path& path) {
    Raster raster;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return raster;
    cups_raster_t* stream = cupsRasterOpen(fd, CUPS_RASTER_READ);
    cups_page_header2_t header;
    std::vector<unsigned char> line;
    while (stream && cupsRasterReadHeader2(stream, &header)) {
        if (raster.pages++ == 0)
            raster.first = header;
        line.resize(header.cupsBytesPerLine);
        for (unsigned row = 0; row < header.cupsHeight; ++row)
            cupsRasterReadPixels(stream, line.data(), header.cupsBytesPerLine);
    }
    cupsRasterClose(stream);
    ::close(fd);
    return raster;
}

std::map<std::string, std::string> parsedOptions(const std::string& argument) {
    cups_option_t* options = nullptr;
    const int count = cupsParseOptions(argument.c_str(), 0, &options);
    std::map<std::string, std::string> parsed;
    for (int index = 0; index < count; ++index)
        parsed[options[index].name] = options[index].value;
    cupsFreeOptions(count, options);
    return parsed;
}

int jobsOnServer() {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
    cupsFreeJobs(count, jobs);
    return count;
}

std::vector<std::string> leftovers(const std::filesystem::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("QuilmPrint-", 0) == 0)
            found.push_back(name);
    }
    return found;
}

class PrintRoadTest : public testing::Test {
protected:
    // A started model with the queue selected and the photos loaded.
    std::unique_ptr<PrintModel> model(const std::string& queue, int photos) {
        std::unique_ptr<PrintModel> made = readyModel(sandbox_, setup_, queue, photos);
        // Every state each job passes through, in order.
        QObject::connect(made.get(), &PrintModel::jobsChanged, [this, m = made.get()] {
            for (const PrintJobItem& job : m->jobs()) {
                std::vector<JobState>& states = seen_[job.id];
                if (states.empty() || states.back() != job.state)
                    states.push_back(job.state);
            }
        });
        return made;
    }

    static bool allEnded(const PrintModel& model) {
        for (const PrintJobItem& job : model.jobs()) {
            if (job.state != JobState::done && job.state != JobState::cancelled &&
                job.state != JobState::failed)
                return false;
        }
        return !model.jobs().empty();
    }

    void TearDown() override {
        printRoadPool()->waitForDone();
        QThreadPool::globalInstance()->waitForDone();
        EXPECT_EQ(leftovers(sandbox_.root() / "tmp"), std::vector<std::string>{});
    }

    AppTestSupport::Sandbox sandbox_;
    std::shared_ptr<TestDoubles::SetupDouble> setup_ = std::make_shared<TestDoubles::SetupDouble>();
    std::map<QUuid, std::vector<JobState>> seen_;
};

TEST_F(PrintRoadTest, PhotosPrintAsJobsThatRunTheirCourse) {
    REQUIRE_PRINT_SERVER(server);
    Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    auto printing = model(photoQueue, 3);
    printing->setCopies(2);
    printing->setMedia("PGPP");
    const PreparedSheet sheet = printing->prepare();

    printing->printAll();
    ASSERT_EQ(printing->jobs().size(), 3u);
    EXPECT_EQ(printing->unsentSheets(), 6);
    ASSERT_TRUE(waitFor([&] { return allEnded(*printing); }, 120000));
    EXPECT_EQ(printing->unsentSheets(), 0);

    const std::vector<JobState> course{JobState::waiting, JobState::rendering, JobState::sending,
                                       JobState::printing, JobState::done};
    for (const PrintJobItem& job : printing->jobs()) {
        SCOPED_TRACE(job.photoName.toStdString());
        EXPECT_EQ(seen_[job.id], course);
        EXPECT_EQ(job.queue, photoQueue);
        EXPECT_EQ(job.copies, 2);
        ASSERT_GT(job.cupsJobID, 0);
        std::map<std::string, std::string> received =
            parsedOptions(TestSupport::readFile(server->optionLog(job.cupsJobID)));
        for (const PrintKit::PrintOption& option : sheet.options) {
            if (option.key != "copies") {
                EXPECT_EQ(received[option.key], option.value) << option.key;
            }
        }
    }
    EXPECT_EQ(printing->jobs()[0].photoName, "photo-1.jpg");
    EXPECT_EQ(
        parsedOptions(TestSupport::readFile(server->optionLog(printing->jobs()[0].cupsJobID)))["EPIJ_Medi"],
        "PGPP");
    // The driver got 16-bit colour and is told to make two copies of the one page.
    const Raster raster = readRaster(server->output(photoQueue));
    EXPECT_EQ(raster.pages, 1);
    EXPECT_EQ(raster.first.cupsBitsPerColor, 16u);
    EXPECT_EQ(raster.first.cupsColorSpace, CUPS_CSPACE_RGB);
    EXPECT_EQ(raster.first.NumCopies, 2u);
}

TEST_F(PrintRoadTest, GridPagePrintsAsOneJob) {
    REQUIRE_PRINT_SERVER(server);
    Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    auto printing = model(photoQueue, 3);
    printing->setPhotosPerSheet(PhotosPerSheet::many);
    GridSettings grid = printing->grid();
    grid.widthMM = 30;
    grid.heightMM = 40;
    printing->setGrid(grid);
    ASSERT_EQ(printing->gridPages().size(), 1u);

    printing->printAll();
    ASSERT_EQ(printing->jobs().size(), 1u);
    EXPECT_EQ(printing->jobs()[0].photoName, "photo-1.jpg 외 2장");
    ASSERT_TRUE(waitFor([&] { return allEnded(*printing); }, 120000));
    EXPECT_EQ(printing->jobs()[0].state, JobState::done);

    // No cell fits: nothing is printed, and the alert says why.
    grid.widthMM = 500;
    printing->setGrid(grid);
    printing->printAll();
    EXPECT_EQ(printing->jobs().size(), 1u);
    EXPECT_EQ(printing->failure(), printing->gridPlan(printing->prepare()).error);
    EXPECT_FALSE(printing->failure().isEmpty());
}

TEST_F(PrintRoadTest, BrokenQueueStopsTheJobWithThePrintersWords) {
    REQUIRE_PRINT_SERVER(server);
    Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    auto printing = model(brokenQueue, 1);
    printing->printAll();
    ASSERT_TRUE(waitFor([&] { return !printing->jobs()[0].note.isEmpty(); }, 60000));
    const PrintJobItem job = printing->jobs()[0];
    EXPECT_EQ(job.state, JobState::printing);
    EXPECT_EQ(job.note, "The test printer refuses every job");
    EXPECT_FALSE(job.processing);

    printing->cancel(job.id);
    ASSERT_TRUE(waitFor([&] { return allEnded(*printing); }));
    EXPECT_EQ(printing->jobs()[0].state, JobState::cancelled);
}

TEST_F(PrintRoadTest, HeldJobIsCancelledThroughCups) {
    REQUIRE_PRINT_SERVER(server);
    Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    auto printing = model(heldQueue, 1);
    printing->printAll();
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[0].state == JobState::printing; }, 60000));
    QTest::qWait(200); // a few readings of the waiting job
    EXPECT_EQ(printing->jobs()[0].state, JobState::printing);

    printing->cancel(printing->jobs()[0].id);
    EXPECT_EQ(printing->jobs()[0].state, JobState::cancelling);
    ASSERT_TRUE(waitFor([&] { return allEnded(*printing); }));
    EXPECT_EQ(printing->jobs()[0].state, JobState::cancelled);
    EXPECT_EQ(seen_[printing->jobs()[0].id].back(), JobState::cancelled);
}

TEST_F(PrintRoadTest, CancelledBeforeCupsIsNeverSubmitted) {
    REQUIRE_PRINT_SERVER(server);
    Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    auto printing = model(photoQueue, 3);
    const int before = jobsOnServer();
    printing->printAll();
    const std::vector<PrintJobItem> jobs = printing->jobs();
    ASSERT_EQ(jobs[0].state, JobState::rendering);
    ASSERT_EQ(jobs[1].state, JobState::waiting);
    printing->cancel(jobs[0].id);
    printing->cancel(jobs[1].id);
    EXPECT_EQ(printing->jobs()[0].state, JobState::cancelled);
    EXPECT_EQ(printing->jobs()[1].state, JobState::cancelled);
    EXPECT_EQ(printing->unsentSheets(), 1);
    ASSERT_TRUE(waitFor([&] { return allEnded(*printing); }, 120000));
    EXPECT_EQ(printing->jobs()[2].state, JobState::done);
    EXPECT_EQ(printing->jobs()[0].cupsJobID, 0);
    EXPECT_EQ(printing->jobs()[1].cupsJobID, 0);
    EXPECT_EQ(jobsOnServer(), before + 1);
}

TEST_F(PrintRoadTest, JobThatCupsForgetsIsNeverShownDone) {
    REQUIRE_PRINT_SERVER(server);
    Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    auto printing = model(heldQueue, 1);
    printing->printAll();
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[0].state == JobState::printing; }, 60000));
    // Purged from the server while it is being followed.
    ASSERT_LT(cupsCancelJob2(CUPS_HTTP_DEFAULT, heldQueue, printing->jobs()[0].cupsJobID, 1),
              IPP_STATUS_REDIRECTION_OTHER_SITE);
    ASSERT_TRUE(waitFor([&] { return !printing->jobs()[0].note.isEmpty(); }));
    EXPECT_EQ(printing->jobs()[0].state, JobState::printing);
    EXPECT_TRUE(printing->jobs()[0].note.startsWith("작업 상태를 읽지 못했습니다: "))
        << printing->jobs()[0].note.toStdString();
    QTest::qWait(300); // the watcher has stopped: nothing changes any more
    EXPECT_EQ(seen_[printing->jobs()[0].id].back(), JobState::printing);
}

TEST_F(PrintRoadTest, SheetThatCannotBeRenderedOrSentFailsWithTheReason) {
    REQUIRE_PRINT_SERVER(server);
    Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    auto printing = model(photoQueue, 2);
    std::filesystem::remove(printing->photos()[0].url);
    printing->printAll();
    ASSERT_TRUE(waitFor([&] { return allEnded(*printing); }, 120000));
    EXPECT_EQ(printing->jobs()[0].state, JobState::failed);
    EXPECT_NE(printing->jobs()[0].message.toStdString().find("photo-1.jpg"), std::string::npos)
        << printing->jobs()[0].message.toStdString();
    EXPECT_EQ(printing->jobs()[1].state, JobState::done);

    // The queue is removed between choosing it and printing.
    auto gone = model(goneQueue, 1);
    ASSERT_EQ(TestSupport::run(std::string("lpadmin -x ") + goneQueue), 0);
    gone->printAll();
    ASSERT_TRUE(waitFor([&] { return allEnded(*gone); }, 120000));
    EXPECT_EQ(gone->jobs()[0].state, JobState::failed);
    EXPECT_TRUE(gone->jobs()[0].message.startsWith("인쇄 작업을 보내지 못했습니다: "))
        << gone->jobs()[0].message.toStdString();
}

TEST_F(PrintRoadTest, ModelGoingAwayStopsWhatHasNotReachedCups) {
    REQUIRE_PRINT_SERVER(server);
    Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    const int before = jobsOnServer();
    {
        auto printing = model(photoQueue, 2);
        printing->printAll();
        ASSERT_EQ(printing->jobs()[0].state, JobState::rendering);
    }
    // The road's own thread finishes the sheet it had begun, sends nothing and removes the file.
    printRoadPool()->waitForDone();
    EXPECT_EQ(jobsOnServer(), before);
}

} // namespace
