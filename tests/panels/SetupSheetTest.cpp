// The printer set-up sheet over a model whose set-up services are the test doubles: discovery when it
// appears, the driver refresh only while it is shown, found printers and catalogue machines walked through
// their installation states by pressing the rows' buttons, and the keys and outside pages of the sheet.
#include "AppTestSupport.h"
#include "PanelTestSupport.h"
#include "QuilmPrint/model/PrintModel.h"
#include "QuilmPrint/panels/MachineRow.h"
#include "QuilmPrint/panels/PrinterSetupSheet.h"
#include "QuilmPrint/panels/SetupRow.h"
#include "QuilmPrint/shared/Controls.h"
#include "SetupTestSupport.h"
#include "model/doubles/SetupDouble.h"
#include "shared/RecordingDesktop.h"

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace QuilmPrint;
using PrintKit::FoundPrinter;

namespace {

const FoundPrinter kitchen{"Kitchen", "EPSON ET-8550 Series"};
const FoundPrinter studio{"Studio P900", "EPSON SC-P900 Series"};
const PrintKit::EpsonDriver p900{"EPSON SC-P900 Series", "testbed-drivers:sc-p900"};

// The doubles, also counting driver reads and holding a download part-way.
class SheetSetup : public TestDoubles::SetupDouble {
public:
    std::atomic<int> reads{0};
    TestDoubles::Gate downloadGate;

    std::vector<PrintKit::EpsonDriver> installedDrivers() override {
        ++reads;
        return SetupDouble::installedDrivers();
    }
    std::filesystem::path downloadInstaller(const std::string& url, const std::function<void(double)>& report,
                                            const std::atomic<bool>* cancel) override {
        report(0.42);
        downloadGate.pass();
        return SetupDouble::downloadInstaller(url, report, cancel);
    }
};

class SetupSheetTest : public testing::Test {
protected:
    PrintModel::Environment environment() {
        PrintModel::Environment environment = sandbox_.environment();
        environment.setup = setup_;
        return environment;
    }

    static bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10000); }

    // The row of the found printer, once the sheet lists it.
    static SetupRow* rowOf(PrinterSetupSheet& sheet, const QString& name) {
        for (SetupRow* row : sheet.newRows())
            if (row->values().title == name)
                return row;
        return nullptr;
    }

    static void press(SetupRow* row) { QTest::mouseClick(row->controlView()->button(), Qt::LeftButton); }
    static void press(MachineRow* row) { QTest::mouseClick(row->controlView()->button(), Qt::LeftButton); }

    AppTestSupport::Sandbox sandbox_;
    std::shared_ptr<SheetSetup> setup_ = std::make_shared<SheetSetup>();
    RecordingDesktop& desktop_ = RecordingDesktop::install();
};

TEST_F(SetupSheetTest, DiscoversWhenShownAndRefreshesDriversOnlyWhileShown) {
    setup_->found = {studio};
    PrintModel model(environment());
    model.setShowingSetup(true);
    PrinterSetupSheet sheet(&model, nullptr);
    EXPECT_EQ(sheet.tick()->interval(), 3000);
    EXPECT_FALSE(sheet.tick()->isActive());
    EXPECT_FALSE(model.isDiscovering());
    EXPECT_EQ(sheet.size(), QSize(540, 520));

    sheet.open();
    EXPECT_TRUE(model.isDiscovering());
    EXPECT_TRUE(sheet.tick()->isActive());
    sheet.refresh();
    EXPECT_TRUE(sheet.discoverButton()->isBusy());
    EXPECT_FALSE(sheet.discoverButton()->isEnabled());
    EXPECT_TRUE(SetupTest::shows(&sheet, "찾는 중…"));
    ASSERT_TRUE(waitFor([&] { return rowOf(sheet, "Studio P900"); }));
    EXPECT_FALSE(sheet.discoverButton()->isBusy());
    EXPECT_TRUE(sheet.discoverButton()->isEnabled());
    EXPECT_FALSE(SetupTest::shows(&sheet, "찾는 중…"));

    // Ticks read the drivers while the sheet is up; after "닫기" none does.
    sheet.tick()->setInterval(20);
    const int before = setup_->reads;
    ASSERT_TRUE(waitFor([&] { return setup_->reads >= before + 3; }));
    QTest::mouseClick(sheet.closeButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_FALSE(sheet.tick()->isActive());
    EXPECT_FALSE(model.showingSetup());
    QTest::qWait(100); // a read already under way ends
    const int afterClose = setup_->reads;
    QTest::qWait(300);
    EXPECT_EQ(setup_->reads, afterClose);

    // "다시 찾기" starts another run.
    sheet.open();
    ASSERT_TRUE(waitFor([&] { return !model.isDiscovering(); }));
    setup_->found = {kitchen, studio};
    sheet.refresh();
    QTest::mouseClick(sheet.discoverButton(), Qt::LeftButton);
    EXPECT_TRUE(model.isDiscovering());
    ASSERT_TRUE(waitFor([&] { return rowOf(sheet, "Kitchen"); }));
    EXPECT_EQ(sheet.newRows().front()->values().title, "Kitchen");
}

TEST_F(SetupSheetTest, EmptyStateSaysWhetherAnythingWasFound) {
    PrintModel model(environment());
    PrinterSetupSheet sheet(&model, nullptr);
    sheet.open();
    ASSERT_TRUE(waitFor([&] { return !model.isDiscovering(); }));
    sheet.refresh();
    EXPECT_TRUE(SetupTest::shows(&sheet, "Epson 프린터를 찾지 못했습니다"));
    EXPECT_TRUE(SetupTest::shows(&sheet, "프린터 전원과 Wi-Fi 연결 확인 뒤 다시 찾기."));
    EXPECT_FALSE(SetupTest::shows(&sheet, "연결 완료"));
    EXPECT_FALSE(SetupTest::shows(&sheet, "AirPrint 연결은 쓰지 않음"));
    EXPECT_TRUE(sheet.newRows().empty());
    // Without connected queues the first heading starts at the top of the list.
    PanelTest::grab(&sheet);
    for (QLabel* label : sheet.findChildren<QLabel*>()) {
        if (label->text() == "새로 찾은 프린터") {
            EXPECT_EQ(label->geometry().top(), 14);
        }
        // Wrapped hints are as tall as their lines, with no empty line under them.
        if (label->wordWrap() && label->isVisible()) {
            EXPECT_EQ(label->height(), label->heightForWidth(label->width())) << label->text().toStdString();
        }
    }
    PanelTest::saveArtifact(&sheet, "setup-sheet-nothing-found");
}

TEST_F(SetupSheetTest, FoundPrintersWalkThroughTheirInstallStates) {
    setup_->found = {kitchen, studio};
    PrintModel model(environment());
    PrinterSetupSheet sheet(&model, nullptr);
    sheet.setLocale(QLocale("ko_KR"));
    sheet.open();
    ASSERT_TRUE(waitFor([&] { return rowOf(sheet, "Kitchen") && rowOf(sheet, "Studio P900"); }));
    SetupRow* row = rowOf(sheet, "Studio P900");
    EXPECT_EQ(row->controlView()->control().text, "드라이버 설치");

    // The installer is looked up (spinner), downloaded (bar), opened ("설치 화면").
    setup_->findGate.close();
    setup_->downloadGate.close();
    press(row);
    sheet.refresh();
    EXPECT_EQ(row->controlView()->control().kind, RowControl::Kind::spinner);
    EXPECT_EQ(row->statusLabel()->text(), "Epson 서버에서 드라이버 찾는 중");
    setup_->findGate.open();
    ASSERT_TRUE(waitFor([&] { return row->statusLabel()->text() == "드라이버 받는 중 42%"; }));
    EXPECT_TRUE(row->controlView()->progressBar()->isVisible());
    EXPECT_DOUBLE_EQ(row->controlView()->progressBar()->value(), 0.42);
    // The other printer and the machine of the same model are not touched by this printer's install.
    EXPECT_EQ(rowOf(sheet, "Kitchen")->values().install, std::nullopt);
    EXPECT_EQ(sheet.machineRows().front()->values().install, std::nullopt);
    PanelTest::saveArtifact(&sheet, "setup-sheet-downloading");
    setup_->downloadGate.open();
    ASSERT_TRUE(waitFor([&] { return row->controlView()->control().text == "설치 화면"; }));
    EXPECT_EQ(row->controlView()->button()->toolTip(), "Epson 설치 화면을 닫았다면 다시 엽니다");
    press(row);
    ASSERT_TRUE(waitFor([&] { return setup_->reopened().size() == 1; }));
    EXPECT_EQ(setup_->reopened().front(), "/nonexistent/mount");

    // Kitchen's maker has no installer for it: "지원 페이지" opens the region's support page.
    setup_->installerURL = std::nullopt;
    press(rowOf(sheet, "Kitchen"));
    ASSERT_TRUE(
        waitFor([&] { return rowOf(sheet, "Kitchen")->controlView()->control().text == "지원 페이지"; }));
    PanelTest::saveArtifact(&sheet, "setup-sheet-found-printers");
    press(rowOf(sheet, "Kitchen"));
    ASSERT_EQ(desktop_.opened.size(), 1u);
    EXPECT_EQ(desktop_.opened.back(), SetupSheet::supportPage("KR"));

    // The installer put the driver in place: the next tick ends the install and connects the printer.
    setup_->createGate.close();
    setup_->createQueueCall = [](const FoundPrinter&, const PrintKit::EpsonDriver&,
                                 const std::vector<std::string>&) {
        return std::string("EPSON_SC-P900_Series");
    };
    setup_->setDrivers({p900});
    sheet.tick()->setInterval(20);
    ASSERT_TRUE(waitFor([&] { return model.connecting().has_value(); }));
    ASSERT_TRUE(waitFor([&] { return row->controlView()->button()->isBusy(); }));
    EXPECT_EQ(row->controlView()->control().text, "연결");
    EXPECT_FALSE(row->controlView()->button()->isEnabled());
    EXPECT_EQ(row->statusLabel()->text(), "Epson 드라이버 설치됨 · 연결 대기");
    EXPECT_TRUE(model.driverInstalls().count("Studio P900") == 0);
    PanelTest::saveArtifact(&sheet, "setup-sheet-connecting");
    setup_->createGate.open();
    ASSERT_TRUE(waitFor([&] { return !model.connecting(); }));
    ASSERT_TRUE(waitFor([&] { return row->controlView()->button()->isEnabled(); }));
}

TEST_F(SetupSheetTest, MachineRowsInstallByModelUnderTheirOwnKey) {
    setup_->found = {studio};
    PrintModel model(environment());
    PrinterSetupSheet sheet(&model, nullptr);
    sheet.setLocale(QLocale("en_US"));
    sheet.open();
    ASSERT_TRUE(waitFor([&] { return !model.isDiscovering(); }));
    sheet.refresh();
    ASSERT_EQ(sheet.machineRows().size(), 4u);
    EXPECT_EQ(sheet.machineRows()[0]->values().name, "EPSON SureColor P900");
    EXPECT_TRUE(SetupTest::shows(&sheet, "United States 판매 이름"));

    // A failing installer shows its message on the machine row only.
    setup_->openFailure = "설치 프로그램의 서명을 확인하지 못했습니다: SC-P900_Series_Driver.dmg";
    MachineRow* p900Row = sheet.machineRows()[0];
    press(p900Row);
    ASSERT_TRUE(waitFor([&] { return p900Row->controlView()->control().text == "다시 시도"; }));
    EXPECT_EQ(p900Row->statusLabel()->text(), QString::fromStdString(setup_->openFailure));
    EXPECT_EQ(model.driverInstalls().count("machine:SC-P900 Series"), 1u);
    EXPECT_EQ(rowOf(sheet, "Studio P900")->values().install, std::nullopt);

    // "다시 시도" starts over; this time the installer opens.
    setup_->openFailure.clear();
    press(p900Row);
    ASSERT_TRUE(waitFor([&] { return p900Row->controlView()->control().text == "설치 화면"; }));
    MachineRow* p700Row = sheet.machineRows()[1];
    setup_->findGate.close();
    press(p700Row);
    ASSERT_TRUE(waitFor([&] { return p700Row->controlView()->control().kind == RowControl::Kind::spinner; }));
    EXPECT_TRUE(waitFor([&] { return setup_->finds() == 3; }));
    PanelTest::saveArtifact(&sheet, "setup-sheet-machines");
    setup_->findGate.open();

    // Once a driver answers to the machine, the row shows the check mark and its install ends.
    setup_->setDrivers({p900});
    sheet.tick()->setInterval(20);
    ASSERT_TRUE(waitFor([&] { return p900Row->values().hasDriver; }));
    EXPECT_EQ(p900Row->statusLabel()->text(), "드라이버 설치 완료 · 프린터를 켜면 위에서 연결");
    EXPECT_TRUE(p900Row->controlView()->isHidden());
    EXPECT_EQ(rowOf(sheet, "Studio P900")->controlView()->control().text, "연결");
}

TEST_F(SetupSheetTest, OutsidePagesAndKeys) {
    PrintModel model(environment());
    model.setShowingSetup(true);
    PrinterSetupSheet sheet(&model, nullptr);
    sheet.open();
    ASSERT_TRUE(waitFor([&] { return !model.isDiscovering(); }));

    QTest::mouseClick(sheet.settingsButton(), Qt::LeftButton);
    ASSERT_EQ(desktop_.opened.size(), 1u);
    EXPECT_EQ(desktop_.opened.back(), QUrl(PrintModel::printerSettings()));
    EXPECT_EQ(sheet.settingsButton()->height(), 24);
    EXPECT_TRUE(desktop_.asked.empty());
    // Where no browser takes the page, the alert gives its address to open by hand.
    desktop_.refuses = true;
    QTest::mouseClick(sheet.settingsButton(), Qt::LeftButton);
    ASSERT_EQ(desktop_.asked.size(), 1u);
    EXPECT_EQ(desktop_.asked[0].title, "웹 페이지를 열지 못했습니다");
    EXPECT_EQ(desktop_.asked[0].text,
              "웹 페이지를 열 프로그램이 없습니다. 브라우저에서 이 주소를 직접 여세요:\n" +
                  PrintModel::printerSettings());
    desktop_.refuses = false;
    desktop_.opened.pop_back();

    // In Japan the machines are sold under other names: the support page takes the machine rows' place.
    sheet.setLocale(QLocale("ja_JP"));
    sheet.refresh();
    EXPECT_TRUE(sheet.machineRows().empty());
    EXPECT_TRUE(SetupTest::shows(&sheet, "日本 판매 이름"));
    EXPECT_TRUE(SetupTest::shows(&sheet, "일본 판매 기종은 Epson 지원 페이지에서 드라이버 받기"));
    for (ChipButton* button : sheet.findChildren<ChipButton*>()) {
        if (button->text() == "지원 페이지" && button->isVisible())
            QTest::mouseClick(button, Qt::LeftButton);
    }
    ASSERT_EQ(desktop_.opened.size(), 2u);
    EXPECT_EQ(desktop_.opened.back(), SetupSheet::supportPage("JP"));
    EXPECT_NE(SetupSheet::supportPage("JP"), SetupSheet::supportPage(std::nullopt));

    // Return presses nothing, whichever button has the keyboard.
    for (QWidget* target : std::initializer_list<QWidget*>{&sheet, sheet.closeButton(),
                                                           sheet.discoverButton(), sheet.settingsButton()}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(desktop_.opened.size(), 2u);
    EXPECT_FALSE(model.isDiscovering());
    EXPECT_TRUE(model.showingSetup());

    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_FALSE(model.showingSetup());
    EXPECT_FALSE(sheet.tick()->isActive());
}

} // namespace
