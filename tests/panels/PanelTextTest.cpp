// The inspector's texts and menus as pure functions: numbers without the locale, preset and template titles,
// paper and quality texts, the profile menu and the driver option rows.
#include "QuilmPrint/panels/ColorText.h"
#include "QuilmPrint/panels/DriverText.h"
#include "QuilmPrint/panels/LayoutText.h"
#include "QuilmPrint/panels/NumberText.h"
#include "QuilmPrint/panels/PaperText.h"
#include "window/WindowTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace QuilmPrint;
using PrintKit::PPDChoice;
using PrintKit::PPDOption;
using PrintKit::ICCProfileInfo;
using PrintKit::ProfileMatch;

TEST(NumberTextTest, ShowsAtMostOneDecimalWithoutTheLocale) {
    QLocale::setDefault(QLocale(QLocale::German));
    const std::pair<double, const char*> cases[] = {
        {210, "210"}, {101.6, "101.6"}, {101.64, "101.6"}, {101.96, "102"},      {5, "5"},
        {-2, "-2"},   {-0.04, "0"},     {0.05, "0.1"},     {1234567, "1234567"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(NumberText::format(value), QString(text)) << value;
    QLocale::setDefault(QLocale::c());
}

TEST(NumberTextTest, ReadsDotNumbersAndTheLocalesOwnButNothingElse) {
    const QLocale german(QLocale::German), english(QLocale::English);
    struct Case {
        const char* text;
        QLocale locale;
        std::optional<double> value;
    };
    const auto no = std::nullopt;
    const Case cases[] = {
        {"101.6", german, 101.6}, {"101,6", german, 101.6},   {" 3 ", english, 3.0},  {"-2", english, -2.0},
        {"1e2", english, 100.0},  {"101,6", english, no},     {"1,500", english, no}, {"1.500,5", german, no},
        {"", german, no},         {"abc", german, no},        {"12mm", english, no},  {"nan", english, no},
        {"inf", german, no},      {"-infinity", english, no}, {"1e999", german, no},  {"1,0e999", german, no},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NumberText::parse(c.text, c.locale), c.value)
            << c.text << " in " << c.locale.name().toStdString();
}

TEST(NumberTextTest, IdentityChangesWithTheTenths) {
    const std::pair<double, const char*> cases[] = {
        {101.6, "exact-w-1016"}, {101.64, "exact-w-1016"}, {101.69, "exact-w-1016"}, {101.7, "exact-w-1017"},
        {210, "exact-w-2100"},   {5, "exact-w-50"},        {-2.05, "exact-w--20"},   {0.04, "exact-w-0"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(NumberText::identity("exact-w-", value), QString(text)) << value;
    // Beyond what 64 bits hold, and not a number at all: still an identity, and distinct ones.
    QString huge = NumberText::identity("g-", 1e300), larger = NumberText::identity("g-", 2e300);
    QString inf = NumberText::identity("g-", std::numeric_limits<double>::infinity());
    QString nan = NumberText::identity("g-", std::nan(""));
    EXPECT_TRUE(huge.startsWith("g-"));
    EXPECT_NE(huge, larger);
    EXPECT_NE(inf, nan);
    EXPECT_NE(NumberText::identity("g-", 9.2e17), NumberText::identity("g-", 9.3e17));
}

TEST(LayoutTextTest, PresetTitleMatchesWithinHalfATenth) {
    const char* custom = "직접 입력";
    const std::tuple<double, double, const char*> cases[] = {{101.6, 152.4, "10×15cm (4×6in)"},
                                                             {101.62, 152.38, "10×15cm (4×6in)"},
                                                             {101.7, 152.4, custom},
                                                             {152.4, 101.6, custom},
                                                             {210, 297, "A4"},
                                                             {279.4, 355.6, "28×36cm (11×14in)"},
                                                             {148.049, 209.951, "A5"},
                                                             {148.05, 210, custom}};
    for (auto [w, h, title] : cases)
        EXPECT_EQ(LayoutText::presetTitle(w, h), QString(title)) << w << "×" << h;
}

TEST(LayoutTextTest, TemplateTitleComparesSizesGapFitCaptionsAndRepetition) {
    GridSettings postcard{101.6, 152.4, 3, true, false, true, true, false, false};
    GridSettings contact{36, 27, 4, true, true, false, false, true, false};
    std::vector<GridTemplate> templates{{"4×6 모음 (10×15cm)", postcard}, {"밀착인화", contact}};

    auto changed = [](GridSettings g, auto change) {
        change(g);
        return g;
    };
    const std::pair<GridSettings, const char*> cases[] = {
        {postcard, "4×6 모음 (10×15cm)"},
        {changed(postcard, [](auto& g) { g.cutMarks = g.rotatesToFit = g.autoTurn = false; }),
         "4×6 모음 (10×15cm)"},
        {changed(postcard, [](auto& g) { std::tie(g.gapMM, g.widthMM) = std::pair(3.04, 101.64); }),
         "4×6 모음 (10×15cm)"},
        {changed(postcard, [](auto& g) { std::swap(g.widthMM, g.heightMM); }), "직접 입력"},
        {changed(postcard, [](auto& g) { g.captions = true; }), "직접 입력"},
        {changed(postcard, [](auto& g) { g.fitsWhole = true; }), "직접 입력"},
        {changed(postcard, [](auto& g) { g.repeatsOne = true; }), "직접 입력"},
        {changed(postcard, [](auto& g) { g.gapMM = 3.06; }), "직접 입력"},
        {contact, "밀착인화"},
    };
    for (const auto& [grid, title] : cases)
        EXPECT_EQ(LayoutText::templateTitle(grid, templates), QString(title));
}

TEST(LayoutTextTest, GridOrientationIsAutomaticWhileTheGridTurnsItself) {
    GridSettings grid;
    EXPECT_EQ(LayoutText::gridOrientation(grid), std::nullopt);
    grid.autoTurn = false;
    EXPECT_EQ(LayoutText::gridOrientation(grid), true);
    grid.widthMM = 200;
    EXPECT_EQ(LayoutText::gridOrientation(grid), false);
    grid.heightMM = 200;
    EXPECT_EQ(LayoutText::gridOrientation(grid), true);
}

TEST(LayoutTextTest, GridSummaryCountsCellsAndSheets) {
    PrintKit::GridPlan plan;
    plan.columns = 3;
    plan.rows = 4;
    plan.cells.resize(12);
    EXPECT_EQ(LayoutText::gridSummary(plan, false, 5, 1), QString("3×4 = 12칸 · 사진 5장 → 1장"));
    EXPECT_EQ(LayoutText::gridSummary(plan, false, 0, 0), QString("3×4 = 12칸 · 사진 없음"));
    EXPECT_EQ(LayoutText::gridSummary(plan, true, 30, 1), QString("3×4 = 12칸 · 선택한 사진으로 모든 칸"));
    plan.turned = true;
    EXPECT_EQ(LayoutText::gridSummary(plan, false, 25, 3),
              QString("3×4 = 12칸 · 칸을 돌려 더 많이 넣음 · 사진 25장 → 3장"));
}

namespace {
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
    using Choices = std::vector<std::pair<std::string, std::string>>;
    const std::pair<Choices, std::optional<S>> cases[] = {
        {{{"0", "Off"}, {"1", "On"}}, S{"1", "0"}},
        {{{"1", "Fast"}, {"0", "Off"}}, S{"1", "0"}},
        {{{"0", "Off"}, {"1", "Off"}}, std::nullopt},
        {{{"0", "Low"}, {"1", "High"}}, std::nullopt},
        {{{"0", "off"}, {"1", "On"}}, std::nullopt},
        {{{"0", "Off"}, {"1", "On"}, {"2", "Max"}}, std::nullopt}};
    for (const auto& [choices, expected] : cases)
        EXPECT_EQ(PaperText::detailSwitch(option(choices)), expected);

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

namespace {
ICCProfileInfo profile(std::string path, std::string description) {
    ICCProfileInfo info;
    info.path = std::move(path);
    info.description = std::move(description);
    return info;
}

std::vector<QString> titles(const MenuEntries& entries) {
    std::vector<QString> result;
    for (const MenuEntry& entry : entries)
        result.push_back(entry.kind == MenuEntry::Kind::section ? "[" + entry.title + "]" : entry.title);
    return result;
}
} // namespace

TEST(ColorTextTest, MenuListsSuggestionsFirstThenTheRestInNaturalOrder) {
    std::vector<ICCProfileInfo> profiles{profile("/p/10", "Paper 10"), profile("/p/gloss", "Glossy"),
                                         profile("/p/9", "Paper 9"),   profile("/p/a2", "Same"),
                                         profile("/p/a1", "Same"),     profile("/p/lower", "glossy matte")};
    std::vector<ProfileMatch> suggestions{{profile("/p/gloss", "Glossy"), 0.9, true},
                                          {profile("/p/other", "Other Glossy"), 0.7, false}};
    auto others = ColorText::otherProfiles(profiles, suggestions);
    std::vector<std::string> paths;
    for (const auto& info : others)
        paths.push_back(info.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/p/lower", "/p/9", "/p/10", "/p/a2", "/p/a1"}));

    MenuEntries menu = ColorText::profileMenu(suggestions, others);
    EXPECT_EQ(titles(menu), (std::vector<QString>{"[이 용지에 추천]", "● Glossy", "○ Other Glossy",
                                                  "[모든 프린터 프로파일]", "glossy matte", "Paper 9",
                                                  "Paper 10", "Same", "Same"}));
    EXPECT_EQ(menu[2].id, QString("/p/other"));
    EXPECT_EQ(titles(ColorText::profileMenu({}, {})), (std::vector<QString>{"[모든 프린터 프로파일]"}));
}

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
