#include "doubles/TestQueues.h"

#include "TestSupport.h"

namespace TestQueues {

namespace {
// Adds a queue to the shared server from the test bed's printable description with `from` replaced by `to`;
// returns the problem, if any.
std::string addQueue(TestSupport::TestServer& server, const std::string& name, const std::string& from = {},
                     const std::string& to = {}) {
    std::string ppd =
        TestSupport::readFile(server.root() / "ppd" / (std::string(AppTestSupport::p900Queue) + ".ppd"));
    if (!from.empty())
        ppd.replace(ppd.find(from), from.size(), to);
    const std::filesystem::path file = server.root() / "ppd" / (name + ".ppd");
    TestSupport::writeFile(file, ppd);
    std::string output;
    const std::string script = std::string(QUILM_SOURCE_DIR) + "/scripts/cups-testbed.sh";
    if (TestSupport::run(AppTestSupport::shellQuoted(script) + " add " +
                             AppTestSupport::shellQuoted(server.root()) + " " + name + " " +
                             AppTestSupport::shellQuoted(file) + " 2>&1",
                         &output) != 0)
        return "cannot add " + name + ": " + output;
    return "";
}
} // namespace

Queues::Queues(TestSupport::TestServer& server) {
    problem_ = addQueue(server, heldQueue) + addQueue(server, goneQueue) +
               addQueue(server, brokenQueue, "testbed-raster\"", "testbed-failing\"") +
               addQueue(server, pdfQueue, "application/vnd.cups-raster application/vnd.testbed-raster",
                        "application/pdf application/vnd.testbed-raster");
    if (problem_.empty() && TestSupport::run(std::string("cupsdisable ") + heldQueue) != 0)
        problem_ = std::string("cannot stop ") + heldQueue;
}

// The other tests of the program share the server and count on its own queues only.
Queues::~Queues() {
    for (const char* queue : {heldQueue, goneQueue, brokenQueue, pdfQueue})
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
