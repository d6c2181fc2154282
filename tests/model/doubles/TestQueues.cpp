#include "doubles/TestQueues.h"

#include "TestSupport.h"

#include <filesystem>

namespace TestQueues {

namespace {

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

// Adds a queue to the shared server from the PPD with `from` replaced by `to`; returns the problem, if any.
std::string addQueue(TestSupport::TestServer& server, const std::string& name,
                     const std::filesystem::path& base, const std::string& from = {},
                     const std::string& to = {}) {
    std::string ppd = TestSupport::readFile(base);
    if (!from.empty())
        ppd.replace(ppd.find(from), from.size(), to);
    const std::filesystem::path file = server.root() / "ppd" / (name + ".ppd");
    TestSupport::writeFile(file, ppd);
    std::string output;
    if (TestSupport::run(quoted(std::string(QUILM_SOURCE_DIR) + "/scripts/cups-testbed.sh") + " add " +
                             quoted(server.root().string()) + " " + name + " " + quoted(file.string()) +
                             " 2>&1",
                         &output) != 0)
        return "cannot add " + name + ": " + output;
    return "";
}

// The driver's whole description printing through the test bed's raster filter (as the application's other
// tests use it), in 16-bit colour.
std::string addStudioQueue(TestSupport::TestServer& server, const std::string& name) {
    return addQueue(server, name, server.root() / "ppd" / "testbed-p900.ppd", "*OpenUI *Resolution/",
                    "*OpenUI *ColorModel/Colour Mode: PickOne\n*OrderDependency: 20 AnySetup *ColorModel\n"
                    "*DefaultColorModel: RGB16\n*ColorModel RGB16/16-bit Colour: \"<</cupsColorSpace 1/"
                    "cupsColorOrder 0/cupsBitsPerColor 16>>setpagedevice\"\n*CloseUI: *ColorModel\n\n"
                    "*OpenUI *Resolution/");
}

} // namespace

Queues::Queues(TestSupport::TestServer& server) {
    const std::filesystem::path p900 = server.root() / "ppd" / "testbed-p900.ppd";
    problem_ = addStudioQueue(server, photoQueue) + addStudioQueue(server, heldQueue) +
               addStudioQueue(server, goneQueue) +
               addQueue(server, brokenQueue, p900, "testbed-raster\"", "testbed-failing\"") +
               addQueue(server, pdfQueue, p900, "application/vnd.cups-raster application/vnd.testbed-raster",
                        "application/pdf application/vnd.testbed-raster");
    if (problem_.empty() && TestSupport::run(std::string("cupsdisable ") + heldQueue) != 0)
        problem_ = std::string("cannot stop ") + heldQueue;
}

// The other tests of the program share the server and count on its own queues only.
Queues::~Queues() {
    for (const char* queue : {photoQueue, heldQueue, goneQueue, brokenQueue, pdfQueue})
        TestSupport::run(std::string("lpadmin -x ") + queue + " 2>/dev/null");
}

std::unique_ptr<QuilmPrint::PrintModel> readyModel(const AppTestSupport::Sandbox& sandbox,
                                                   std::shared_ptr<QuilmPrint::SetupServices> setup,
                                                   const std::string& queue, int photos) {
    QuilmPrint::PrintModel::Environment environment = sandbox.environment();
    environment.setup = std::move(setup);
    auto model = std::make_unique<QuilmPrint::PrintModel>(environment);
    model->watchInterval = std::chrono::milliseconds(50);
    AppTestSupport::startAndWait(*model);
    AppTestSupport::selectAndWait(*model, queue);
    model->chooseSheet("4x6");
    model->setDriverOverride("EPIJ_Qual", "301"); // the 360 dpi quality
    std::vector<std::filesystem::path> files;
    for (int index = 0; index < photos; ++index) {
        files.push_back(sandbox.photoFolder() / ("photo-" + std::to_string(index + 1) + ".jpg"));
        TestSupport::writeFile(files.back(), AppTestSupport::plainJpeg(300, 200, 60 * index, 120, 200));
    }
    AppTestSupport::addAndWait(*model, files);
    return model;
}

} // namespace TestQueues
