#include "QuilmPrint/panels/DriverText.h"

#include "PanelTestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;

TEST(DriverTextTest, RowsNameOptionsInKoreanAndKeepTheRawPairInOrder) {
    auto ppd = PrintKit::PPDFile::load(QUILM_FIXTURES "/ppd/qx-p900.ppd", {{"ko"}});
    std::vector<PrintKit::PrintOption> options{{"PageSize", "Postcard"},
                                               {"EPIJ_Medi", "PLPP"},
                                               {"EPIJ_CMat", "1"},
                                               {"EPIJ_Qual", "999"},
                                               {"copies", "2"}};
    std::vector<DriverText::OptionRow> expected{
        {"용지 크기", "엽서", "PageSize=Postcard"},
        {"용지 종류", "Premium Luster Photo Paper", "EPIJ_Medi=PLPP"}, // no Korean label for the choice
        {"색상 조정", "Off (No Color Adjustment)", "EPIJ_CMat=1"},
        {"인쇄 품질", "999", "EPIJ_Qual=999"}, // not a choice of the option
        {"copies", "2", "copies=2"},
    };
    EXPECT_EQ(DriverText::optionRows(options, ppd), expected);
    EXPECT_EQ(DriverText::countLine(13), QString("인쇄할 때마다 설정 13개를 빠짐없이 그대로 보냅니다."));
}
