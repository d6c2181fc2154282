// The model's printer set-up: a found printer goes from needing a driver through the installer to a queue,
// with the set-up services' doubles standing in for the network and the maker's server; connecting against
// the private cupsd creates the queue.
#include "AppTestSupport.h"
#include "PrintKit/printers/PrinterSetup.h"
#include "QuilmPrint/model/PrintModel.h"
#include "TestSupport.h"
#include "doubles/SetupDouble.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using TestDoubles::SetupDouble;
using Kind = DriverInstall::Kind;
using AppTestSupport::waitFor;

namespace {
const PrintKit::FoundPrinter studio{"Studio P900", "EPSON SC-P900 Series"};
const PrintKit::EpsonDriver p900{"EPSON SC-P900 Series", "testbed-drivers:sc-p900"};

class SetupChainTest : public testing::Test {
protected:
    PrintModel::Environment environment() {
        PrintModel::Environment environment = sandbox_.environment();
        environment.setup = setup_;
        return environment;
    }
    AppTestSupport::Sandbox sandbox_;
    std::shared_ptr<SetupDouble> setup_ = std::make_shared<SetupDouble>();
};

TEST_F(SetupChainTest, InstallsTheDriverThenConnectsThePrinter) {
    // A successful connect reloads the printer list: without a server that reload would put its own problem
    // in the alert, at a moment that depends on the machine's speed.
    REQUIRE_PRINT_SERVER(server);
    setup_->found = {studio};
    PrintModel model(environment());
    model.discoverPrinters();
    EXPECT_TRUE(model.isDiscovering());
    ASSERT_TRUE(waitFor([&] { return !model.isDiscovering(); }));
    EXPECT_EQ(model.foundPrinters(), std::vector<PrintKit::FoundPrinter>{studio});
    EXPECT_EQ(model.newPrinters(), std::vector<PrintKit::FoundPrinter>{studio});
    EXPECT_EQ(model.setupStatus(studio), PrintKit::SetupStatus::needsDriver(studio.model));
    const QString id = QString::fromStdString(studio.name);
    std::vector<DriverInstall> seen;
    QObject::connect(&model, &PrintModel::setupChanged, [&] {
        auto install = model.driverInstalls().find(id);
        if (install != model.driverInstalls().end() && (seen.empty() || seen.back() != install->second))
            seen.push_back(install->second);
    });
    setup_->findGate.close();
    model.installDriver(id, studio.model);
    model.installDriver(id, studio.model); // while finding: ignored
    EXPECT_EQ(model.driverInstalls().at(id), DriverInstall::finding());
    setup_->findGate.open();
    ASSERT_TRUE(waitFor([&] { return model.driverInstalls().at(id).kind == Kind::installerOpen; }));
    EXPECT_EQ(setup_->finds(), 1);
    EXPECT_EQ(seen,
              (std::vector<DriverInstall>{DriverInstall::finding(), DriverInstall::downloading(0),
                                          DriverInstall::downloading(0.25), DriverInstall::downloading(0.5),
                                          DriverInstall::downloading(1), DriverInstall::installerOpen()}));
    EXPECT_EQ(model.installerMounts().at(id), "/nonexistent/mount");
    model.reopenInstaller("No such install");
    model.reopenInstaller(id);
    ASSERT_TRUE(waitFor([&] { return !setup_->reopened().empty(); }));
    EXPECT_EQ(setup_->reopened(), std::vector<std::filesystem::path>{"/nonexistent/mount"});
    // The installer has put the driver in place: the next refresh ends the installation and connects.
    std::vector<PrintKit::EpsonDriver> usedDriver;
    setup_->createQueueCall = [&](const PrintKit::FoundPrinter&, const PrintKit::EpsonDriver& driver,
                                  const std::vector<std::string>&) {
        usedDriver.push_back(driver);
        return std::string("EPSON_SC-P900_Series");
    };
    setup_->setDrivers({p900});
    setup_->createGate.close();
    model.refreshDrivers();
    ASSERT_TRUE(waitFor([&] { return model.driverInstalls().empty(); }));
    EXPECT_EQ(model.setupStatus(studio), PrintKit::SetupStatus::canConnect(p900));
    EXPECT_EQ(model.connecting(), std::optional<std::string>(studio.name));
    EXPECT_TRUE(model.installerMounts().empty());
    setup_->createGate.open();
    ASSERT_TRUE(waitFor([&] { return !model.connecting(); }));
    EXPECT_EQ(usedDriver, std::vector<PrintKit::EpsonDriver>{p900});
    EXPECT_TRUE(model.failure().isEmpty());
    ASSERT_TRUE(waitFor([&] { return !setup_->detached().empty(); }));
    EXPECT_EQ(setup_->detached(), std::vector<std::filesystem::path>{"/nonexistent/mount"});
}

TEST_F(SetupChainTest, MachineInstallEndsWhenItsDriverAppears) {
    PrintModel model(environment());
    const PrintKit::EpsonMachine& machine = PrintKit::EpsonMachines::all().front();
    const QString id = "machine:" + QString::fromStdString(machine.bundle);
    EXPECT_FALSE(model.hasDriver(machine));
    model.installDriver(id, machine.keys.front());
    ASSERT_TRUE(waitFor([&] { return model.driverInstalls().at(id).kind == Kind::installerOpen; }));
    // A refresh that finds the same drivers changes nothing.
    model.refreshDrivers();
    QTest::qWait(100);
    EXPECT_EQ(model.driverInstalls().at(id), DriverInstall::installerOpen());
    setup_->setDrivers({p900});
    model.refreshDrivers();
    ASSERT_TRUE(waitFor([&] { return model.driverInstalls().empty(); }));
    EXPECT_TRUE(model.hasDriver(machine));
    EXPECT_FALSE(model.connecting());
}

TEST_F(SetupChainTest, InstallerThatCannotBeHadEndsWithTheReason) {
    const char* unsigned_ = "설치 프로그램의 서명을 확인하지 못했습니다: x.dmg";
    const std::tuple<std::optional<std::string>, std::string, DriverInstall> cases[] = {
        {std::nullopt, "", DriverInstall::noInstaller()},
        {"https://drivers.invalid/x.dmg", unsigned_, DriverInstall::failed(unsigned_)}};
    for (const auto& [url, failure, ending] : cases) {
        setup_->installerURL = url;
        setup_->openFailure = failure;
        PrintModel model(environment());
        model.installDriver("Studio P900", studio.model);
        const DriverInstall expected = ending; // structured bindings are not captured by every compiler
        ASSERT_TRUE(waitFor([&] { return model.driverInstalls().at("Studio P900") == expected; }));
        EXPECT_TRUE(model.installerMounts().empty());
    }
    // A model the catalogue does not know has no installer to look for.
    PrintModel model(environment());
    model.installDriver("Other", "EPSON SC-P9000 Series");
    EXPECT_EQ(model.driverInstalls().at("Other"), DriverInstall::noInstaller());
}

TEST_F(SetupChainTest, WorkOutlivingTheModelIsDropped) {
    setup_->findGate.close();
    setup_->found = {studio};
    {
        PrintModel model(environment());
        model.installDriver("Studio P900", studio.model);
        model.discoverPrinters();
    }
    setup_->findGate.open();
    QTest::qWait(200); // the background calls end and post to nothing
    EXPECT_EQ(setup_->finds(), 1);
}

TEST_F(SetupChainTest, ConnectCreatesTheQueueAndSelectsItAndAFailureLandsInTheProblemAlert) {
    REQUIRE_PRINT_SERVER(server);
    const PrintKit::FoundPrinter found{"Studio P900 (connect)", "EPSON SC-P900 Series"};
    setup_->found = {found};
    setup_->setDrivers({p900});
    setup_->createQueueCall = [](const PrintKit::FoundPrinter&, const PrintKit::EpsonDriver&,
                                 const std::vector<std::string>&) -> std::string {
        throw PrintKit::PrinterSetupError(PrintKit::PrinterSetupErrorCode::queueFailed, "lpadmin: refused");
    };
    PrintModel model(environment());
    AppTestSupport::startAndWait(model);
    model.discoverPrinters();
    ASSERT_TRUE(waitFor([&] { return model.setupStatus(found) == PrintKit::SetupStatus::canConnect(p900); }));
    model.connect(found);
    model.connect(found); // while connecting: ignored
    ASSERT_TRUE(waitFor([&] { return !model.failure().isEmpty(); }));
    EXPECT_EQ(model.failure().toStdString(),
              PrintKit::PrinterSetupError(PrintKit::PrinterSetupErrorCode::queueFailed, "lpadmin: refused").message());
    EXPECT_FALSE(model.connecting());
    setup_->createQueueCall = nullptr; // the engine's real queue creation on the private cupsd
    model.setFailure({});
    model.connect(found);
    EXPECT_EQ(model.connecting(), std::optional<std::string>(found.name));
    ASSERT_TRUE(waitFor([&] {
        return !model.connecting() && model.printerID() &&
               model.setupStatus(found).kind == PrintKit::SetupStatus::Kind::connected;
    }));
    const std::string queue = *model.printerID();
    TestSupport::run("lpadmin -x '" + queue + "'");
    EXPECT_EQ(model.setupStatus(found), PrintKit::SetupStatus::connected(queue));
    EXPECT_EQ(queue.rfind("EPSON_SC-P900_Series", 0), 0u) << queue;
    EXPECT_TRUE(model.newPrinters().empty());
    EXPECT_TRUE(model.failure().isEmpty()) << model.failure().toStdString();
}
} // namespace
