// Loading a folder of 500 camera-sized photos into the model, as a user dropping a shoot would: how long
// until every photo is in the list with its upright thumbnail, and how long the main thread was kept from
// its event loop meanwhile: the longest single event it handled (the model's own work), and the largest
// lateness of a 2 ms timer (which also counts the machine's other load). The photos are one 12-megapixel
// photo-like JPEG (the sheet benchmarks' scene, sRGB-tagged) linked 500 times, so the disk holds one file
// while the loader still decodes 500.
#include "QuilmPrint/model/PrintModel.h"
#include "SheetInputs.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSettings>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using QuilmPrint::PrintModel;

namespace {

constexpr int photoCount = 500;

qint64 threadCPUTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// Times every event the main thread handles, by the clock and by the processor time it used (the clock
// also counts the time other processes had the processor).
class TimingApplication : public QGuiApplication {
public:
    using QGuiApplication::QGuiApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        QElapsedTimer timer;
        timer.start();
        const qint64 cpu = threadCPUTime();
        const bool handled = QGuiApplication::notify(receiver, event);
        longest = std::max(longest, timer.nsecsElapsed());
        longestCPU = std::max(longestCPU, threadCPUTime() - cpu);
        return handled;
    }
    qint64 longest = 0;
    qint64 longestCPU = 0;
};

fs::path folder() {
    static const fs::path path = [] {
        fs::path root = fs::temp_directory_path() / ("QuilmPrint-bench-photos-" + std::to_string(::getpid()));
        fs::create_directories(root / "shoot");
        const fs::path first = root / "shoot" / "IMG_0000.jpg";
        SheetInputs::writeJPEG(first, 4000, 3000, 1, PrintKit::ColorSpace::sRGB().icc, 88);
        for (int i = 1; i < photoCount; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04d.jpg", i);
            fs::create_hard_link(first, root / "shoot" / name);
        }
        return root;
    }();
    return path;
}

void LoadFiveHundredPhotos(benchmark::State& state) {
    const fs::path root = folder();
    double worstLatenessMs = 0;
    double longestEventMs = 0;
    double longestEventCPUMs = 0;
    auto* application = static_cast<TimingApplication*>(QCoreApplication::instance());
    for (auto _ : state) {
        PrintModel::Environment environment;
        environment.settings = std::make_shared<QSettings>(
            QString::fromStdString((root / "settings.ini").string()), QSettings::IniFormat);
        environment.recipes = PrintKit::RecipeStore{root / "Recipes"};
        environment.profileFolders = std::vector<fs::path>{};
        PrintModel model(environment);

        QEventLoop loop;
        QElapsedTimer sinceTick;
        qint64 worst = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(2);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worst = std::max(worst, sinceTick.nsecsElapsed());
            sinceTick.restart();
        });
        QObject::connect(&model, &PrintModel::photosChanged, [&] {
            if (!model.isLoadingPhotos()) {
                loop.quit();
            }
        });
        sinceTick.start();
        tick.start();
        application->longest = 0;
        application->longestCPU = 0;
        model.addPhotos({root / "shoot"});
        loop.exec();
        tick.stop();
        if (model.photos().size() != static_cast<std::size_t>(photoCount)) {
            state.SkipWithError("not every photo was loaded");
            break;
        }
        worstLatenessMs = std::max(worstLatenessMs, static_cast<double>(worst) / 1e6 - 2.0);
        longestEventMs = std::max(longestEventMs, static_cast<double>(application->longest) / 1e6);
        longestEventCPUMs = std::max(longestEventCPUMs, static_cast<double>(application->longestCPU) / 1e6);
    }
    state.counters["photos"] = photoCount;
    state.counters["longestEventMs"] = longestEventMs;
    state.counters["longestEventCPUMs"] = longestEventCPUMs;
    state.counters["timerLatenessMs"] = worstLatenessMs;
    state.SetItemsProcessed(state.iterations() * photoCount);
}

BENCHMARK(LoadFiveHundredPhotos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    TimingApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(folder(), ignored);
    return 0;
}
