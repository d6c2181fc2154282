// The expansion probe through real filter chains of the private cupsd's queues (TestServer.h): a driver
// that enlarges borderless pages by 1.04, the same driver on a bordered page, a queue without a PPD file,
// a driver whose filter never ends.
#include "PrintKit/printers/BorderlessExpansion.h"

#include "TestServer.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using namespace TestSupport;

namespace {

PPDPageSize fourBySix(const std::string& name) {
    return PPDPageSize{name, "4 x 6", {}, 288, 432, std::vector<double>{0, 0, 288, 432}};
}

// A queue whose PPD file names the given filter of the test bed as its pre-filter.
void addQueue(TestServer& server, const std::string& queue, const std::string& filter) {
    std::string ppd = readFile(fixture("ppd/testbed-borderless.ppd"));
    const std::string placeholder = "@FILTER@";
    ppd.replace(ppd.find(placeholder, ppd.find("cupsPreFilter")), placeholder.size(),
                (server.root() / "serverbin" / "filter" / filter).string());
    const std::filesystem::path path = server.root() / "ppd" / (queue + ".ppd");
    writeFile(path, ppd);
    std::string output;
    ASSERT_EQ(run(std::string(QUILM_SOURCE_DIR) + "/scripts/cups-testbed.sh add '" + server.root().string() +
                      "' " + queue + " '" + path.string() + "' 2>&1",
                  &output),
              0)
        << output;
}

TEST(BorderlessExpansionTest, MeasuresTheDriversEnlargement) {
    REQUIRE_TEST_SERVER(server);
    if (!haveProgram("cupsfilter") && ::access("/usr/sbin/cupsfilter", X_OK) != 0) {
        GTEST_SKIP() << "cupsfilter is not installed";
    }
    addQueue(*server, "TestbedEnlarging", "testbed-enlarge");
    addQueue(*server, "TestbedHanging", "testbed-hang");
    BorderlessExpansion::setPPDFolder(server->root() / "etc" / "ppd");

    const std::optional<double> borderless =
        BorderlessExpansion::measure("TestbedEnlarging", fourBySix("4x6.Borderless"));
    ASSERT_TRUE(borderless);
    EXPECT_NEAR(*borderless, 1.04, 0.003);
    const std::optional<double> bordered = BorderlessExpansion::measure("TestbedEnlarging", fourBySix("4x6"));
    ASSERT_TRUE(bordered);
    EXPECT_NEAR(*bordered, 1.0, 0.003);

    // From the server's copy when the folder has no file.
    TemporaryDirectory empty;
    BorderlessExpansion::setPPDFolder(empty.path());
    EXPECT_TRUE(BorderlessExpansion::measure("TestbedEnlarging", fourBySix("4x6.Borderless")));

    EXPECT_EQ(BorderlessExpansion::measure("NoSuchQueue", fourBySix("4x6.Borderless")), std::nullopt);
    EXPECT_EQ(
        BorderlessExpansion::measure("TestbedHanging", fourBySix("4x6.Borderless"), std::chrono::seconds(2)),
        std::nullopt);
    BorderlessExpansion::setPPDFolder(PPDFile::systemDirectory());
}

} // namespace
