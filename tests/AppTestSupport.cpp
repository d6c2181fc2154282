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
#include <sys/wait.h>
#include <unistd.h>

namespace AppTestSupport {

namespace fs = std::filesystem;
using QuilmPrint::PrintModel;

std::string shellQuoted(const std::string& text) {
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

namespace {
std::string script() {
    return shellQuoted(std::string(QUILM_SOURCE_DIR) + "/scripts/cups-testbed.sh");
}

// libcups keeps the server's address per thread: pool threads that end after each job read CUPS_SERVER
// afresh.
class FreshPoolThreads : public testing::Environment {
public:
    void SetUp() override { QThreadPool::globalInstance()->setExpiryTimeout(0); }
};

[[maybe_unused]] const auto* freshPoolThreads = testing::AddGlobalTestEnvironment(new FreshPoolThreads);

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
    if (server && prepared && !failure.empty())
        *reason = failure;
    if (!server || prepared)
        return failure.empty() ? server : nullptr;
    prepared = true;
    // The test bed's one printable photo printer, as scripts/run.sh and the end-to-end test add it.
    std::string output;
    if (TestSupport::run(shellQuoted(std::string(QUILM_SOURCE_DIR) + "/scripts/testbed-printer.sh") + " " +
                             shellQuoted(server->root().string()) + " " + p900Queue + " 2>&1",
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
    for (const fs::path& folder : {profileFolder(), photoFolder(), root() / "tmp", root() / "home"})
        fs::create_directories(folder);
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

std::vector<fs::path> Sandbox::writePhotos(int count, const std::string& bytes,
                                           const std::string& prefix) const {
    std::vector<fs::path> files;
    for (int i = 0; i < count; ++i) {
        files.push_back(photoFolder() / (prefix + std::to_string(i) + ".jpg"));
        TestSupport::writeFile(files.back(), bytes);
    }
    return files;
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
// The profile scan posts its result after the printer list.
void settle() {
    QThreadPool::globalInstance()->waitForDone(30000);
    for (int turn = 0; turn < 5; ++turn)
        QCoreApplication::processEvents();
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
    for (int y = 0; y < uprightHeight; ++y)
        for (int x = 0; x < uprightWidth; ++x) {
            const bool red = x < uprightWidth / 2 && y < uprightHeight / 2;
            const bool blue = x >= uprightWidth / 2 && y >= uprightHeight / 2;
            const std::uint16_t rgb[] = {std::uint16_t(red ? 220 : blue ? 30 : 40),
                                         std::uint16_t(red || blue ? 30 : 200), std::uint16_t(blue ? 220 : red ? 30 : 40)};
            auto [u, v] = map.stored(x, y);
            for (int channel = 0; channel < 3; ++channel)
                stored.at(static_cast<int>(u), static_cast<int>(v), channel) = rgb[channel];
        }
    TestImages::JpegOptions options;
    options.orientation = orientation;
    return TestImages::jpeg(stored, options);
}

std::string plainJpeg(int width, int height, int red, int green, int blue) {
    return TestImages::jpeg(
        TestImages::solid(width, height, {std::uint16_t(red), std::uint16_t(green), std::uint16_t(blue)}));
}

OwnServer::~OwnServer() {
    if (active_) {
        previous_ ? ::setenv("CUPS_SERVER", previous_->c_str(), 1) : ::unsetenv("CUPS_SERVER");
        cupsSetServer(nullptr);
    }
    if (running_) {
        TestSupport::run(script() + " stop " + shellQuoted(folder_.path().string()) + " >/dev/null 2>&1");
        for (int attempt = 0; attempt < 100 && ::waitpid(-1, nullptr, WNOHANG) >= 0; ++attempt)
            ::usleep(20000);
    }
}

bool OwnServer::start(const std::vector<std::string>& keep, std::string* reason) {
    if (!printServer(reason))
        return false;
    std::string output;
    if (TestSupport::run("TESTBED_OWNER=" + std::to_string(::getpid()) + " " + script() + " start " +
                             shellQuoted(folder_.path().string()) + " 2>&1",
                         &output) != 0) {
        *reason = "a second private CUPS server did not start: " + output;
        return false;
    }
    running_ = true;
    address_ = addressIn(output);
    for (const char* queue : {"TestbedPhoto", "TestbedOffice", "TestbedBroken"})
        if (std::find(keep.begin(), keep.end(), queue) == keep.end() &&
            TestSupport::run("lpadmin -h " + shellQuoted(address_) + " -x " + queue + " 2>&1", &output) != 0) {
            *reason = "a queue of the second server could not be removed: " + output;
            return false;
        }
    return !address_.empty();
}

void OwnServer::activate() {
    if (const char* current = std::getenv("CUPS_SERVER"))
        previous_ = current;
    ::setenv("CUPS_SERVER", address_.c_str(), 1);
    cupsSetServer(nullptr);
    active_ = true;
}
} // namespace AppTestSupport
