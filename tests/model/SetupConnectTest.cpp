// Connecting a found printer against the private cupsd: the model creates the queue with the engine's real
// queue creation and selects it; the printer then reads as connected.
#include "AppTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "doubles/SetupDouble.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using AppTestSupport::waitFor;

namespace {

TEST(SetupConnectTest, ConnectCreatesTheQueueAndSelectsIt) {
    REQUIRE_PRINT_SERVER(server);
    const PrintKit::FoundPrinter studio{"Studio P900 (connect)", "EPSON SC-P900 Series"};
    const PrintKit::EpsonDriver p900{"EPSON SC-P900 Series", "testbed-drivers:sc-p900"};
    auto setup = std::make_shared<TestDoubles::SetupDouble>(); // discovery and drivers; the queue is real
    setup->found = {studio};
    setup->setDrivers({p900});
    AppTestSupport::Sandbox sandbox;
    PrintModel::Environment environment = sandbox.environment();
    environment.setup = setup;
    PrintModel model(environment);
    AppTestSupport::startAndWait(model);
    model.discoverPrinters();
    ASSERT_TRUE(waitFor([&] { return !model.isDiscovering(); }));
    ASSERT_TRUE(
        waitFor([&] { return model.setupStatus(studio) == PrintKit::SetupStatus::canConnect(p900); }));

    model.connect(studio);
    EXPECT_EQ(model.connecting(), std::optional<std::string>(studio.name));
    ASSERT_TRUE(waitFor([&] {
        return !model.connecting() && model.printerID() != std::nullopt &&
               model.setupStatus(studio).kind == PrintKit::SetupStatus::Kind::connected;
    }));
    const std::string queue = *model.printerID();
    TestSupport::run("lpadmin -x '" + queue + "'");
    EXPECT_EQ(model.setupStatus(studio), PrintKit::SetupStatus::connected(queue));
    EXPECT_EQ(queue.rfind("EPSON_SC-P900_Series", 0), 0u) << queue;
    EXPECT_TRUE(model.newPrinters().empty());
    EXPECT_TRUE(model.failure().isEmpty()) << model.failure().toStdString();
}

} // namespace
