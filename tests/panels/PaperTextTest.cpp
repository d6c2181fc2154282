#include "QuilmPrint/panels/PaperText.h"

#include "PanelTestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using PrintKit::PPDChoice;
using PrintKit::PPDOption;

namespace {
PrintKit::PPDFile richPPD() {
    return PrintKit::PPDFile::load(QUILM_FIXTURES "/ppd/qx-p900.ppd", {{"ko"}});
}

PPDOption option(std::vector<std::pair<std::string, std::string>> choices) {
    PPDOption result;
    result.keyword = "EPIJ_Test";
    for (auto& [key, label] : choices)
        result.choices.push_back({key, label, {{"ko", "ko-" + label}}});
    return result;
}
} // namespace

TEST(PaperTextTest, DiscAndCDChoicesNeverAppear) {
    std::vector<PPDChoice> choices{{"A", "CD/DVD Label", {}},
                                   {"B", "Glossy", {}},
                                   {"C", "Printable Disc", {}},
                                   {"D", "cd case", {}},
                                   {"E", "Matte", {}}};
    std::vector<std::string> kept;
    for (const PPDChoice& choice : PaperText::withoutDiscs(choices))
        kept.push_back(choice.key);
    EXPECT_EQ(kept, (std::vector<std::string>{"B", "D", "E"}));
}

TEST(PaperTextTest, TitlesAreKoreanLabelsElseTheRawKey) {
    PrintKit::PPDFile ppd = richPPD();
    EXPECT_EQ(PaperText::choiceTitle(ppd, "EPIJ_Medi", "PLAIN"), QString("보통 용지"));
    EXPECT_EQ(PaperText::choiceTitle(ppd, "EPIJ_Medi", "PLPP"), QString("Premium Luster Photo Paper"));
    EXPECT_EQ(PaperText::choiceTitle(ppd, "EPIJ_Medi", "GONE"), QString("GONE"));
    EXPECT_EQ(PaperText::choiceTitle(ppd, "NoOption", "X"), QString("X"));

    PrintKit::PaperRecipe recipe;
    recipe.sheet = "Postcard";
    EXPECT_EQ(PaperText::sheetTitle(recipe, ppd), QString("엽서"));
    recipe.sheet = "Gone";
    EXPECT_EQ(PaperText::sheetTitle(recipe, ppd), QString("Gone"));
    recipe.sheet = "Custom";
    recipe.customSheet = PrintKit::CustomSheetSize::fromMillimetres(100, 148);
    EXPECT_EQ(PaperText::sheetTitle(recipe, ppd), QString("사용자 지정 100.0×148.0mm"));
}

TEST(PaperTextTest, SheetMenuOffersCustomSizesOnlyWhereThePrinterTakesThem) {
    std::vector<PPDChoice> sheets{{"A4", "A4", {}}, {"Postcard", "Postcard", {{"ko", "엽서"}}}};
    using E = MenuEntry;
    EXPECT_EQ(PaperText::sheetMenu(sheets, false, {}),
              (MenuEntries{E::item("A4", "sheet:A4"), E::item("엽서", "sheet:Postcard")}));
    EXPECT_EQ(PaperText::sheetMenu(sheets, true, {}),
              (MenuEntries{E::item("A4", "sheet:A4"), E::item("엽서", "sheet:Postcard"), E::divider(),
                           E::item("사용자 지정…", "custom")}));
    std::vector<SavedCustomPaper> saved{{"Panorama", PrintKit::CustomSheetSize::fromMillimetres(210, 594)}};
    MenuEntries withSaved = PaperText::sheetMenu(sheets, true, saved);
    ASSERT_EQ(withSaved.size(), 6u);
    EXPECT_EQ(withSaved[3].kind, E::Kind::section);
    EXPECT_EQ(withSaved[4], E::item("Panorama — 210.0×594.0mm", "paper:0"));
    EXPECT_EQ(withSaved[5].id, QString("custom"));
}

TEST(PaperTextTest, SavedCaptionTellsWhetherAndWhen) {
    EXPECT_EQ(PaperText::savedCaption(false, 3, {}),
              QString("저장하면 다음에도 똑같은 설정으로 인쇄됩니다."));
    QDateTime afternoon(QDate(2024, 5, 1), QTime(15, 4)), midnight(QDate(2023, 12, 31), QTime(0, 30));
    EXPECT_EQ(PaperText::savedCaption(true, 3, afternoon), QString("3번째 저장 · 2024. 5. 1. 오후 3:04"));
    EXPECT_EQ(PaperText::shortDateTime(midnight), QString("2023. 12. 31. 오전 12:30"));
}

TEST(PaperTextTest, CustomSheetOrientationKeepsBothSides) {
    PrintKit::CustomSheetSize tall{283, 420}, square{300, 300};
    EXPECT_TRUE(PaperText::isPortrait(tall));
    EXPECT_TRUE(PaperText::isPortrait(square));
    EXPECT_EQ(PaperText::oriented(tall, false), (PrintKit::CustomSheetSize{420, 283}));
    EXPECT_EQ(PaperText::oriented(PrintKit::CustomSheetSize{420, 283}, true), tall);
    EXPECT_EQ(PaperText::oriented(tall, true), tall);
    EXPECT_EQ(PaperText::withWidthMM(tall, 25.4), (PrintKit::CustomSheetSize{72, 420}));
    EXPECT_EQ(PaperText::withHeightMM(tall, 50.8), (PrintKit::CustomSheetSize{283, 144}));
}

TEST(PaperTextTest, RangeCaptionGivesWidthsToATenthAndLengthsWhole) {
    EXPECT_EQ(
        PaperText::customRangeCaption({72, 1000, 72, 3240}),
        QString("앞 칸이 폭입니다. 폭은 프린터에 넣는 쪽 가장자리의 길이라, 넣을 종이의 폭과 같아야 합니다. "
                "이 프린터는 폭 25.4–352.8mm, 길이 25–1143mm까지 받고, 여백 없음·롤지는 쓸 수 없습니다."));
}

TEST(PaperTextTest, QualityDetailsFollowTheQualityAndWhatTheDriverPublishes) {
    using PrintKit::PrintQuality;
    struct Case {
        PrintQuality quality;
        bool known, overrides;
        PaperText::QualityDetails expected;
    };
    const QString custom = "드라이버 옵션 그대로. 바꾼 항목만 레시피에 저장.";
    const QString hidden = "Epson 공식 설정. 이 용지는 세부값 미공개 · 바꾸려면 직접 지정.";
    const QString preset = "Epson 공식 설정값. 하나라도 바꾸면 직접 지정으로.";
    const Case cases[] = {
        {PrintQuality::standard, false, false, {false, hidden, false}},
        {PrintQuality::high, true, true, {true, preset, false}},
        {PrintQuality::custom, false, false, {true, custom, false}},
        {PrintQuality::custom, true, true, {true, custom, true}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PaperText::qualityDetails(c.quality, c.known, c.overrides), c.expected);
}

TEST(PaperTextTest, ATwoChoiceOptionWithOneOffIsASwitch) {
    using S = PaperText::DetailSwitch;
    EXPECT_EQ(PaperText::detailSwitch(option({{"0", "Off"}, {"1", "On"}})), (S{"1", "0"}));
    EXPECT_EQ(PaperText::detailSwitch(option({{"1", "Fast"}, {"0", "Off"}})), (S{"1", "0"}));
    EXPECT_EQ(PaperText::detailSwitch(option({{"0", "Off"}, {"1", "Off"}})), std::nullopt);
    EXPECT_EQ(PaperText::detailSwitch(option({{"0", "Low"}, {"1", "High"}})), std::nullopt);
    EXPECT_EQ(PaperText::detailSwitch(option({{"0", "off"}, {"1", "On"}})), std::nullopt);
    EXPECT_EQ(PaperText::detailSwitch(option({{"0", "Off"}, {"1", "On"}, {"2", "Max"}})), std::nullopt);

    PPDOption menu = option({{"0", "Low"}, {"1", "High"}});
    EXPECT_EQ(PaperText::detailTitle(menu, std::string("1")), QString("ko-High"));
    EXPECT_EQ(PaperText::detailTitle(menu, std::string("9")), QString("-"));
    EXPECT_EQ(PaperText::detailTitle(menu, std::nullopt), QString("-"));
}

TEST(PaperTextTest, TheSelectedPrinterIsTheFirstWithTheQueueNameAndItsPPD) {
    std::vector<PrinterChoice> printers(3);
    printers[0].queue.name = "Office";
    printers[1].queue.name = "Photo"; // no PPD could be read
    printers[2].queue.name = "Photo";
    printers[2].ppd = PrintKit::PPDFile{};
    printers[0].ppd = PrintKit::PPDFile{};
    EXPECT_EQ(PaperText::selectedPPD(printers, std::nullopt), nullptr);
    EXPECT_EQ(PaperText::selectedPPD(printers, std::string("Gone")), nullptr);
    EXPECT_EQ(PaperText::selectedPPD(printers, std::string("Photo")), nullptr);
    EXPECT_EQ(PaperText::selectedPPD(printers, std::string("Office")), &*printers[0].ppd);
}
