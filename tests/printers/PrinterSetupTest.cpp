// Set-up state of found printers, the device URIs and queue names made for them, the installed drivers
// (the private cupsd's driver program and folders on disk), and queue creation through lpadmin against the
// private cupsd (TestServer.h).
#include "PrintKit/printers/PrinterSetup.h"

#include "PrintKit/printers/CupsClient.h"
#include "PrintKit/printers/QueueKind.h"
#include "TestServer.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using namespace TestSupport;

namespace PrintKit {
void PrintTo(const EpsonDriver& driver, std::ostream* out) {
    *out << driver.model << " at " << driver.ppdName;
}
} // namespace PrintKit

namespace {

const EpsonDriver serverP900{"EPSON SC-P900 Series", "testbed-drivers:sc-p900"};
const EpsonDriver et8550{"EPSON ET-8550 Series", "/usr/share/ppd/et8550.ppd"};

TEST(PrinterSetupTest, StatusFollowsQueuesThenDrivers) {
    const FoundPrinter studio{"Studio P900", "EPSON SC-P900 Series"};
    const std::vector<PrinterQueue> queues{
        {"Other", false, "", "dnssd://Other%20P900._ipp._tcp.local/?uuid=1"},
        {"Plain", false, "", "file:///dev/null"},
        {"Mine", false, "", "epsontcpip://Studio%20P900._printer._tcp.local./2"},
    };
    EXPECT_EQ(PrinterSetup::status(studio, queues, {et8550}), SetupStatus::connected("Mine"));
    EXPECT_EQ(PrinterSetup::status(studio, {queues[0], queues[1]}, {et8550, serverP900}),
              SetupStatus::canConnect(serverP900));
    EXPECT_EQ(PrinterSetup::status(studio, {}, {et8550}), SetupStatus::needsDriver("EPSON SC-P900 Series"));
    // A driver for a near name is no driver for the printer; one for exactly its uncatalogued model is.
    const FoundPrinter p9000{"Big", "EPSON SC-P9000 Series"};
    EXPECT_EQ(PrinterSetup::status(p9000, {}, {serverP900}), SetupStatus::needsDriver(p9000.model));
    const EpsonDriver p9000Driver{"EPSON SC-P9000 Series", "/p9000.ppd"};
    EXPECT_EQ(PrinterSetup::status(p9000, {}, {serverP900, p9000Driver}),
              SetupStatus::canConnect(p9000Driver));

    EXPECT_TRUE(PrinterSetup::hasDriver(EpsonMachines::all()[2], {serverP900, et8550}));
    EXPECT_FALSE(PrinterSetup::hasDriver(EpsonMachines::all()[3], {serverP900, et8550}));
}

TEST(PrinterSetupTest, DeviceURIsCarryAnyServiceNameIntact) {
    for (const std::string name : {"Studio P900", "Kim's \"P900\" 작업실 #2/3?", "a.b._tcp.c", "100%"}) {
        const std::string uri = PrinterSetup::deviceURI({name, "EPSON SC-P900 Series"});
        EXPECT_EQ(uri.find_first_of(" \"'#?"), std::string::npos) << uri;
        EXPECT_EQ(PrinterSetup::serviceName(uri), name) << uri;
    }
    EXPECT_EQ(PrinterSetup::serviceName("dnssd://EPSON%20ET-8550._ipp._tcp.local/?uuid=x"), "EPSON ET-8550");
    EXPECT_EQ(PrinterSetup::serviceName("ipp://printer.local/ipp/print"), "");
    EXPECT_EQ(PrinterSetup::serviceName("dnssd://._ipp._tcp.local/"), "");

    EXPECT_EQ(PrinterSetup::queueName("EPSON SC-P900 Series", {}), "EPSON_SC-P900_Series");
    EXPECT_EQ(
        PrinterSetup::queueName("EPSON SC-P900 Series", {"epson_sc-p900_series", "EPSON_SC-P900_Series_2"}),
        "EPSON_SC-P900_Series_3");
    EXPECT_EQ(PrinterSetup::queueName("  ★ ", {}), "EPSON");
}

class PrinterSetupServerTest : public testing::Test {
protected:
    void TearDown() override {
        PrinterSetup::setDriverFolders({"/usr/share/ppd", "/usr/share/cups/model"});
        for (const std::string& queue : created_) {
            run("lpadmin -h \"$CUPS_SERVER\" -x '" + queue + "' 2>/dev/null");
        }
    }
    std::vector<std::string> created_;
};

TEST_F(PrinterSetupServerTest, ListsTheServersAndTheFoldersDrivers) {
    REQUIRE_TEST_SERVER(server);
    TemporaryDirectory folder;
    std::filesystem::create_directories(folder / "vendor");
    std::filesystem::copy_file(fixture("ppd/testbed-borderless.ppd"), folder / "vendor" / "bless.ppd");
    ASSERT_EQ(run("gzip '" + (folder / "vendor" / "bless.ppd").string() + "'"), 0);
    std::filesystem::copy_file(fixture("ppd/testbed-plain.ppd"), folder / "plain.ppd");
    PrinterSetup::setDriverFolders({folder.path(), folder / "missing"});

    EXPECT_EQ(PrinterSetup::installedDrivers(),
              (std::vector<EpsonDriver>{
                  serverP900, {"EPSON Testbed Borderless", (folder / "vendor" / "bless.ppd.gz").string()}}));
}

// The set-up sheet asks every few seconds: a file is read again only when its size or modification time
// changed, and a driver the server hands out only when the server lists another one.
TEST_F(PrinterSetupServerTest, KeepsWhatWasReadUntilAFileOrTheServersListChanges) {
    REQUIRE_TEST_SERVER(server);
    TemporaryDirectory folder;
    const std::filesystem::path file = folder / "bless.ppd";
    const std::string original = readFile(fixture("ppd/testbed-borderless.ppd"));
    writeFile(file, original);
    PrinterSetup::setDriverFolders({folder.path()});
    auto models = [] {
        std::vector<std::string> names;
        for (const EpsonDriver& driver : PrinterSetup::installedDrivers())
            names.push_back(driver.model);
        return names;
    };
    ASSERT_EQ(models(), (std::vector<std::string>{"EPSON SC-P900 Series", "EPSON Testbed Borderless"}));
    // Other bytes of the same size and time, in the folder and behind the server's driver program.
    const auto stamp = std::filesystem::last_write_time(file);
    std::string renamed = original;
    for (std::size_t at; (at = renamed.find("Borderless\"")) != std::string::npos;)
        renamed.replace(at, 10, "Borderlass");
    writeFile(file, renamed);
    std::filesystem::last_write_time(file, stamp);
    const std::filesystem::path served = server->root() / "ppd" / "driver-sc-p900.ppd";
    const std::string servedOriginal = readFile(served);
    std::string servedRenamed = servedOriginal;
    const std::string model = "*ModelName: \"EPSON SC-P900";
    servedRenamed.replace(servedRenamed.find(model), model.size(), "*ModelName: \"EPSON SC-P901");
    writeFile(served, servedRenamed);
    EXPECT_EQ(models(), (std::vector<std::string>{"EPSON SC-P900 Series", "EPSON Testbed Borderless"}));
    std::filesystem::last_write_time(file, stamp + std::chrono::seconds(1));
    EXPECT_EQ(models(), (std::vector<std::string>{"EPSON SC-P900 Series", "EPSON Testbed Borderlass"}));
    // A file that went is forgotten: back with its old time, it is read again.
    std::filesystem::remove(file);
    EXPECT_EQ(models(), std::vector<std::string>{"EPSON SC-P900 Series"});
    writeFile(file, original);
    std::filesystem::last_write_time(file, stamp + std::chrono::seconds(1));
    EXPECT_EQ(models(), (std::vector<std::string>{"EPSON SC-P900 Series", "EPSON Testbed Borderless"}));
    // Folders set anew forget everything read.
    PrinterSetup::setDriverFolders({folder.path()});
    EXPECT_EQ(models(), (std::vector<std::string>{"EPSON SC-P901 Series", "EPSON Testbed Borderless"}));
    writeFile(served, servedOriginal);
}

TEST_F(PrinterSetupServerTest, CreatesQueuesThatConnectTheirPrinters) {
    REQUIRE_TEST_SERVER(server);
    const FoundPrinter first{"Kim's \"P900\" 작업실", "EPSON SC-P900 Series"};
    const FoundPrinter second{"Second P900", "EPSON SC-P900 Series"};
    auto names = [] {
        std::vector<std::string> list;
        for (const PrinterQueue& queue : CupsClient::queues()) {
            list.push_back(queue.name);
        }
        return list;
    };
    auto epsonQueues = [&] {
        std::vector<PrinterQueue> epson;
        for (const PrinterQueue& queue : CupsClient::queues()) {
            const PPDFile ppd = CupsClient::ppd(queue.name, std::nullopt, server->root() / "etc" / "ppd");
            if (queueKind(queue, &ppd) == QueueKind::epson) {
                epson.push_back(queue);
            }
        }
        return epson;
    };

    const std::string one = PrinterSetup::createQueue(first, serverP900, names());
    created_.push_back(one);
    EXPECT_EQ(one, "EPSON_SC-P900_Series");
    // The same model from a PPD file on disk: another queue name.
    const EpsonDriver fromFile{serverP900.model, fixture("ppd/qx-p900.ppd").string()};
    const std::string two = PrinterSetup::createQueue(second, fromFile, names());
    created_.push_back(two);
    EXPECT_EQ(two, "EPSON_SC-P900_Series_2");

    const std::vector<PrinterQueue> queues = epsonQueues();
    EXPECT_EQ(PrinterSetup::status(first, queues, {serverP900}), SetupStatus::connected(one));
    EXPECT_EQ(PrinterSetup::status(second, queues, {serverP900}), SetupStatus::connected(two));
    for (const PrinterQueue& queue : queues) {
        if (queue.name == one) {
            EXPECT_EQ(queue.makeAndModel, "EPSON SC-P900 Series");
        }
    }

    // lpadmin's refusal reaches the user in its own words.
    created_.push_back("EPSON_SC-P900_Series_3");
    try {
        PrinterSetup::createQueue(first, {serverP900.model, "testbed-drivers:no-such"}, names());
        ADD_FAILURE() << "a queue without a driver was created";
    } catch (const PrinterSetupError& error) {
        EXPECT_EQ(error.code(), PrinterSetupErrorCode::queueFailed);
        EXPECT_EQ(error.message().rfind("프린터를 연결하지 못했습니다: lpadmin: ", 0), 0u) << error.message();
    }
    EXPECT_THROW(PrinterSetup::createQueue({"", "EPSON SC-P900 Series"}, serverP900, {}), PrinterSetupError);
}

} // namespace
