// The refresh of installed drivers that the printer set-up sheet runs on every 3-second tick while it is
// shown: PrinterSetup::installedDrivers() over the system's driver folders (/usr/share/ppd,
// /usr/share/cups/model) and the test bed's private cupsd, whose driver list holds every driver program
// installed in /usr/lib/cups/driver. "first" is a tick after the folders were set anew (what the sheet's
// first tick costs), "later" every tick after it. Besides this process's time per tick it reports the
// server's processor time per tick (cupsd and the cups-driverd runs it waits for), the PPD files under the
// folders and the drivers found. The figures mean something with a large driver collection installed
// (apt-get install openprinting-ppds; Debian ships it as one archive behind a driver program, which the
// server lists); scripts/setup.sh does not install one, so on a bare machine the server lists little.
// The "Collection" pair adds a folder of 3,000 gzip-compressed PPD files (copies of the system's and of the
// test fixtures, two of the driver family among them), as distributions that install a collection file by
// file lay it out. Needs root and cupsd (the test bed); says why and reports nothing otherwise.
#include "PrintKit/printers/PrinterSetup.h"
#include "TestServer.h"
#include "TestSupport.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace PrintKit;

namespace {

const std::vector<std::filesystem::path> systemFolders{"/usr/share/ppd", "/usr/share/cups/model"};

// 3,000 compressed PPD files made from the ones at hand, in a folder that lives as long as the program.
std::filesystem::path collection() {
    static TestSupport::TemporaryDirectory folder;
    static bool made = false;
    if (made)
        return folder.path();
    made = true;
    std::vector<std::filesystem::path> sources;
    for (const std::filesystem::path& root :
         {std::filesystem::path("/usr/share/ppd"), std::filesystem::path(QUILM_FIXTURES) / "ppd"}) {
        std::error_code error;
        for (std::filesystem::recursive_directory_iterator walk(root, error), end; !error && walk != end;
             walk.increment(error))
            if (walk->path().extension() == ".ppd")
                sources.push_back(walk->path());
    }
    std::vector<std::string> compressed;
    for (const std::filesystem::path& source : sources) {
        std::string bytes;
        if (TestSupport::run("gzip -c '" + source.string() + "'", &bytes) == 0)
            compressed.push_back(bytes);
    }
    for (std::size_t index = 0; index < 3000 && !compressed.empty(); ++index) {
        const std::filesystem::path file =
            folder / ("maker-" + std::to_string(index % 40)) / ("model-" + std::to_string(index) + ".ppd.gz");
        std::filesystem::create_directories(file.parent_path());
        TestSupport::writeFile(file, compressed[index % compressed.size()]);
    }
    return folder.path();
}

std::size_t ppdFiles(const std::vector<std::filesystem::path>& folders) {
    std::size_t count = 0;
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        for (std::filesystem::recursive_directory_iterator walk(folder, error), end; !error && walk != end;
             walk.increment(error)) {
            const std::string name = walk->path().filename().string();
            count += name.ends_with(".ppd") || name.ends_with(".ppd.gz") || name.ends_with(".PPD");
        }
    }
    return count;
}

// Processor seconds of the server and of the children it has waited for (cups-driverd among them).
double serverSeconds(const TestSupport::TestServer& server) {
    std::ifstream pidFile(server.root() / "run" / "cupsd.pid");
    std::string pid;
    pidFile >> pid;
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t end = line.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(line.substr(end + 2));
    std::string field;
    double ticks = 0;
    // After the name: state is field 3; utime, stime, cutime, cstime are fields 14 to 17.
    for (int index = 3; index <= 17 && fields >> field; ++index)
        if (index >= 14)
            ticks += std::stod(field);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

void refresh(benchmark::State& state, bool first, bool withCollection) {
    std::string reason;
    TestSupport::TestServer* server = TestSupport::TestServer::shared(&reason);
    if (!server) {
        state.SkipWithError(reason.c_str());
        return;
    }
    std::vector<std::filesystem::path> folders = systemFolders;
    if (withCollection)
        folders.push_back(collection());
    PrinterSetup::setDriverFolders(folders);
    std::size_t drivers = PrinterSetup::installedDrivers().size(); // the server builds its own lists once
    const double serverBefore = serverSeconds(*server);
    for (auto _ : state) {
        if (first) {
            state.PauseTiming();
            PrinterSetup::setDriverFolders(folders);
            state.ResumeTiming();
        }
        drivers = PrinterSetup::installedDrivers().size();
    }
    state.counters["server_ms"] = benchmark::Counter((serverSeconds(*server) - serverBefore) * 1000.0 /
                                                     static_cast<double>(state.iterations()));
    state.counters["ppd_files"] = static_cast<double>(ppdFiles(folders));
    state.counters["drivers"] = static_cast<double>(drivers);
}

void BM_FirstTick(benchmark::State& state) {
    refresh(state, true, false);
}
void BM_LaterTick(benchmark::State& state) {
    refresh(state, false, false);
}
void BM_FirstTickCollection(benchmark::State& state) {
    refresh(state, true, true);
}
void BM_LaterTickCollection(benchmark::State& state) {
    refresh(state, false, true);
}
BENCHMARK(BM_FirstTick)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LaterTick)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_FirstTickCollection)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LaterTickCollection)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TestSupport::TestServer::stopShared();
    return 0;
}
