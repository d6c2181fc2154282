// What the application's tests share: a private world for one model (settings file, recipe folder,
// profile folder, temporary and home folders), photos and paper profiles made at test time, the private
// CUPS server with the application's extra queues, and a wait that keeps the event loop turning while
// background work of the model finishes.
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

// Queues the application's tests add to the shared private server, besides the test bed's TestbedPhoto,
// TestbedOffice and TestbedBroken:
// a photo printer with the driver's whole description (sheets, paper sources, quality presets, borderless
// page sizes, custom sizes), whose jobs go through the test bed's raster filter,
inline constexpr const char* p900Queue = "TestbedP900";
// and a queue without a PPD file.
inline constexpr const char* rawQueue = "TestbedRaw";

// The shared private server with the extra queues; null with the reason when it cannot run here.
TestSupport::TestServer* printServer(std::string* reason);

// One model's private world, removed at the end of scope.
class Sandbox {
public:
    Sandbox();

    const std::filesystem::path& root() const { return folder_.path(); }
    std::filesystem::path settingsFile() const { return root() / "settings.ini"; }
    std::filesystem::path recipeFolder() const { return root() / "Recipes"; }
    std::filesystem::path profileFolder() const { return root() / "icc"; }
    std::filesystem::path photoFolder() const { return root() / "photos"; }

    // A new QSettings on the sandbox's settings file, as a second run of the program would open it.
    std::shared_ptr<QSettings> settings() const;
    // Settings file, recipe folder, the sandbox's profile folder only, temporary and home folders.
    QuilmPrint::PrintModel::Environment environment() const;

    // An RGB printer profile (Little CMS) with the description, written into the profile folder.
    std::filesystem::path addProfile(const std::string& fileName, const std::string& description) const;

private:
    TestSupport::TemporaryDirectory folder_;
};

// Keeps the event loop turning until the predicate holds; false when it still does not after the time.
bool waitFor(const std::function<bool()>& predicate, int milliseconds = 30000);

// Starts the model and waits until its printer list is loaded (and the profile scan of the printer it
// chose has had its turn).
void startAndWait(QuilmPrint::PrintModel& model);
// Selects the queue and waits for its profile scan.
void selectAndWait(QuilmPrint::PrintModel& model, const std::string& queue);
// Adds the files and waits until every photo is in.
void addAndWait(QuilmPrint::PrintModel& model, const std::vector<std::filesystem::path>& urls);

// Photos for the model. A picture whose upright form is known: a red block in its top-left quarter, blue
// in its bottom-right quarter, green elsewhere, stored so that the given EXIF orientation makes it
// upright again (uprightWidth × uprightHeight after the orientation).
std::string orientedJpeg(int uprightWidth, int uprightHeight, int orientation);
// A plain JPEG of one colour.
std::string plainJpeg(int width, int height, int red = 128, int green = 128, int blue = 128);

// A second private CUPS server of its own (for a machine with other queues than the shared one), with only
// the listed test bed queues left. While an instance is active (activate()), libcups talks to it.
class OwnServer {
public:
    OwnServer();
    ~OwnServer();
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    // Starts it with only `keep` among the test bed's queues; false with the reason.
    bool start(const std::vector<std::string>& keep, std::string* reason);
    // Points libcups at this server until the object ends (then back at the one before).
    void activate();

private:
    TestSupport::TemporaryDirectory folder_;
    std::string address_;
    std::optional<std::string> previous_;
    bool running_ = false;
    bool active_ = false;
};

} // namespace AppTestSupport

#define REQUIRE_PRINT_SERVER(server)                                                                         \
    std::string server##Reason;                                                                              \
    ::TestSupport::TestServer* server = ::AppTestSupport::printServer(&server##Reason);                      \
    if (!server) {                                                                                           \
        GTEST_SKIP() << server##Reason;                                                                      \
    }
