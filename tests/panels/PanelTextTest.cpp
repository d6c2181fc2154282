// The inspector's texts and menus as pure functions: numbers and dates in the user's locale, preset and
// template titles, paper and quality texts, the profile menu and the driver option rows.
#include "QuilmPrint/panels/ColorText.h"
#include "QuilmPrint/panels/DriverText.h"
#include "QuilmPrint/panels/LayoutText.h"
#include "QuilmPrint/panels/NumberText.h"
#include "QuilmPrint/panels/PaperText.h"
#include "shared/WindowTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace QuilmPrint;
using PrintKit::ICCProfileInfo;
using PrintKit::PPDChoice;
using PrintKit::PPDOption;
using PrintKit::ProfileMatch;

TEST(NumberTextTest, ShowsAtMostOneDecimalTheWayTheLocaleWritesIt) {
    const QLocale de(QLocale::German, QLocale::Germany), arabic(QLocale::Arabic, QLocale::Egypt);
    const std::tuple<double, QLocale, const char*> shown[] = {
        {210, de, "210"},         {101.6, de, "101,6"},         {101.64, de, "101,6"},
        {101.96, de, "102"},      {-2.5, de, "-2,5"},           {-0.04, de, "0"},
        {0.05, de, "0,1"},        {1234567.5, de, "1234567,5"}, {101.6, QLocale::c(), "101.6"},
        {-2, QLocale::c(), "-2"}, {12.5, arabic, "١٢٫٥"}};
    for (const auto& [value, locale, text] : shown)
        EXPECT_EQ(NumberText::format(value, locale), text) << value << " in " << locale.name().toStdString();
}

TEST(NumberTextTest, ReadsEitherDecimalMarkAndRefusesGroupedThousandsAndGarbage) {
    const QLocale de(QLocale::German, QLocale::Germany), en(QLocale::English, QLocale::UnitedStates),
        c = QLocale::c(), arabic(QLocale::Arabic, QLocale::Egypt);
    const auto no = std::nullopt;
    const std::tuple<const char*, QLocale, std::optional<double>> read[] = {
        // Either mark in every locale.
        {"12,5", de, 12.5},
        {"12.5", de, 12.5},
        {"12,5", en, 12.5},
        {"12,5", c, 12.5},
        {" 3 ", en, 3.0},
        {"-2", en, -2.0},
        {"1e2", en, 100.0},
        {"0.500", de, 0.5},
        {"1,50", en, 1.5},
        // What the locale would read as grouped thousands: 1500 or 1.5, one cannot tell.
        {"1,500", en, no},
        {"1.500", de, no},
        {"-250.000", de, no},
        {"1,500", de, 1.5},
        {"1.500", en, 1.5},
        // Garbage, as before.
        {"1.500,5", de, no},
        {"", de, no},
        {"abc", de, no},
        {"12mm", en, no},
        {"nan", en, no},
        {"inf", de, no},
        {"-infinity", en, no},
        {"1e999", de, no},
        {"1,0e999", de, no}};
    for (const auto& [text, locale, value] : read)
        EXPECT_EQ(NumberText::parse(text, locale), value) << text << " in " << locale.name().toStdString();
    // What a field shows reads back as the value it shows.
    for (const QLocale& locale : {de, en, c, arabic})
        for (double value : {0.0, 5.0, 101.6, -2.5, 1234.5})
            EXPECT_EQ(NumberText::parse(NumberText::format(value, locale), locale), value)
                << value << " in " << locale.name().toStdString();
}

TEST(NumberTextTest, IdentityChangesWithTheTenths) {
    const std::pair<double, const char*> cases[] = {{101.6, "w-1016"}, {101.64, "w-1016"}, {101.69, "w-1016"},
                                                    {101.7, "w-1017"}, {210, "w-2100"},    {5, "w-50"},
                                                    {-2.05, "w--20"},  {0.04, "w-0"}};
    for (auto [value, text] : cases)
        EXPECT_EQ(NumberText::identity("w-", value), text) << value;
    // Beyond what 64 bits hold, and not a number at all: still an identity, and distinct ones.
    const QString huge = NumberText::identity("g-", 1e300);
    EXPECT_TRUE(huge.startsWith("g-"));
    EXPECT_NE(huge, NumberText::identity("g-", 2e300));
    EXPECT_NE(NumberText::identity("g-", INFINITY), NumberText::identity("g-", NAN));
    EXPECT_NE(NumberText::identity("g-", 9.2e17), NumberText::identity("g-", 9.3e17));
}

TEST(LayoutTextTest, PresetAndTemplateTitlesMatchWithinHalfATenth) {
    const char* custom = "직접 입력";
    const std::tuple<double, double, const char*> sizes[] = {{101.6, 152.4, "10×15cm (4×6in)"},
                                                             {101.62, 152.38, "10×15cm (4×6in)"},
                                                             {101.7, 152.4, custom},
                                                             {152.4, 101.6, custom},
                                                             {210, 297, "A4"},
                                                             {279.4, 355.6, "28×36cm (11×14in)"},
                                                             {148.049, 209.951, "A5"},
                                                             {148.05, 210, custom}};
    for (auto [w, h, title] : sizes)
        EXPECT_EQ(LayoutText::presetTitle(w, h), title) << w << "×" << h;
    const GridSettings postcard{101.6, 152.4, 3, true, false, true, true, false, false};
    const GridSettings contact{36, 27, 4, true, true, false, false, true, false};
    const std::vector<GridTemplate> templates{{"4×6 모음", postcard}, {"밀착인화", contact}};
    auto changed = [&](auto change) {
        GridSettings g = postcard;
        change(g);
        return g;
    };
    const std::pair<GridSettings, const char*> grids[] = {
        {postcard, "4×6 모음"},
        {changed([](auto& g) { g.cutMarks = g.rotatesToFit = g.autoTurn = false; }), "4×6 모음"},
        {changed([](auto& g) { std::tie(g.gapMM, g.widthMM) = std::pair(3.04, 101.64); }), "4×6 모음"},
        {changed([](auto& g) { std::swap(g.widthMM, g.heightMM); }), custom},
        {changed([](auto& g) { g.captions = true; }), custom},
        {changed([](auto& g) { g.fitsWhole = true; }), custom},
        {changed([](auto& g) { g.repeatsOne = true; }), custom},
        {changed([](auto& g) { g.gapMM = 3.06; }), custom},
        {contact, "밀착인화"}};
    for (const auto& [grid, title] : grids)
        EXPECT_EQ(LayoutText::templateTitle(grid, templates), title);
}

TEST(LayoutTextTest, GridOrientationAndSummary) {
    GridSettings grid; // automatic while the grid turns itself
    EXPECT_EQ(LayoutText::gridOrientation(grid), std::nullopt);
    grid.autoTurn = false;
    EXPECT_EQ(LayoutText::gridOrientation(grid), true);
    grid.widthMM = 200;
    EXPECT_EQ(LayoutText::gridOrientation(grid), false);
    grid.heightMM = 200;
    EXPECT_EQ(LayoutText::gridOrientation(grid), true);
    PrintKit::GridPlan plan;
    plan.columns = 3;
    plan.rows = 4;
    plan.cells.resize(12);
    EXPECT_EQ(LayoutText::gridSummary(plan, false, 5, 1), "3×4 = 12칸 · 사진 5장 → 1장");
    EXPECT_EQ(LayoutText::gridSummary(plan, false, 0, 0), "3×4 = 12칸 · 사진 없음");
    EXPECT_EQ(LayoutText::gridSummary(plan, true, 30, 1), "3×4 = 12칸 · 선택한 사진으로 모든 칸");
    plan.turned = true;
    EXPECT_EQ(LayoutText::gridSummary(plan, false, 25, 3),
              "3×4 = 12칸 · 칸을 돌려 더 많이 넣음 · 사진 25장 → 3장");
}

TEST(PaperTextTest, DiscsNeverAppearAndCustomSizesOnlyWhereThePrinterTakesThem) {
    const std::vector<PPDChoice> choices{{"A", "CD/DVD Label", {}},
                                         {"B", "Glossy", {}},
                                         {"C", "Printable Disc", {}},
                                         {"D", "cd case", {}},
                                         {"E", "Matte", {}}};
    std::vector<std::string> kept;
    for (const PPDChoice& choice : PaperText::withoutDiscs(choices))
        kept.push_back(choice.key);
    EXPECT_EQ(kept, (std::vector<std::string>{"B", "D", "E"}));
    const std::vector<PPDChoice> sheets{{"A4", "A4", {}}, {"Postcard", "Postcard", {{"ko", "엽서"}}}};
    using E = MenuEntry;
    const MenuEntries listed{E::item("A4", "sheet:A4"), E::item("엽서", "sheet:Postcard")};
    EXPECT_EQ(PaperText::sheetMenu(sheets, false, {}), listed);
    using Size = PrintKit::CustomSheetSize; // a custom size turned keeps both its sides
    EXPECT_EQ(PaperText::oriented(Size{420, 283}, true), (Size{283, 420}));
    EXPECT_EQ(PaperText::oriented(Size{283, 420}, false), (Size{420, 283}));
    const std::vector<SavedCustomPaper> saved{
        {"Panorama", PrintKit::CustomSheetSize::fromMillimetres(210, 594), {}}};
    const MenuEntries withSaved = PaperText::sheetMenu(sheets, true, saved);
    ASSERT_EQ(withSaved.size(), 6u);
    EXPECT_EQ(withSaved[2], E::divider());
    EXPECT_EQ(withSaved[3].kind, E::Kind::section);
    EXPECT_EQ(withSaved[4], E::item("Panorama — 210.0×594.0mm", "paper:0"));
    EXPECT_EQ(withSaved[5], E::item("사용자 지정…", "custom"));
}

TEST(PaperTextTest, CaptionsQualityDetailsSwitchesAndTheSelectedPPD) {
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea), german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(PaperText::savedCaption(false, 3, {}), "저장하면 다음에도 똑같은 설정으로 인쇄됩니다.");
    const QDateTime afternoon(QDate(2024, 5, 1), QTime(15, 4, 59));
    EXPECT_EQ(PaperText::savedCaption(true, 3, afternoon, korean), "3번째 저장 · 2024. 5. 1. 오후 3:04");
    EXPECT_EQ(PaperText::savedCaption(true, 3, afternoon, german), "3번째 저장 · 01.05.2024, 15:04");
    // The C locale states no preference: the window's language decides.
    EXPECT_EQ(PaperText::shortDateTime(QDateTime(QDate(2023, 12, 31), QTime(0, 30)), QLocale::c()),
              "2023. 12. 31. 오전 12:30");
    // The wall clock Qt reads, also for a moment given in another zone.
    EXPECT_EQ(PaperText::shortDateTime(
                  QDateTime(QDate(2024, 5, 1), QTime(23, 30), Qt::OffsetFromUTC, 9 * 3600), german),
              "01.05.2024, 23:30");
    using Q = PrintKit::PrintQuality;
    const QString custom = "드라이버 옵션 그대로. 바꾼 항목만 레시피에 저장.",
                  hidden = "Epson 공식 설정. 이 용지는 세부값 미공개 · 바꾸려면 직접 지정.",
                  preset = "Epson 공식 설정값. 하나라도 바꾸면 직접 지정으로.";
    // quality, details known, overrides set: details shown, caption, reset shown
    const std::tuple<Q, bool, bool, PaperText::QualityDetails> qualities[] = {
        {Q::standard, false, false, {false, hidden, false}},
        {Q::high, true, true, {true, preset, false}},
        {Q::custom, false, false, {true, custom, false}},
        {Q::custom, true, true, {true, custom, true}}};
    for (const auto& [quality, known, overrides, expected] : qualities)
        EXPECT_EQ(PaperText::qualityDetails(quality, known, overrides), expected);
    // A two-choice option with one "Off" is a switch.
    auto option = [](std::vector<std::pair<std::string, std::string>> choices) {
        PPDOption result;
        for (auto& [key, label] : choices)
            result.choices.push_back({key, label, {{"ko", "ko-" + label}}});
        return result;
    };
    using S = PaperText::DetailSwitch;
    EXPECT_EQ(PaperText::detailSwitch(option({{"0", "Off"}, {"1", "On"}})), (S{"1", "0"}));
    EXPECT_EQ(PaperText::detailSwitch(option({{"1", "Fast"}, {"0", "Off"}})), (S{"1", "0"}));
    for (const auto& choices :
         {option({{"0", "Off"}, {"1", "Off"}}), option({{"0", "Low"}, {"1", "High"}}),
          option({{"0", "off"}, {"1", "On"}}), option({{"0", "Off"}, {"1", "On"}, {"2", "Max"}})})
        EXPECT_EQ(PaperText::detailSwitch(choices), std::nullopt);
    const PPDOption menu = option({{"0", "Low"}, {"1", "High"}});
    EXPECT_EQ(PaperText::detailTitle(menu, std::string("1")), "ko-High");
    EXPECT_EQ(PaperText::detailTitle(menu, std::string("9")), "-");
    EXPECT_EQ(PaperText::detailTitle(menu, std::nullopt), "-");
    // The selected printer is the first with the queue's name, and its PPD.
    std::vector<PrinterChoice> printers(3);
    printers[0].queue.name = "Office";
    printers[1].queue.name = "Photo"; // no PPD could be read
    printers[2].queue.name = "Photo";
    printers[0].ppd = printers[2].ppd = PrintKit::PPDFile{};
    EXPECT_EQ(PaperText::selectedPPD(printers, std::nullopt), nullptr);
    EXPECT_EQ(PaperText::selectedPPD(printers, std::string("Gone")), nullptr);
    EXPECT_EQ(PaperText::selectedPPD(printers, std::string("Photo")), nullptr);
    EXPECT_EQ(PaperText::selectedPPD(printers, std::string("Office")), &*printers[0].ppd);
}

TEST(ColorTextTest, MenuListsSuggestionsFirstThenTheRestInNaturalOrder) {
    auto profile = [](std::string path, std::string description) {
        ICCProfileInfo info;
        info.path = std::move(path);
        info.description = std::move(description);
        return info;
    };
    const std::vector<ICCProfileInfo> profiles{
        profile("/p/10", "Paper 10"), profile("/p/gloss", "Glossy"), profile("/p/9", "Paper 9"),
        profile("/p/a2", "Same"),     profile("/p/a1", "Same"),      profile("/p/lower", "glossy matte")};
    const std::vector<ProfileMatch> suggestions{{profile("/p/gloss", "Glossy"), 0.9, true},
                                                {profile("/p/other", "Other Glossy"), 0.7, false}};
    const auto others = ColorText::otherProfiles(profiles, suggestions);
    std::vector<std::string> paths;
    for (const auto& info : others)
        paths.push_back(info.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/p/lower", "/p/9", "/p/10", "/p/a2", "/p/a1"}));
    auto titles = [](const MenuEntries& entries) {
        QStringList result;
        for (const MenuEntry& entry : entries)
            result << (entry.kind == MenuEntry::Kind::section ? "[" + entry.title + "]" : entry.title);
        return result;
    };
    const MenuEntries menu = ColorText::profileMenu(suggestions, others);
    EXPECT_EQ(titles(menu),
              (QStringList{"[이 용지에 추천]", "● Glossy", "○ Other Glossy", "[모든 프린터 프로파일]",
                           "glossy matte", "Paper 9", "Paper 10", "Same", "Same"}));
    EXPECT_EQ(menu[2].id, "/p/other");
    EXPECT_EQ(titles(ColorText::profileMenu({}, {})), QStringList{"[모든 프린터 프로파일]"});
    EXPECT_EQ(ColorText::profileWarning(suggestions, "/p/gloss"), QString());
    EXPECT_EQ(ColorText::profileWarning(suggestions, "/p/gloss/"), "고른 용지용 프로파일이 아닙니다.");
}

TEST(DriverTextTest, RowsNameOptionsInKoreanAndKeepTheRawPairInOrder) {
    const auto ppd = PrintKit::PPDFile::load(QUILM_FIXTURES "/ppd/qx-p900.ppd", {{"ko"}});
    const std::vector<PrintKit::PrintOption> options{{"PageSize", "Postcard"},
                                                     {"EPIJ_Medi", "PLPP"},
                                                     {"EPIJ_CMat", "1"},
                                                     {"EPIJ_Qual", "999"},
                                                     {"copies", "2"}};
    EXPECT_EQ(DriverText::optionRows(options, ppd),
              (std::vector<DriverText::OptionRow>{
                  {"용지 크기", "엽서", "PageSize=Postcard"},
                  {"용지 종류", "Premium Luster Photo Paper", "EPIJ_Medi=PLPP"}, // no Korean label for it
                  {"색상 조정", "Off (No Color Adjustment)", "EPIJ_CMat=1"},
                  {"인쇄 품질", "999", "EPIJ_Qual=999"}, // not a choice of the option
                  {"copies", "2", "copies=2"}}));
}

TEST(DriverTextTest, ValueAndPairShareTheRowSoALongOneNeverSqueezesAShortOne) {
    using Share = DriverText::RowShare;
    EXPECT_EQ(DriverText::shareRow(300, 120, 100), (Share{120, 100}));
    EXPECT_EQ(DriverText::shareRow(300, 100, 400), (Share{100, 200})); // the value whole, the pair cut
    EXPECT_EQ(DriverText::shareRow(300, 400, 90), (Share{210, 90}));   // the pair whole, the value cut
    EXPECT_EQ(DriverText::shareRow(301, 400, 400), (Share{151, 150})); // both long: half each
    EXPECT_EQ(DriverText::shareRow(-5, 10, 10), (Share{0, 0}));
}
