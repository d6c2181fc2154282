// The borderless expansion: measured once per queue and page size, remembered across runs, and a
// measurement that fails ends the wait with a notice instead of keeping the sheet pending for good.
#include "AppTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/model/PrintRoad.h"
#include "QuilmPrint/model/SheetWork.h"
#include "doubles/SetupDouble.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using AppTestSupport::waitFor;

namespace {

class PrintRoadBleedTest : public testing::Test {
protected:
    // A started model on the driver's description, printing A4 borderless with edge compensation.
    std::unique_ptr<PrintModel> borderless(std::shared_ptr<QSettings> settings = nullptr,
                                           const std::vector<std::filesystem::path>& photos = {}) {
        PrintModel::Environment environment = sandbox_.environment();
        if (settings)
            environment.settings = std::move(settings);
        environment.setup = setup_;
        auto model = std::make_unique<PrintModel>(environment);
        AppTestSupport::startAndWait(*model);
        AppTestSupport::selectAndWait(*model, AppTestSupport::p900Queue);
        if (!photos.empty())
            AppTestSupport::addAndWait(*model, photos);
        model->chooseSheet("A4");
        model->setSource("SFBL");
        model->setBleedCompensation(true);
        model->setDriverOverride("EPIJ_Qual", "301"); // 360 dpi
        return model;
    }

    AppTestSupport::Sandbox sandbox_;
    std::shared_ptr<TestDoubles::SetupDouble> setup_ = std::make_shared<TestDoubles::SetupDouble>();
};

TEST_F(PrintRoadBleedTest, MeasuredOnceAndRemembered) {
    REQUIRE_PRINT_SERVER(server);
    std::vector<std::string> asked;
    setup_->measureCall = [&](const std::string& queue, const PrintKit::PPDPageSize& page) {
        asked.push_back(queue + " " + page.name);
        return std::optional<double>(1.04);
    };
    auto model = borderless();
    EXPECT_TRUE(model->prepare().bleedPending);
    ASSERT_TRUE(waitFor([&] { return !model->prepare().bleedPending; }));
    const PreparedSheet sheet = model->prepare();
    ASSERT_TRUE(sheet.bleed);
    EXPECT_EQ(*sheet.bleed, PrintKit::BorderlessBleed::autoExpand(sheet.page, 1.04));
    EXPECT_EQ(sandbox_.settings()->value("bleed.expansion.TestbedP900.A4.Borderless").toDouble(), 1.04);

    // A second run on the same defaults measures nothing.
    auto second = borderless(sandbox_.settings());
    EXPECT_FALSE(second->prepare().bleedPending);
    QTest::qWait(100);
    EXPECT_EQ(asked, std::vector<std::string>{"TestbedP900 A4.Borderless"});
}

TEST_F(PrintRoadBleedTest, FailedMeasurementPrintsWithoutCompensationAndSaysSo) {
    REQUIRE_PRINT_SERVER(server);
    setup_->measureCall = [](const std::string&, const PrintKit::PPDPageSize&) {
        return std::optional<double>();
    };
    auto model = borderless();
    ASSERT_TRUE(waitFor([&] { return !model->prepare().bleedPending; }));
    EXPECT_FALSE(model->prepare().bleed);
    ASSERT_TRUE(model->notice());
    EXPECT_EQ(model->notice()->text, "테두리 없는 인쇄의 확대 비율을 재지 못해 보정 없이 인쇄합니다");

    // Changes and view updates after the failure ask for nothing more in this run.
    for (int round = 0; round < 3; ++round) {
        model->setBleedCompensation(false);
        model->setBleedCompensation(true);
        model->prepare();
        QTest::qWait(20);
    }
    EXPECT_FALSE(model->prepare().bleedPending);
    EXPECT_EQ(setup_->measurements(), 1);
    EXPECT_FALSE(sandbox_.settings()->contains("bleed.expansion.TestbedP900.A4.Borderless"));
}

TEST_F(PrintRoadBleedTest, SheetWaitsForItsMeasurement) {
    REQUIRE_PRINT_SERVER(server);
    TestDoubles::Gate measuring;
    measuring.close();
    setup_->measureCall = [&](const std::string&, const PrintKit::PPDPageSize&) {
        measuring.pass();
        return std::optional<double>(1.04);
    };
    const std::filesystem::path photo = sandbox_.photoFolder() / "wide.jpg";
    TestSupport::writeFile(photo, AppTestSupport::plainJpeg(300, 200));
    auto model = borderless(nullptr, {photo});
    ASSERT_TRUE(model->prepare().bleedPending);

    const std::filesystem::path folder = sandbox_.root() / "export";
    std::filesystem::create_directories(folder);
    model->exportPDFs(folder);
    QTest::qWait(300);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    measuring.open();
    ASSERT_TRUE(waitFor([&] { return model->notice() && !model->notice()->working; }));
    EXPECT_TRUE(std::filesystem::exists(folder / "wide.pdf"));
    printRoadPool()->waitForDone();
}

} // namespace

namespace {

TEST(PrintRoadBleedSettleTest, WaitingSheetTakesTheMeasurementItWaitedFor) {
    const PrintKit::PPDPageSize a4{"A4.Borderless", "A4", {}, 595, 842, std::vector<double>{0, 0, 595, 842}};
    SheetWork waiting;
    waiting.sheet.page = a4;
    waiting.sheet.paper = a4;
    waiting.sheet.bleedPending = true;

    SheetWork measured = waiting;
    measured.settleBleed(1.04);
    EXPECT_FALSE(measured.sheet.bleedPending);
    EXPECT_EQ(measured.sheet.bleed, PrintKit::BorderlessBleed::autoExpand(a4, 1.04));

    SheetWork unmeasured = waiting;
    unmeasured.settleBleed(std::nullopt);
    EXPECT_FALSE(unmeasured.sheet.bleedPending);
    EXPECT_FALSE(unmeasured.sheet.bleed);

    SheetWork settled = measured;
    settled.settleBleed(1.5); // a sheet that was not waiting keeps what it was prepared with
    EXPECT_EQ(settled, measured);
}

} // namespace
