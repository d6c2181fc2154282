#include "PrintKit/settings/PPDParser.h"

#include "PPDFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using TestSupport::expectFailure;
using TestSupport::thrown;

namespace {

const LanguageSet korean{"ko"};

// A small file of our own: the header line, then the given lines.
PPDFile parseLines(const std::string& lines, const std::optional<LanguageSet>& languages = std::nullopt) {
    return PPDFile::parse("*PPD-Adobe: \"4.3\"\n" + lines, "test.ppd", languages);
}

} // namespace

TEST(PPDParserTest, ReadsTheFixtureIntoTheWholeModelWithOrWithoutCarriageReturns) {
    PPDFixture::expectSameModel(PPDFile::load(PPDFixture::path(), korean), PPDFixture::expectedModel());
    PPDFixture::expectSameModel(PPDFile::load(PPDFixture::path(), std::nullopt),
                                PPDFixture::expectedModel(true));
    std::string crlf;
    for (char c : PPDFixture::bytes()) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    PPDFixture::expectSameModel(PPDFile::parse(crlf, "crlf.ppd", korean), PPDFixture::expectedModel());
}

TEST(PPDParserTest, RefusesUnreadableFilesWhatIsNoPPDAndQueueNamesLeadingOutOfTheFolder) {
    TestSupport::TemporaryDirectory root;
    for (const auto& path : {root / "missing.ppd", root.path()}) {
        expectFailure<PPDError>([&] { PPDFile::load(path, korean); }, PPDErrorCode::unreadable,
                                "PPD 파일을 읽지 못했습니다: " + path.string());
    }
    const auto file = root / "queue.ppd";
    for (const std::string start :
         {"", "*% comment\n*PPD-Adobe: \"4.3\"\n", "\xEF\xBB\xBF*PPD-Adobe: \"4.3\"\n", "PPD-Adobe\n"}) {
        TestSupport::writeFile(file, start.empty() ? start : start + "*Manufacturer: \"EPSON\"\n");
        expectFailure<PPDError>([&] { PPDFile::load(file, korean); }, PPDErrorCode::notAPPD,
                                "PPD 파일이 아닙니다: " + file.string());
    }
    EXPECT_EQ(PPDFile::parse("\n\r\n*PPD-Adobe: \"4.3\"\n*NickName: \"P\"", "x", std::nullopt).nickName, "P");

    EXPECT_EQ(PPDFile::urlForQueue("Office").string(), "/etc/cups/ppd/Office.ppd");
    std::filesystem::create_directory(root / "ppd");
    for (const char* name : {"ppd/Photo.ppd", "outside.ppd", "ppd/..ppd"}) { // the last two must stay unread
        TestSupport::writeFile(root / name, PPDFixture::bytes());
    }
    EXPECT_EQ(PPDFile::loadQueue("Photo", korean, root / "ppd").nickName, "EPSON SC-P900 Series");
    for (const std::string& queue :
         std::vector<std::string>{"../outside", "sub/Photo", ".", "..", "", std::string("Photo\0x", 7)}) {
        auto error = thrown<PPDError>([&] { PPDFile::loadQueue(queue, korean, root / "ppd"); });
        ASSERT_TRUE(error && error->code() == PPDErrorCode::unreadable) << queue;
        EXPECT_EQ(error->detail(), PPDFile::urlForQueue(queue, root / "ppd").string());
    }
}

TEST(PPDParserTest, CutsLinesAndGathersQuotedValues) {
    const std::pair<const char*, std::vector<std::string>> lines[] = {{"a\r\nb\n", {"a", "b"}},
                                                                      {"a\n\nb", {"a", "", "b"}},
                                                                      {"a\r\r\nb\rc", {"a\r", "b\rc"}},
                                                                      {"\n", {""}},
                                                                      {"a\r", {"a"}},
                                                                      {"", {}}};
    for (const auto& [text, cut] : lines) {
        EXPECT_EQ(PPDParser::lines(text), cut) << text;
    }
    for (const char* open : {"*A: \"open", "*A: \t \"", "*A b/c: \"open: still open"}) {
        EXPECT_TRUE(PPDParser::hasOpenQuote(open)) << open;
    }
    for (const char* closed :
         {"*A b/c:d: \"after the second colon", "*A: \"closed\"", "*A: x \"open", "*A \"open", "*A:"}) {
        EXPECT_FALSE(PPDParser::hasOpenQuote(closed)) << closed;
    }
    auto ppd =
        parseLines("*% *Hidden: \"x\"\nLoose: \"y\"\n *Indented: \"z\"\n*Note: \"first\n*second\nthird\"\n"
                   "*End\n*A: \"quoted\" tail\n*B:   \"x\"  \t\n*D: \"\"\n*E\n*C: \"\n*G: \"\"\n"
                   "*Last: \"first\n*second\nlast");
    EXPECT_EQ(ppd.attributes, (std::map<std::string, std::string>{
                                  {"PPD-Adobe", "4.3"},
                                  {"Note", "first\n*second\nthird"},
                                  {"A", "\"quoted\" tail"}, // quotes stay when text follows them
                                  {"B", "x"},
                                  {"D", ""},
                                  {"E", ""},
                                  // An open quote takes in the next line that holds a quote, whatever it is.
                                  {"C", "\n*G: \""},
                                  {"Last", "\"first\n*second\nlast"}, // left open at the end
                              }));
    EXPECT_EQ(parseLines("*F: \"\n").attributes.at("F"), "\""); // one quote is no pair
}

TEST(PPDParserTest, FirstDefinitionsStayAndOptionsNeverClose) {
    auto ppd =
        parseLines("*Manufacturer: \"\"\n*Manufacturer: \"EPSON\"\n*Manufacturer: \"Other\"\n"
                   "*Opt Early/Too early: \"\"\n*OpenUI *Before: PickOne\n*OpenGroup: Outer/Outer Label\n"
                   "*OpenUI *Opt/First: PickOne\n*Opt A/Alpha: \"\"\n*Opt A/Again: \"\"\n*CloseUI: *Opt\n"
                   "*OpenGroup: Inner\n*OpenUI *Opt/Second: Boolean\n*Opt B/Beta: \"\"\n"
                   "*JCLOpenUI *JCLOpt: PickOne\n*CloseGroup: Inner\n*OpenUI *After: PickOne\n"
                   "*DefaultOpt: gone\n*DefaultOpt: B\n*DefaultNothing: 1\n*Default: loose\n");
    EXPECT_EQ(ppd.manufacturer, "EPSON"); // the first non-empty value
    ASSERT_EQ(ppd.options.size(), 4u);
    const PPDOption& opt = ppd.options[1];
    EXPECT_EQ(opt.label + " " + opt.uiType + " " + opt.defaultChoice.value_or("-"), "First PickOne B");
    // B after the second OpenUI still belongs to the first definition; A's second label is ignored.
    EXPECT_EQ(opt.choices, (std::vector<PPDChoice>{{"A", "Alpha", {}}, {"B", "Beta", {}}}));
    EXPECT_EQ(ppd.options[2].keyword, "JCLOpt");
    // Groups do not nest: a second one replaces the first, and closing it leaves none.
    EXPECT_EQ(ppd.option("Before")->group, std::nullopt);
    EXPECT_EQ(opt.group, "Outer");
    EXPECT_EQ(ppd.option("JCLOpt")->group, "Inner");
    EXPECT_EQ(ppd.option("After")->group, std::nullopt);
    EXPECT_EQ(ppd.attributes.at("Default"), "loose");
    EXPECT_FALSE(ppd.attributes.contains("DefaultNothing"));
}

TEST(PPDParserTest, KeepsTranslationsOfTheChosenLanguagesAndDecodesHexText) {
    const std::string lines =
        "*OpenUI *EPIJ_Medi/Media: PickOne\n*EPIJ_Medi PLAIN/Plain: \"\"\n"
        "*ja.Translation EPIJ_Medi/用紙: \"\"\n*ko.Translation EPIJ_Medi/<EC9AA9 ECA780>: \"\"\n"
        "*ko.Translation EPIJ_Medi: \"\"\n*ko.EPIJ_Medi PLAIN/보통: \"\"\n"
        "*zh_TW.EPIJ_Medi PLAIN/普通紙: \"\"\n*ko.EPIJ_Medi /No choice: \"\"\n"
        "*ko.Translation EPIJ_Medi/나중: \"\"\n";
    auto ko = parseLines(lines, LanguageSet{"ko"});
    EXPECT_EQ(ko.option("EPIJ_Medi")->localizedLabels, (LocalizedLabels{{"ko", "나중"}}));
    EXPECT_EQ(ko.option("EPIJ_Medi")->choice("PLAIN")->localizedLabels, (LocalizedLabels{{"ko", "보통"}}));
    auto every = parseLines(lines);
    EXPECT_EQ(every.option("EPIJ_Medi")->localizedLabels, (LocalizedLabels{{"ja", "用紙"}, {"ko", "나중"}}));
    EXPECT_EQ(every.option("EPIJ_Medi")->choice("PLAIN")->localizedLabels,
              (LocalizedLabels{{"ko", "보통"}, {"zh_TW", "普通紙"}}));
    for (const char* code : {"ko", "kor", "zh_TW", "zh_Hant", "pt_br"}) {
        EXPECT_TRUE(PPDParser::isLanguageCode(code)) << code;
    }
    for (const char* code :
         {"Ko", "k", "engl", "k0", "zh_", "_TW", "zh_T", "zh_Hants", "zh_TW_x", "zh_T1", ""}) {
        EXPECT_FALSE(PPDParser::isLanguageCode(code)) << code;
    }
    const std::pair<const char*, const char*> hex[] = {
        {"A4 (<ed9b84eba9b4>)", "A4 (후면)"},
        {"<4G>", "<4G>"},
        {"<>", "<>"},
        {"< >", "< >"},
        {"<ABC>", "<ABC>"},
        {"a < b", "a < b"},
        {"<<EC9AA9ECA780>", "<용지"},
        {"<E9>t<E9>", "été"}, // not UTF-8: read as Latin-1
    };
    for (const auto& [text, decoded] : hex) {
        EXPECT_EQ(PPDParser::decodeHex(text), decoded) << text;
    }
    EXPECT_EQ(PPDParser::hexBytes("4\t1"), std::nullopt); // only spaces are ignored
}

TEST(PPDParserTest, ReadsOrdersPageSizesAndTheCustomRangeFromFiniteNumbersOnly) {
    auto ppd = parseLines(
        "*OpenUI *PageSize: PickOne\n*OpenUI *Other: PickOne\n*OpenUI *Third: PickOne\n"
        "*OrderDependency: 10 AnySetup *PageSize\n*OrderDependency: nan AnySetup *PageSize\n"
        "*OrderDependency: 10 AnySetup\n*OrderDependency: x AnySetup *Other\n"
        "*OrderDependency: 5\tAnySetup\t*Other\n*OrderDependency:   2.5   AnySetup   **Third extra\n"
        "*OrderDependency: 7 AnySetup *Third\n*PageSize A4/A4 210 x 297 mm: \"\"\n"
        "*PageSize A5/A5: \"\"\n*PageSize B5/B5: \"\"\n*PageSize Tiny: \"\"\n*PageSize NaN: \"\"\n"
        "*PageSize Inf: \"\"\n*ko.PageSize A5/A5 <EC9AA9ECA780>: \"\"\n"
        "*PaperDimension A4/A4 210 x 297 mm: \"595 842\"\n*ImageableArea A4: \"1 2 594 840\"\n"
        "*PaperDimension A5: \"420 595\"\n*ImageableArea A5: \"0 0 nan 729\"\n"
        "*PaperDimension B5: \"516 729 1\"\n*PaperDimension Tiny: \"10\t20\"\n"
        "*PaperDimension Orphan: \"1 1\"\n*PaperDimension NaN: \"nan 842\"\n"
        "*PaperDimension Inf: \"1e999 420\"\n*ParamCustomPageSize Width: 1 points 72 inf\n"
        "*ParamCustomPageSize Height: 2 points 144 3240\n");
    EXPECT_EQ(ppd.option("PageSize")->order, 10);
    EXPECT_EQ(ppd.option("Other")->order, std::nullopt);
    EXPECT_EQ(ppd.option("Third")->order, 7); // a later line replaces the earlier number
    EXPECT_EQ(ppd.pageSizes, (std::vector<PPDPageSize>{
                                 {"A4", "A4 210 x 297 mm", {}, 595, 842, std::vector<double>{1, 2, 594, 840}},
                                 {"A5", "A5", {{"ko", "A5 용지"}}, 420, 595, std::nullopt},
                                 {"Tiny", "Tiny", {}, 10, 20, std::nullopt},
                             }));
    EXPECT_EQ(ppd.customSizeRange, std::nullopt); // the width's limit is no number
    EXPECT_EQ(PPDParser::numbers("1 nan 2\tinf -inf NaN 3e400 4"), (std::vector<double>{1, 2, 4}));
    // Both limits are needed; a later line replaces an earlier one, a short line counts for nothing.
    EXPECT_EQ(parseLines("*ParamCustomPageSize Width: 1 points 72 1000\n").customSizeRange, std::nullopt);
    EXPECT_EQ(parseLines(
                  "*ParamCustomPageSize Width: 1 points 72 1000\n*ParamCustomPageSize Height: 2 points 144 "
                  "3240\n*ParamCustomPageSize Depth: 3 points 0 9\n*ParamCustomPageSize Height: 2 points 1\n")
                  .customSizeRange,
              (PPDCustomSizeRange{72, 1000, 144, 3240}));
}
