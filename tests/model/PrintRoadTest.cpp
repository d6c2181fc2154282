// The print road against the private cupsd: photos and grid pages rendered, sent and followed until CUPS
// says they ended, with the recipe's options reaching the driver; broken, held and cancelled jobs; export;
// the borderless measurement; the demonstration jobs; and no temporary file left behind on any road.
#include "AppTestSupport.h"
#include "HttpTestServer.h"
#include "QuilmPrint/model/JobWatch.h"
#include "QuilmPrint/model/PDFExport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/model/PrintRoad.h"
#include "QuilmPrint/model/SheetWork.h"
#include "TestSupport.h"
#include "doubles/SetupDouble.h"
#include "doubles/TestQueues.h"

#include <QTest>
#include <QThreadPool>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cups/cups.h>
#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <unistd.h>

using namespace QuilmPrint;
using AppTestSupport::waitFor;
using JobState = PrintJobItem::State;
using namespace TestQueues;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {
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
    void SetUp() override {
        std::string why;
        if (!(server = AppTestSupport::printServer(&why)))
            GTEST_SKIP() << why;
        queues = std::make_unique<Queues>(*server);
        ASSERT_EQ(queues->problem(), "");
    }
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
        for (const PrintJobItem& job : model.jobs())
            if (job.state != JobState::done && job.state != JobState::cancelled &&
                job.state != JobState::failed)
                return false;
        return !model.jobs().empty();
    }
    // Stops or restarts the private server, as its service would be.
    int testbed(const std::string& command) const {
        return TestSupport::run(
            AppTestSupport::shellQuoted(std::string(QUILM_SOURCE_DIR) + "/scripts/cups-testbed.sh") + " " +
            command + " " + AppTestSupport::shellQuoted(server->root().string()) + " >/dev/null");
    }
    void TearDown() override {
        if (!server)
            return;
        printRoadPool()->waitForDone();
        QThreadPool::globalInstance()->waitForDone();
        EXPECT_EQ(leftovers(sandbox_.root() / "tmp"), std::vector<std::string>{});
    }
    TestSupport::TestServer* server = nullptr;
    std::unique_ptr<Queues> queues;
    AppTestSupport::Sandbox sandbox_;
    std::shared_ptr<TestDoubles::SetupDouble> setup_ = std::make_shared<TestDoubles::SetupDouble>();
    std::map<QUuid, std::vector<JobState>> seen_;
};

TEST_F(PrintRoadTest, PhotosPrintAsJobsThatRunTheirCourse) {
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

TEST_F(PrintRoadTest, CancelledBeforeCupsIsNeverSubmitted) {
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
    // A model going away: the road's own thread finishes the sheet it had begun, sends nothing and removes
    // the file.
    model(photoQueue, 2)->printAll();
    printRoadPool()->waitForDone();
    EXPECT_EQ(jobsOnServer(), before + 1);
}

TEST_F(PrintRoadTest, HeldJobIsCancelledThroughCupsAndOneCupsForgetsEndsLostNeverDone) {
    auto printing = model(heldQueue, 2);
    printing->printAll();
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[1].state == JobState::printing; }, 60000));
    QTest::qWait(200); // a few readings of the waiting jobs
    const PrintJobItem forgotten = printing->jobs()[0], held = printing->jobs()[1];
    EXPECT_EQ(forgotten.state, JobState::printing);
    printing->cancel(held.id);
    EXPECT_EQ(printing->jobs()[1].state, JobState::cancelling);
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[1].state == JobState::cancelled; }));
    // Purged from the server while it is being followed: its end can never be learnt.
    ASSERT_LT(cupsCancelJob2(CUPS_HTTP_DEFAULT, heldQueue, forgotten.cupsJobID, 1), IPP_STATUS_REDIRECTION_OTHER_SITE);
    ASSERT_TRUE(waitFor([&] { return allEnded(*printing); }));
    EXPECT_EQ(printing->jobs()[0].message, JobWatch::lostMessage);
    EXPECT_EQ(seen_[forgotten.id].back(), JobState::failed);
}

// CUPS restarts while two jobs wait in a stopped queue, and one of them is purged from its spool while the
// server is down: the kept job is followed on until it is printed; the server says it does not know the
// purged one, which ends as lost, so that nothing waits on it; neither is ever shown done on the way.
TEST_F(PrintRoadTest, JobsAreFollowedThroughARestartOfCups) {
    auto printing = model(heldQueue, 2);
    printing->watchLimit = std::chrono::milliseconds(400);
    printing->printAll();
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[1].state == JobState::printing; }, 60000));
    ASSERT_EQ(testbed("stop"), 0);
    ASSERT_TRUE(waitFor([&] {
        return printing->jobs()[0].note == JobWatch::unreachableNote &&
               printing->jobs()[1].note == JobWatch::unreachableNote;
    }));
    // The control file is the job's record: without it the restarted server drops the job its cache lists.
    const int lost = printing->jobs()[0].cupsJobID;
    char spool[32];
    std::snprintf(spool, sizeof spool, "%05d", lost);
    for (const std::string& file : {"c" + std::string(spool), "d" + std::string(spool) + "-001"})
        ASSERT_TRUE(std::filesystem::remove(server->root() / "spool" / file)) << file;
    ASSERT_EQ(testbed("restart"), 0);
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[0].state == JobState::failed; }));
    EXPECT_EQ(std::tie(printing->jobs()[0].message, printing->jobs()[0].note),
              std::make_tuple(JobWatch::lostMessage, QString()));
    // It ended because the server itself said it does not know the job.
    using PrintKit::CupsClientError;
    const auto answer =
        TestSupport::thrown<CupsClientError>([&] { PrintKit::CupsClient::jobAttributes(lost); });
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->code(), PrintKit::CupsClientErrorCode::jobNotFound);
    ASSERT_EQ(TestSupport::run(std::string("cupsenable ") + heldQueue), 0);
    ASSERT_TRUE(waitFor([&] { return allEnded(*printing); }, 120000));
    std::vector<JobState> course{JobState::waiting, JobState::rendering, JobState::sending,
                                 JobState::printing, JobState::failed};
    EXPECT_EQ(seen_[printing->jobs()[0].id], course);
    course.back() = JobState::done;
    EXPECT_EQ(seen_[printing->jobs()[1].id], course);
}

// A cancel pressed while CUPS is down is kept and sent once the server is back, before the queue would print
// the job; the jobs print in order, so the one after it shows that it never printed.
TEST_F(PrintRoadTest, CancelWhileCupsIsAwayIsSentWhenItAnswers) {
    auto printing = model(heldQueue, 2);
    printing->watchLimit = std::chrono::milliseconds(400);
    printing->printAll();
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[1].state == JobState::printing; }, 60000));
    ASSERT_EQ(testbed("stop"), 0);
    const PrintJobItem cancelled = printing->jobs()[0];
    printing->cancel(cancelled.id);
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[0].note == JobWatch::unreachableNote; }));
    QTest::qWait(300); // the cancel's failure and several unanswered readings
    EXPECT_EQ(std::tie(printing->jobs()[0].state, printing->jobs()[0].note),
              std::make_tuple(JobState::cancelling, JobWatch::unreachableNote));
    ASSERT_EQ(testbed("restart"), 0);
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[0].state == JobState::cancelled; }));
    ASSERT_EQ(TestSupport::run(std::string("cupsenable ") + heldQueue), 0);
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[1].state == JobState::done; }, 120000));
    EXPECT_TRUE(std::filesystem::exists(server->optionLog(printing->jobs()[1].cupsJobID)));
    EXPECT_FALSE(std::filesystem::exists(server->optionLog(cancelled.cupsJobID)));
}

// Some other server answers in CUPS's place, with anything but the job's state: the job is read again a few
// times, saying why, and only then given up as lost.
TEST_F(PrintRoadTest, JobReadInVainIsReadAgainBeforeItIsGivenUp) {
    auto printing = model(heldQueue, 1);
    printing->printAll();
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[0].state == JobState::printing; }, 60000));
    TestSupport::HttpTestServer other; // "404 not found" to every request
    TestSupport::ScopedEnvironment elsewhere("CUPS_SERVER", other.url("").substr(std::strlen("http://")));
    ASSERT_TRUE(waitFor([&] { return printing->jobs()[0].note.startsWith("작업 상태를 읽지 못했습니다"); }));
    EXPECT_EQ(printing->jobs()[0].state, JobState::printing);
    ASSERT_TRUE(waitFor([&] { return allEnded(*printing); }));
    EXPECT_EQ(printing->jobs()[0].message, JobWatch::lostMessage);
    EXPECT_GE(other.requests(), JobWatch::unreadableReadings);
}

TEST_F(PrintRoadTest, SheetThatCannotBeRenderedOrSentFailsWithTheReason) {
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
} // namespace

TEST(PrintRoadWatchTest, MapsEveryJobStateOfCups) {
    const QString stale = "Out of paper", none;
    const int id = 7;
    using S = JobState;
    // what CUPS says; the state, processing, note, message; whether the job is still followed
    const std::tuple<PrintKit::JobAttributes, S, bool, QString, QString, bool> cases[] = {
        {{"pending", "ignored"}, S::printing, false, none, none, true},
        {{"pending-held", ""}, S::printing, false, none, none, true},
        {{"processing", "Printing page 1"}, S::printing, true, none, none, true},
        {{"processing-stopped", "Paper jam"}, S::printing, false, "Paper jam", none, true},
        {{"processing-stopped", ""}, S::printing, false, "프린터를 확인하세요", none, true},
        {{"completed", ""}, S::done, false, none, none, false},
        {{"canceled", ""}, S::cancelled, false, none, none, false},
        {{"aborted", "filter failed"}, S::failed, false, none, "프린터가 작업을 중단했습니다", false},
        {{"something-new", ""}, S::printing, false, stale, none, true}};
    for (const auto& [read, state, processing, note, message, followed] : cases) {
        PrintJobItem job;
        job.state = JobState::printing;
        job.cupsJobID = id;
        job.note = stale;
        job = JobWatch::read(job, read);
        EXPECT_EQ(std::tie(job.state, job.processing, job.note, job.message, job.cupsJobID),
                  std::tie(state, processing, note, message, id))
            << read.state;
        EXPECT_EQ(JobWatch::isFollowed(job.state), followed) << read.state;
    }
    // A job the server answers about without its state keeps its state and the reason, a few readings in a
    // row, then ends as lost, as one the server does not know does at once; never done. The note of a server
    // that did not answer goes as soon as one answers, whatever it says.
    using Code = PrintKit::CupsClientErrorCode;
    const QString reason = "작업 상태를 읽지 못했습니다: Not Found";
    for (JobState state : {JobState::printing, JobState::cancelling}) {
        PrintJobItem job;
        job.state = state;
        job.processing = true;
        job = JobWatch::unreadable(job, Code::jobStatusFailed, reason, JobWatch::unreadableReadings - 1);
        EXPECT_EQ(std::tie(job.state, job.processing, job.note), std::make_tuple(state, false, reason));
        for (const PrintJobItem& lost :
             {JobWatch::unreadable(job, Code::jobStatusFailed, reason, JobWatch::unreadableReadings),
              JobWatch::unreadable(job, Code::jobNotFound, reason, 1)})
            EXPECT_EQ(std::tie(lost.state, lost.message, lost.note),
                      std::make_tuple(JobState::failed, JobWatch::lostMessage, QString()));
        job.processing = true;
        job = JobWatch::unreachable(job);
        EXPECT_EQ(std::tie(job.state, job.processing, job.note),
                  std::make_tuple(state, false, JobWatch::unreachableNote));
        EXPECT_EQ(JobWatch::read(job, {"something-new", ""}).note, "");
    }
    // Unanswered readings wait twice as long each time, up to the limit; an answer brings the interval back.
    using ms = std::chrono::milliseconds;
    std::vector<ms> waits{ms(2000)};
    for (bool answered : {false, false, false, true})
        waits.push_back(JobWatch::nextReading(waits.back(), answered, ms(2000), ms(5000)));
    EXPECT_EQ(waits, (std::vector<ms>{ms(2000), ms(4000), ms(5000), ms(5000), ms(2000)}));
    EXPECT_EQ(JobWatch::nextReading(ms(50), false, ms(50), ms(10)), ms(50));
}

namespace {
class PrintRoadBleedTest : public testing::Test {
protected:
    // A started model on the driver's description, printing A4 borderless with edge compensation.
    std::unique_ptr<PrintModel> borderless(std::shared_ptr<QSettings> settings = nullptr,
                                           const std::vector<std::filesystem::path>& photos = {}) {
        PrintModel::Environment environment = sandbox_.environment();
        if (settings)
            environment.settings = std::move(settings);
        environment.setup = setup_;
        auto model = std::make_unique<PrintModel>(environment);
        AppTestSupport::startAndWait(*model);
        AppTestSupport::selectAndWait(*model, AppTestSupport::p900Queue);
        if (!photos.empty())
            AppTestSupport::addAndWait(*model, photos);
        model->chooseSheet("A4");
        model->setSource("SFBL");
        model->setBleedCompensation(true);
        model->setDriverOverride("EPIJ_Qual", "301"); // 360 dpi
        return model;
    }
    AppTestSupport::Sandbox sandbox_;
    std::shared_ptr<TestDoubles::SetupDouble> setup_ = std::make_shared<TestDoubles::SetupDouble>();
};

TEST_F(PrintRoadBleedTest, MeasuredOnceAndRememberedWhileTheSheetWaitsForIt) {
    REQUIRE_PRINT_SERVER(server);
    std::vector<std::string> asked;
    TestDoubles::Gate measuring;
    measuring.close();
    setup_->measureCall = [&](const std::string& queue, const PrintKit::PPDPageSize& page) {
        measuring.pass();
        asked.push_back(queue + " " + page.name);
        return std::optional<double>(1.04);
    };
    const std::filesystem::path photo = sandbox_.photoFolder() / "wide.jpg";
    TestSupport::writeFile(photo, AppTestSupport::plainJpeg(300, 200));
    auto model = borderless(nullptr, {photo});
    ASSERT_TRUE(model->prepare().bleedPending);
    const std::filesystem::path folder = sandbox_.root() / "export";
    std::filesystem::create_directories(folder);
    model->exportPDFs(folder); // the sheet waits for its measurement
    QTest::qWait(300);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    measuring.open();
    ASSERT_TRUE(waitFor([&] { return model->notice() && !model->notice()->working; }));
    EXPECT_TRUE(std::filesystem::exists(folder / "wide.pdf"));
    printRoadPool()->waitForDone();
    const PreparedSheet sheet = model->prepare();
    ASSERT_FALSE(sheet.bleedPending);
    ASSERT_TRUE(sheet.bleed);
    EXPECT_EQ(*sheet.bleed, PrintKit::BorderlessBleed::autoExpand(sheet.page, 1.04));
    EXPECT_EQ(sandbox_.settings()->value("bleed.expansion.TestbedP900.A4.Borderless").toDouble(), 1.04);
    // A second run on the same defaults measures nothing.
    EXPECT_FALSE(borderless(sandbox_.settings())->prepare().bleedPending);
    QTest::qWait(100);
    EXPECT_EQ(asked, std::vector<std::string>{"TestbedP900 A4.Borderless"});
}

TEST_F(PrintRoadBleedTest, FailedMeasurementPrintsWithoutCompensationAndSaysSo) {
    REQUIRE_PRINT_SERVER(server);
    setup_->measureCall = [](const std::string&, const PrintKit::PPDPageSize&) {
        return std::optional<double>();
    };
    auto model = borderless();
    ASSERT_TRUE(waitFor([&] { return !model->prepare().bleedPending; }));
    EXPECT_FALSE(model->prepare().bleed);
    ASSERT_TRUE(model->notice());
    EXPECT_EQ(model->notice()->text, "테두리 없는 인쇄의 확대 비율을 재지 못해 보정 없이 인쇄합니다");
    // Changes and view updates after the failure ask for nothing more in this run.
    for (int round = 0; round < 3; ++round) {
        model->setBleedCompensation(false);
        model->setBleedCompensation(true);
        model->prepare();
        QTest::qWait(20);
    }
    EXPECT_FALSE(model->prepare().bleedPending);
    EXPECT_EQ(setup_->measurements(), 1);
    EXPECT_FALSE(sandbox_.settings()->contains("bleed.expansion.TestbedP900.A4.Borderless"));
}
} // namespace

namespace {
TEST(PrintRoadBleedSettleTest, WaitingSheetTakesTheMeasurementItWaitedFor) {
    const PrintKit::PPDPageSize a4{"A4.Borderless", "A4", {}, 595, 842, std::vector<double>{0, 0, 595, 842}};
    SheetWork waiting;
    waiting.sheet.page = *(waiting.sheet.paper = a4);
    waiting.sheet.bleedPending = true;
    SheetWork measured = waiting, unmeasured = waiting;
    measured.settleBleed(1.04);
    unmeasured.settleBleed(std::nullopt);
    EXPECT_EQ(std::make_tuple(measured.sheet.bleedPending, unmeasured.sheet.bleedPending, unmeasured.sheet.bleed),
              std::make_tuple(false, false, std::optional<PrintKit::BorderlessBleed>()));
    EXPECT_EQ(measured.sheet.bleed, PrintKit::BorderlessBleed::autoExpand(a4, 1.04));
    SheetWork settled = measured;
    settled.settleBleed(1.5); // a sheet that was not waiting keeps what it was prepared with
    EXPECT_EQ(settled, measured);
}
} // namespace

namespace {
std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool finished(const PrintModel& model) {
    return model.notice() && !model.notice()->working;
}

TEST(ExportModelTest, ExportsWhatPrintingSubmitsUnderNamesThatReplaceNothing) {
    REQUIRE_PRINT_SERVER(server);
    TestQueues::Queues queues(*server);
    ASSERT_EQ(queues.problem(), "");
    AppTestSupport::Sandbox sandbox_;
    auto model = TestQueues::readyModel(sandbox_, std::make_shared<TestDoubles::SetupDouble>(),
                                        TestQueues::pdfQueue, 2);
    const std::filesystem::path folder = sandbox_.root() / "export";
    std::filesystem::create_directories(folder);
    model->exportPDFs(folder);
    ASSERT_TRUE(model->notice() && model->notice()->working);
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return finished(*model); }));
    EXPECT_EQ(*model->notice(), (Notice{"PDF 2개를 저장했습니다", false, folder / "photo-1.pdf"}));
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"photo-1.pdf", "photo-2.pdf"}));
    // The printer receives exactly the file the export wrote for the same sheet.
    model->printOnly(model->photos().front());
    ASSERT_TRUE(AppTestSupport::waitFor(
        [&] { return model->jobs().size() == 1 && model->jobs()[0].state == PrintJobItem::State::done; }));
    const std::string exported = readFile(folder / "photo-1.pdf");
    EXPECT_EQ(exported.rfind("%PDF-", 0), 0u);
    EXPECT_TRUE(readFile(server->output(TestQueues::pdfQueue)) == exported) << "the printed file differs";
    writeFile(folder / "photo-2 (2).pdf", "mine");
    model->exportPDFs(folder); // a second export adds numbers past the names that are taken
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return finished(*model); }));
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"photo-1 (2).pdf", "photo-1.pdf", "photo-2 (2).pdf",
                                                         "photo-2 (3).pdf", "photo-2.pdf"}));
    EXPECT_TRUE(readFile(folder / "photo-1 (2).pdf") == exported);
    EXPECT_EQ(readFile(folder / "photo-2 (2).pdf"), "mine");
    EXPECT_EQ(leftovers(sandbox_.root() / "tmp"), std::vector<std::string>{});
    EXPECT_EQ(PDFExport::fileName("페이지 1", 1), "페이지 1.pdf");
    EXPECT_TRUE(model->failure().isEmpty());
    // A folder that takes no file is reported, and nothing is made.
    model->exportPDFs(sandbox_.root() / "missing");
    ASSERT_TRUE(AppTestSupport::waitFor([&] { return !model->failure().isEmpty(); }));
    EXPECT_FALSE(model->notice());
    EXPECT_FALSE(std::filesystem::exists(sandbox_.root() / "missing"));
    // Its work ended, the export's notice does not come back when a later notice passes.
    model->noticeLifetime = std::chrono::milliseconds(1);
    model->showNotice(Notice{"사진을 읽지 못했습니다: x.jpg", false, std::nullopt});
    EXPECT_TRUE(AppTestSupport::waitFor([&] { return !model->notice(); }));
}
} // namespace

namespace {
// A started model with the demonstration variables set while it starts.
std::unique_ptr<PrintModel> started(const PrintModel::Environment& environment, const char* jobs,
                                    const char* notice, const char* file) {
    const std::pair<const char*, const char*> variables[] = {{"QUILM_PRINT_DEMO_JOBS", jobs},
                                                             {"QUILM_PRINT_SHOW_NOTICE", notice},
                                                             {"QUILM_PRINT_NOTICE_FILE", file}};
    for (auto [name, value] : variables)
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    auto model = std::make_unique<PrintModel>(environment);
    model->start();
    for (auto [name, value] : variables)
        ::unsetenv(name);
    return model;
}

TEST(PrintRoadDemoTest, JobsInEveryStateAndANoticeThatReveals) {
    AppTestSupport::Sandbox sandbox;
    PrintModel::Environment environment = sandbox.environment();
    environment.setup = std::make_shared<TestDoubles::SetupDouble>();
    auto model = started(environment, "1", "1", "/home/someone/사진/IMG_2041.pdf");
    std::set<JobState> states;
    for (const PrintJobItem& job : model->jobs())
        states.insert(job.state);
    EXPECT_EQ(states.size(), 8u);
    EXPECT_EQ(model->jobs().size(), 8u);
    EXPECT_EQ(model->unsentSheets(), 4); // two copies waiting, one rendering, one sending
    EXPECT_EQ(model->notice(), (Notice{"PDF 1개를 저장했습니다", false,
                                       std::filesystem::path("/home/someone/사진/IMG_2041.pdf")}));
    model = started(environment, "0", "인쇄할 PDF를 저장했습니다", nullptr);
    EXPECT_TRUE(model->jobs().empty());
    EXPECT_EQ(model->notice(), (Notice{"인쇄할 PDF를 저장했습니다", false, std::nullopt}));
    EXPECT_FALSE(started(environment, nullptr, nullptr, nullptr)->notice());
}
} // namespace
