// The whole print road, as a photographer meets it: ten 12-megapixel JPEGs printed one photo per sheet (4 × 6
// in at 360 ppi, turned canvas) through the model into the test bed's private cupsd, timed from printAll()
// until CUPS reports the last job completed (rendering, submission and the server's raster filters all
// count). Reports sheets per minute and the peak resident memory of the process. Needs root and cupsd (the
// test bed); says why and reports nothing otherwise.
#include "AppTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "TestImages.h"
#include "doubles/SetupDouble.h"
#include "doubles/TestQueues.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <sys/resource.h>

using namespace QuilmPrint;

namespace {

constexpr int sheets = 10;

double peakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

bool allDone(const PrintModel& model) {
    for (const PrintJobItem& job : model.jobs()) {
        if (job.state != PrintJobItem::State::done && job.state != PrintJobItem::State::failed &&
            job.state != PrintJobItem::State::cancelled)
            return false;
    }
    return !model.jobs().empty();
}

void BM_PrintTenSheets(benchmark::State& state) {
    std::string reason;
    TestSupport::TestServer* server = AppTestSupport::printServer(&reason);
    if (!server) {
        state.SkipWithError(reason.c_str());
        return;
    }
    TestQueues::Queues queues(*server);
    if (!queues.problem().empty()) {
        state.SkipWithError(queues.problem().c_str());
        return;
    }
    AppTestSupport::Sandbox sandbox;
    auto model = TestQueues::readyModel(sandbox, std::make_shared<TestDoubles::SetupDouble>(),
                                        TestQueues::photoQueue, 0);
    model->watchInterval = std::chrono::milliseconds(200);
    std::vector<std::filesystem::path> photos;
    for (int index = 0; index < sheets; ++index) {
        photos.push_back(sandbox.photoFolder() / ("IMG_" + std::to_string(1000 + index) + ".jpg"));
        TestImages::JpegOptions options;
        options.quality = 90;
        TestImages::write(photos.back(), TestImages::jpeg(TestImages::distinct(4000, 3000, 3, 8), options));
    }
    AppTestSupport::addAndWait(*model, photos);

    double seconds = 0;
    int failed = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        model->printAll();
        if (!AppTestSupport::waitFor([&] { return allDone(*model); }, 30 * 60 * 1000)) {
            state.SkipWithError("the jobs did not end within 30 minutes");
            return;
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    for (const PrintJobItem& job : model->jobs())
        failed += job.state == PrintJobItem::State::done ? 0 : 1;
    state.counters["sheets/min"] = sheets * 60.0 / seconds;
    state.counters["peak_MB"] = peakMegabytes();
    state.counters["failed"] = failed;
}

BENCHMARK(BM_PrintTenSheets)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TestSupport::TestServer::stopShared();
    return 0;
}
