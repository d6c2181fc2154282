// What the application's tests share: a private world for one model (settings, recipes, profiles,
// temporary and home folders), photos and profiles made at test time, the private CUPS server with the
// application's extra queues, and waits that keep the event loop turning while background work finishes.
#pragma once

#include "QuilmPrint/model/PrintModel.h"
#include "TestServer.h"
#include "TestSupport.h"

#include <QSettings>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace AppTestSupport {

// Queues added to the shared server besides TestbedPhoto, TestbedOffice and TestbedBroken: the test bed's
// printable photo printer (scripts/testbed-printer.sh: the driver's whole description with sheets, sources,
// quality presets, borderless and custom sizes, printing in 16-bit colour through the test bed's raster
// filter), and a queue without a PPD file.
inline constexpr const char* p900Queue = "TestbedP900";
inline constexpr const char* rawQueue = "TestbedRaw";

// The shared private server with the extra queues; null with the reason when it cannot run here.
TestSupport::TestServer* printServer(std::string* reason);
std::string shellQuoted(const std::string& text);

// One model's private world, removed at the end of scope.
class Sandbox {
public:
    Sandbox();
    const std::filesystem::path& root() const { return folder_.path(); }
    std::filesystem::path settingsFile() const { return root() / "settings.ini"; }
    std::filesystem::path recipeFolder() const { return root() / "Recipes"; }
    std::filesystem::path profileFolder() const { return root() / "icc"; }
    std::filesystem::path photoFolder() const { return root() / "photos"; }
    // A new QSettings on the settings file, as a second run of the program would open it.
    std::shared_ptr<QSettings> settings() const;
    QuilmPrint::PrintModel::Environment environment() const;
    // An RGB printer profile with the description, in the profile folder.
    std::filesystem::path addProfile(const std::string& fileName, const std::string& description) const;
    // `count` files "<prefix>N.jpg" (N from 0) of the same bytes in the photo folder.
    std::vector<std::filesystem::path> writePhotos(int count, const std::string& bytes,
                                                   const std::string& prefix = "p") const;

private:
    TestSupport::TemporaryDirectory folder_;
};

// Turns the event loop until the predicate holds; false when it still does not after the time.
bool waitFor(const std::function<bool()>& predicate, int milliseconds = 30000);
// Starts the model and waits for its printer list (and the profile scan of the printer it chose).
void startAndWait(QuilmPrint::PrintModel& model);
void selectAndWait(QuilmPrint::PrintModel& model, const std::string& queue);
void addAndWait(QuilmPrint::PrintModel& model, const std::vector<std::filesystem::path>& urls);

// A picture whose upright form is red in its top-left quarter, blue in its bottom-right, green elsewhere,
// stored so that the EXIF orientation makes it upright again.
std::string orientedJpeg(int uprightWidth, int uprightHeight, int orientation);
std::string plainJpeg(int width, int height, int red = 128, int green = 128, int blue = 128);

// A second private CUPS server with only the listed test bed queues; libcups talks to it once activated,
// until the object ends.
class OwnServer {
public:
    OwnServer() = default;
    ~OwnServer();
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;
    bool start(const std::vector<std::string>& keep, std::string* reason);
    void activate();

private:
    TestSupport::TemporaryDirectory folder_;
    std::string address_;
    std::optional<std::string> previous_;
    bool running_ = false, active_ = false;
};
} // namespace AppTestSupport

#define REQUIRE_PRINT_SERVER(server)                                                                         \
    std::string server##Reason;                                                                              \
    ::TestSupport::TestServer* server = ::AppTestSupport::printServer(&server##Reason);                      \
    if (!server) {                                                                                           \
        GTEST_SKIP() << server##Reason;                                                                      \
    }
