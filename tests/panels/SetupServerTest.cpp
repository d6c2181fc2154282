// The set-up sheet over real queues: a private CUPS server of the test's own with photo-driver and AirPrint
// queues (the rows of connected queues, "사용", the AirPrint note); and, with the engine's own set-up
// services, a printer announced by a real avahi-daemon in a network namespace of its own
// (scripts/avahi-testbed.sh) that the sheet finds and connects. libdbus reads the bus address once per
// process, so the discovery case needs a process of its own, as ctest runs it.
#include "AppTestSupport.h"
#include "PanelTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/PrinterSetupSheet.h"
#include "QuilmPrint/panels/SetupRow.h"
#include "QuilmPrint/shared/Controls.h"
#include "SetupTestSupport.h"
#include "model/doubles/SetupDouble.h"
#include "shared/RecordingDesktop.h"

#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <regex>

using namespace QuilmPrint;

namespace {

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

// Adds a queue to the server CUPS_SERVER names.
void addQueue(const std::string& name, const std::filesystem::path& ppd, const std::string& device) {
    std::string output;
    ASSERT_EQ(TestSupport::run("lpadmin -h \"$CUPS_SERVER\" -p " + quoted(name) + " -E -v " + quoted(device) +
                                   " -P " + quoted(ppd.string()) + " 2>&1",
                               &output),
              0)
        << output;
}

// A driverless queue's description: the office printer's, named the way CUPS names what it generates.
std::filesystem::path driverlessPPD(const std::filesystem::path& folder, const std::string& file,
                                    const std::string& model) {
    std::string text = TestSupport::readFile(TestSupport::fixture("ppd/testbed-plain.ppd"));
    text = std::regex_replace(text, std::regex("Generic Testbed Office Laser"), model + ", driverless");
    const std::filesystem::path path = folder / file;
    TestSupport::writeFile(path, text);
    return path;
}

SetupRow* rowTitled(const std::vector<SetupRow*>& rows, const QString& title) {
    for (SetupRow* row : rows)
        if (row->values().title == title)
            return row;
    return nullptr;
}

QLabel* titleLabel(QWidget& sheet, const QString& text) {
    for (QLabel* label : sheet.findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

TEST(SetupServerTest, ConnectedQueuesAreUsedFromTheSheetAndAirPrintQueuesExplained) {
    AppTestSupport::OwnServer server;
    std::string reason;
    if (!server.start({}, &reason))
        GTEST_SKIP() << reason;
    server.activate();
    AppTestSupport::Sandbox sandbox;
    // One photo-driver queue per machine, one of them pointing at the found printer; the P900's AirPrint
    // queue and an office printer's.
    addQueue("Studio_P900", TestSupport::fixture("ppd/qx-p900.ppd"),
             "dnssd://Studio%20P900._ipp._tcp.local/");
    addQueue("Testbed_Photo", TestSupport::fixture("ppd/testbed-epson.ppd"), "file:///dev/null");
    addQueue("P900_AirPrint", driverlessPPD(sandbox.root(), "p900.ppd", "EPSON SC-P900 Series"),
             "file:///dev/null");
    addQueue("Office_AirPrint", driverlessPPD(sandbox.root(), "office.ppd", "Generic Office"),
             "file:///dev/null");

    auto setup = std::make_shared<TestDoubles::SetupDouble>();
    setup->found = {{"Studio P900", "EPSON SC-P900 Series"}};
    PrintModel::Environment environment = sandbox.environment();
    environment.setup = setup;
    PrintModel model(environment);
    AppTestSupport::startAndWait(model);
    AppTestSupport::selectAndWait(model, "Testbed_Photo");
    model.setShowingSetup(true);
    RecordingDesktop::install();

    PrinterSetupSheet sheet(&model, nullptr);
    sheet.setLocale(QLocale("ko_KR"));
    sheet.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isDiscovering(); }, 10000));
    sheet.refresh();

    // Both photo-driver queues are connected; the current one cannot be chosen again.
    ASSERT_EQ(sheet.connectedRows().size(), 2u);
    SetupRow* studio = rowTitled(sheet.connectedRows(), "EPSON SC-P900 Series");
    SetupRow* photo = rowTitled(sheet.connectedRows(), "EPSON Testbed Photo 1");
    ASSERT_TRUE(studio && photo);
    EXPECT_EQ(studio->statusLabel()->text(), "연결 완료 · Studio_P900");
    EXPECT_EQ(photo->controlView()->control().text, "사용 중");
    EXPECT_FALSE(photo->controlView()->button()->isEnabled());
    EXPECT_EQ(studio->controlView()->control().text, "사용");
    EXPECT_TRUE(SetupTest::shows(&sheet, "연결 완료"));

    // The found printer already has its queue: nothing new, and the headline says so.
    EXPECT_TRUE(sheet.newRows().empty());
    EXPECT_TRUE(SetupTest::shows(&sheet, "새 Epson 프린터 없음"));
    EXPECT_TRUE(
        SetupTest::shows(&sheet, "P900_AirPrint — 같은 프린터의 Epson 드라이버 연결(Studio_P900)로 인쇄"));
    EXPECT_TRUE(
        SetupTest::shows(&sheet, "Office_AirPrint — Epson 드라이버 연결 없음. 프린터를 켜고 위에서 연결"));
    // With connected queues above it, the heading of new printers stands 10 further off than rows do.
    PanelTest::grab(&sheet);
    QLabel* newTitle = titleLabel(sheet, "새로 찾은 프린터");
    ASSERT_TRUE(newTitle);
    SetupRow* last = sheet.connectedRows().back();
    EXPECT_EQ(newTitle->mapTo(&sheet, QPoint(0, 0)).y() - last->mapTo(&sheet, QPoint(0, last->height())).y(),
              16);
    PanelTest::saveArtifact(&sheet, "setup-sheet-connected-queues");
    QScrollBar* scroll = sheet.findChild<QScrollArea*>()->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    PanelTest::saveArtifact(&sheet, "setup-sheet-airprint-note");

    QTest::mouseClick(studio->controlView()->button(), Qt::LeftButton);
    EXPECT_EQ(model.printerID(), std::optional<std::string>("Studio_P900"));
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_FALSE(model.showingSetup());
}

// A private mDNS responder (scripts/avahi-testbed.sh), stopped at the end.
class Responder {
public:
    ~Responder() {
        TestSupport::run(script() + " stop " + quoted(root_.path().string()) + " >/dev/null 2>&1");
    }
    // The bus address, or none with the reason.
    std::optional<std::string> start(std::string* reason) {
        std::string output;
        const int status =
            TestSupport::run(script() + " start " + quoted(root_.path().string()) + " 2>&1", &output);
        const std::size_t at = output.find("DBUS_SYSTEM_BUS_ADDRESS=");
        if (status != 0 || at == std::string::npos) {
            *reason = output;
            return std::nullopt;
        }
        std::string address = output.substr(at + 24);
        return address.substr(0, address.find('\n'));
    }
    bool publish(const std::string& name, const std::string& type, const std::vector<std::string>& txt,
                 std::string* output) {
        std::string command = script() + " publish " + quoted(root_.path().string()) + " " + quoted(name) +
                              " " + type + " 9100";
        for (const std::string& entry : txt)
            command += " " + quoted(entry);
        return TestSupport::run(command + " 2>&1", output) == 0;
    }

private:
    static std::string script() {
        return quoted(std::string(QUILM_SOURCE_DIR) + "/scripts/avahi-testbed.sh");
    }
    TestSupport::TemporaryDirectory root_;
};

// The bus address clients use; restored when the test ends.
class BusAddress {
public:
    explicit BusAddress(const std::string& address) {
        if (const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS"))
            old_ = old;
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }
    ~BusAddress() {
        if (old_)
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", old_->c_str(), 1);
        else
            ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }

private:
    std::optional<std::string> old_;
};

TEST(SetupDiscoveryTest, AnnouncedPrinterIsFoundAndConnected) {
    // libcups' printer listing may already have reached for the system bus in this process, and libdbus
    // keeps the first address it read.
    if (testing::UnitTest::GetInstance()->test_to_run_count() > 1)
        GTEST_SKIP() << "needs a process of its own, as ctest runs it: libdbus reads the bus address once";
    Responder responder;
    std::string reason;
    const std::optional<std::string> bus = responder.start(&reason);
    if (!bus)
        GTEST_SKIP() << "no private mDNS responder here: " << reason;
    BusAddress address(*bus);
    AppTestSupport::OwnServer server;
    if (!server.start({}, &reason))
        GTEST_SKIP() << reason;
    server.activate();
    std::string output;
    ASSERT_TRUE(responder.publish("Studio P900", "_printer._tcp", {"usb_MFG=EPSON", "usb_MDL=SC-P900 Series"},
                                  &output))
        << output;

    // The engine's own services: discovery over the responder, the server's driver list, lpadmin.
    AppTestSupport::Sandbox sandbox;
    PrintModel model(sandbox.environment());
    AppTestSupport::startAndWait(model);
    EXPECT_TRUE(model.epsonQueues().empty());
    RecordingDesktop::install();
    PrinterSetupSheet sheet(&model, nullptr);
    sheet.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.isDiscovering(); }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowTitled(sheet.newRows(), "Studio P900"); }, 5000));

    SetupRow* found = rowTitled(sheet.newRows(), "Studio P900");
    // The server offers the P900's driver, so the printer can be connected at once.
    ASSERT_TRUE(QTest::qWaitFor([&] { return found->controlView()->control().text == "연결"; }, 10000))
        << found->statusLabel()->text().toStdString();
    EXPECT_EQ(found->statusLabel()->text(), "Epson 드라이버 설치됨 · 연결 대기");
    PanelTest::saveArtifact(&sheet, "setup-sheet-discovered");

    QTest::mouseClick(found->controlView()->button(), Qt::LeftButton);
    EXPECT_EQ(model.connecting(), std::optional<std::string>("Studio P900"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.connecting() && sheet.newRows().empty(); }, 30000))
        << model.failure().toStdString();
    EXPECT_TRUE(model.failure().isEmpty()) << model.failure().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.connectedRows().size() == 1; }, 10000));
    SetupRow* connected = sheet.connectedRows().front();
    const std::string queue = connected->values().status.queue;
    EXPECT_EQ(connected->statusLabel()->text(), QString::fromStdString("연결 완료 · " + queue));
    EXPECT_EQ(model.setupStatus({"Studio P900", "EPSON SC-P900 Series"}),
              PrintKit::SetupStatus::connected(queue));
    // The new queue became the printer for printing.
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.printerID() == queue; }, 10000));
    sheet.refresh();
    EXPECT_EQ(connected->controlView()->control().text, "사용 중");
    EXPECT_TRUE(SetupTest::shows(&sheet, "새 Epson 프린터 없음"));
    PanelTest::saveArtifact(&sheet, "setup-sheet-connected");
}

} // namespace
