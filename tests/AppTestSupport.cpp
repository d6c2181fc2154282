#include "AppTestSupport.h"

#include "PrintKit/render/decode/Orientation.h"
#include "TestImages.h"
#include "settings/TestProfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QThreadPool>
#include <cstdlib>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace AppTestSupport {

namespace fs = std::filesystem;
using QuilmPrint::PrintModel;

namespace {

std::string shellQuoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

std::string script() {
    return shellQuoted(std::string(QUILM_SOURCE_DIR) + "/scripts/cups-testbed.sh");
}

// libcups keeps the server's address per thread once it has read it. Pool threads that ended after each job
// read CUPS_SERVER afresh, so a model talks to whichever server the test points at.
class FreshPoolThreads : public testing::Environment {
public:
    void SetUp() override { QThreadPool::globalInstance()->setExpiryTimeout(0); }
};

[[maybe_unused]] testing::Environment* const freshPoolThreads =
    testing::AddGlobalTestEnvironment(new FreshPoolThreads);

// The driver's full description with the test bed's raster filter in place of the driver's own programs.
std::string printableP900() {
    std::istringstream lines(TestSupport::readFile(TestSupport::fixture("ppd/qx-p900.ppd")));
    std::string result, line;
    while (std::getline(lines, line)) {
        if (line.rfind("*cupsFilter", 0) == 0 || line.rfind("*cupsPreFilter", 0) == 0) {
            continue;
        }
        result += line + "\n";
        if (line.rfind("*ColorDevice", 0) == 0) {
            result += "*cupsFilter2: \"application/vnd.cups-raster application/vnd.testbed-raster 0 "
                      "testbed-raster\"\n";
        }
    }
    return result;
}

std::string addressIn(const std::string& output) {
    std::smatch match;
    static const std::regex line("CUPS_SERVER=([^\\s]+)");
    return std::regex_search(output, match, line) ? match[1].str() : std::string();
}

} // namespace

TestSupport::TestServer* printServer(std::string* reason) {
    static bool prepared = false;
    static std::string failure;
    TestSupport::TestServer* server = TestSupport::TestServer::shared(reason);
    if (!server || prepared) {
        if (server && !failure.empty()) {
            *reason = failure;
            return nullptr;
        }
        return server;
    }
    prepared = true;
    const fs::path ppd = server->root() / "ppd" / "testbed-p900.ppd";
    TestSupport::writeFile(ppd, printableP900());
    std::string output;
    if (TestSupport::run(script() + " add " + shellQuoted(server->root().string()) + " " + p900Queue + " " +
                             shellQuoted(ppd.string()) + " 2>&1",
                         &output) != 0 ||
        TestSupport::run(std::string("lpadmin -p ") + rawQueue + " -E -v file:///dev/null 2>&1", &output) !=
            0) {
        failure = "the application's test queues could not be added: " + output;
        *reason = failure;
        return nullptr;
    }
    return server;
}

Sandbox::Sandbox() {
    fs::create_directories(profileFolder());
    fs::create_directories(photoFolder());
    fs::create_directories(root() / "tmp");
    fs::create_directories(root() / "home");
}

std::shared_ptr<QSettings> Sandbox::settings() const {
    return std::make_shared<QSettings>(QString::fromStdString(settingsFile().string()), QSettings::IniFormat);
}

PrintModel::Environment Sandbox::environment() const {
    PrintModel::Environment environment;
    environment.settings = settings();
    environment.recipes = PrintKit::RecipeStore{recipeFolder()};
    environment.profileFolders = std::vector<fs::path>{profileFolder()};
    environment.temporaryFolder = root() / "tmp";
    environment.home = root() / "home";
    return environment;
}

fs::path Sandbox::addProfile(const std::string& fileName, const std::string& description) const {
    const fs::path path = profileFolder() / fileName;
    std::wstring wide(description.begin(), description.end());
    TestSupport::writeFile(path,
                           TestProfiles::make(TestProfiles::Kind::rgbPrinter, 2.1, {{"en", "US", wide}}));
    return path;
}

bool waitFor(const std::function<bool()>& predicate, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > milliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

namespace {

// The profile scan posts its result after the printer list; a few turns of the loop let it land.
void settle() {
    QThreadPool::globalInstance()->waitForDone(30000);
    for (int turn = 0; turn < 5; ++turn) {
        QCoreApplication::processEvents();
    }
}

} // namespace

void startAndWait(PrintModel& model) {
    model.start();
    ASSERT_TRUE(waitFor([&] { return !model.isLoadingPrinters(); }));
    settle();
}

void selectAndWait(PrintModel& model, const std::string& queue) {
    model.selectPrinter(queue);
    ASSERT_EQ(model.printerID(), queue);
    settle();
}

void addAndWait(PrintModel& model, const std::vector<fs::path>& urls) {
    model.addPhotos(urls);
    ASSERT_TRUE(waitFor([&] { return !model.isLoadingPhotos(); }));
    settle();
}

std::string orientedJpeg(int uprightWidth, int uprightHeight, int orientation) {
    const bool swap = PrintKit::Orientation::swapsSides(orientation);
    const int storedWidth = swap ? uprightHeight : uprightWidth;
    const int storedHeight = swap ? uprightWidth : uprightHeight;
    TestImages::Pixels stored = TestImages::solid(storedWidth, storedHeight, {40, 200, 40});
    const PrintKit::Orientation::Mapping map =
        PrintKit::Orientation::mapping(storedWidth, storedHeight, orientation, false);
    for (int y = 0; y < uprightHeight; ++y) {
        for (int x = 0; x < uprightWidth; ++x) {
            std::uint16_t r = 40, g = 200, b = 40;
            if (x < uprightWidth / 2 && y < uprightHeight / 2) {
                r = 220, g = 30, b = 30;
            } else if (x >= uprightWidth / 2 && y >= uprightHeight / 2) {
                r = 30, g = 30, b = 220;
            }
            auto [u, v] = map.stored(x, y);
            stored.at(static_cast<int>(u), static_cast<int>(v), 0) = r;
            stored.at(static_cast<int>(u), static_cast<int>(v), 1) = g;
            stored.at(static_cast<int>(u), static_cast<int>(v), 2) = b;
        }
    }
    TestImages::JpegOptions options;
    options.orientation = orientation;
    return TestImages::jpeg(stored, options);
}

std::string plainJpeg(int width, int height, int red, int green, int blue) {
    return TestImages::jpeg(
        TestImages::solid(width, height,
                          {static_cast<std::uint16_t>(red), static_cast<std::uint16_t>(green),
                           static_cast<std::uint16_t>(blue)}));
}

OwnServer::OwnServer() = default;

OwnServer::~OwnServer() {
    if (active_) {
        if (previous_) {
            ::setenv("CUPS_SERVER", previous_->c_str(), 1);
        } else {
            ::unsetenv("CUPS_SERVER");
        }
        cupsSetServer(nullptr);
    }
    if (running_) {
        TestSupport::run(script() + " stop " + shellQuoted(folder_.path().string()) + " >/dev/null 2>&1");
        for (int attempt = 0; attempt < 100 && ::waitpid(-1, nullptr, WNOHANG) >= 0; ++attempt) {
            ::usleep(20000);
        }
    }
}

bool OwnServer::start(const std::vector<std::string>& keep, std::string* reason) {
    std::string shared;
    if (!printServer(&shared)) {
        *reason = shared;
        return false;
    }
    std::string output;
    if (TestSupport::run("TESTBED_OWNER=" + std::to_string(::getpid()) + " " + script() + " start " +
                             shellQuoted(folder_.path().string()) + " 2>&1",
                         &output) != 0) {
        *reason = "a second private CUPS server did not start: " + output;
        return false;
    }
    running_ = true;
    address_ = addressIn(output);
    for (const char* queue : {"TestbedPhoto", "TestbedOffice", "TestbedBroken"}) {
        if (std::find(keep.begin(), keep.end(), queue) == keep.end() &&
            TestSupport::run("lpadmin -h " + shellQuoted(address_) + " -x " + queue + " 2>&1", &output) !=
                0) {
            *reason = "a queue of the second server could not be removed: " + output;
            return false;
        }
    }
    return !address_.empty();
}

void OwnServer::activate() {
    if (const char* current = std::getenv("CUPS_SERVER")) {
        previous_ = current;
    }
    ::setenv("CUPS_SERVER", address_.c_str(), 1);
    cupsSetServer(nullptr);
    active_ = true;
}

} // namespace AppTestSupport
