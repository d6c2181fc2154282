#include "QuilmPrint/panels/DriverSection.h"

#include "InspectorFixture.h"

using namespace QuilmPrint;

TEST_F(InspectorTest, DriverSectionListsExactlyThePreparedOptions) {
    OPEN(AppTestSupport::p900Queue);
    model->setCopies(3);
    PreparedSheet sheet = model->prepare();
    ASSERT_EQ(sheet.options.back(), (PrintKit::PrintOption{"copies", "3"}));
    EXPECT_EQ(text("driverCount"), "인쇄할 때마다 설정 " + QString::number(sheet.options.size()) +
                                       "개를 빠짐없이 그대로 보냅니다.");

    DriverSection* section = inspector->driverSection();
    click(get<ChipButton>("showDriverOptions"));
    ASSERT_TRUE(section->showingOptions());
    DriverOptionsList* list = section->optionsList();
    EXPECT_TRUE(list->isVisible());
    const PrintKit::PPDFile& ppd = *model->selectedPrinter()->ppd;
    EXPECT_EQ(list->rows(), DriverText::optionRows(sheet.options, ppd));
    EXPECT_EQ(list->rows().back(), (DriverText::OptionRow{"copies", "3", "copies=3"}));
    PanelTest::saveArtifact(list, "inspector-driver-options");

    // The open list follows the sheet, and closes when no sheet can be prepared.
    model->setCopies(4);
    PanelTest::settle();
    EXPECT_EQ(list->rows().back().pair, QString("copies=4"));
    model->chooseCustomSheet({1, 1});
    PanelTest::settle();
    EXPECT_FALSE(list->isVisible());
    EXPECT_FALSE(section->showingOptions());
    EXPECT_EQ(text("driverUnprepared"), QString("설정을 만들 수 없습니다."));
    EXPECT_FALSE(shown("showDriverOptions"));
}
