#include "PrintKit/settings/PPDParser.h"

#include "PPDFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;

namespace {

const LanguageSet korean{"ko"};

// A small file of our own: the header line, then the given lines.
PPDFile parseLines(const std::string& lines, const std::optional<LanguageSet>& languages = std::nullopt) {
    return PPDFile::parse("*PPD-Adobe: \"4.3\"\n" + lines, "test.ppd", languages);
}

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

template <typename F> PPDError catchPPDError(F&& work) {
    try {
        work();
    } catch (const PPDError& error) {
        return error;
    }
    ADD_FAILURE() << "no PPDError was thrown";
    return PPDError(PPDErrorCode::unreadable, "");
}

} // namespace

TEST(PPDParserTest, ReadsTheFixtureIntoTheWholeModel) {
    PPDFixture::expectSameModel(PPDFile::load(PPDFixture::path(), korean), PPDFixture::expectedModel());
}

TEST(PPDParserTest, KeepsEveryLanguageWithoutALanguageSet) {
    PPDFixture::expectSameModel(PPDFile::load(PPDFixture::path(), std::nullopt),
                                PPDFixture::expectedModel(true));
}

TEST(PPDParserTest, CarriageReturnLineEndsGiveTheSameModel) {
    std::string text = PPDFixture::bytes();
    ASSERT_EQ(text.find('\r'), std::string::npos);
    PPDFixture::expectSameModel(PPDFile::parse(crlf(text), "crlf.ppd", korean), PPDFixture::expectedModel());
}

TEST(PPDParserTest, ReadsALatin1LineAmongUtf8Lines) {
    auto ppd = PPDFile::load(PPDFixture::path(), korean);
    const auto* media = ppd.option("EPIJ_Medi");
    ASSERT_NE(media, nullptr);
    ASSERT_NE(media->choice("VELV"), nullptr);
    EXPECT_EQ(media->choice("VELV")->label, "Velvet Fine Art Paper (250 g/m²)");
    EXPECT_EQ(media->choice("PGPP")->localizedLabels.at("ko"), "프리미엄 광택 사진 용지");
    EXPECT_EQ(PPDParser::decodeLine("Caf\xE9"), "Café");
    EXPECT_EQ(PPDParser::decodeLine("용지"), "용지");
}

TEST(PPDParserTest, ReportsAnUnreadableFileWithItsPath) {
    TestSupport::TemporaryDirectory folder;
    auto missing = folder / "missing.ppd";
    auto error = catchPPDError([&] { PPDFile::load(missing, korean); });
    EXPECT_EQ(error.code(), PPDErrorCode::unreadable);
    EXPECT_EQ(error.detail(), missing.string());
    EXPECT_EQ(std::string(error.what()), "PPD 파일을 읽지 못했습니다: " + missing.string());

    auto directory = catchPPDError([&] { PPDFile::load(folder.path(), korean); });
    EXPECT_EQ(directory.code(), PPDErrorCode::unreadable);
}

TEST(PPDParserTest, RefusesWhatDoesNotStartAsAPPDFile) {
    TestSupport::TemporaryDirectory folder;
    std::string body = "*Manufacturer: \"EPSON\"\n";
    for (const std::string& start :
         {std::string(), std::string("*% comment\n*PPD-Adobe: \"4.3\"\n"),
          std::string("   \n*PPD-Adobe: \"4.3\"\n"), std::string("\xEF\xBB\xBF*PPD-Adobe: \"4.3\"\n"),
          std::string("PPD-Adobe\n")}) {
        auto file = folder / "queue.ppd";
        TestSupport::writeFile(file, start.empty() ? std::string() : start + body);
        auto error = catchPPDError([&] { PPDFile::load(file, korean); });
        EXPECT_EQ(error.code(), PPDErrorCode::notAPPD) << start;
        EXPECT_EQ(std::string(error.what()), "PPD 파일이 아닙니다: " + file.string());
    }
    auto inMemory = catchPPDError([] { PPDFile::parse("\n\n", "memory source", std::nullopt); });
    EXPECT_EQ(std::string(inMemory.what()), "PPD 파일이 아닙니다: memory source");
}

TEST(PPDParserTest, EmptyLinesBeforeTheHeaderAreAllowed) {
    auto ppd = PPDFile::parse("\n\r\n*PPD-Adobe: \"4.3\"\n*NickName: \"Printer\"", "x", std::nullopt);
    EXPECT_EQ(ppd.nickName, "Printer");
    EXPECT_EQ(ppd.attributes.at("PPD-Adobe"), "4.3");
}

TEST(PPDParserTest, FindsAQueueFileInItsFolderOnly) {
    EXPECT_EQ(PPDFile::systemDirectory(), std::filesystem::path("/etc/cups/ppd"));
    EXPECT_EQ(PPDFile::urlForQueue("Office").string(), "/etc/cups/ppd/Office.ppd");

    TestSupport::TemporaryDirectory root;
    std::filesystem::create_directory(root / "ppd");
    TestSupport::writeFile(root / "ppd" / "Photo.ppd", PPDFixture::bytes());
    // Files next to the folder that a crafted queue name would reach.
    TestSupport::writeFile(root / "outside.ppd", PPDFixture::bytes());
    TestSupport::writeFile(root / "ppd" / "..ppd", PPDFixture::bytes());

    auto folder = root / "ppd";
    PPDFixture::expectSameModel(PPDFile::loadQueue("Photo", korean, folder), PPDFixture::expectedModel());
    for (const std::string& queue :
         std::vector<std::string>{"../outside", "sub/Photo", ".", "..", "", std::string("Photo\0x", 7)}) {
        auto error = catchPPDError([&] { PPDFile::loadQueue(queue, korean, folder); });
        EXPECT_EQ(error.code(), PPDErrorCode::unreadable) << queue;
        EXPECT_EQ(error.detail(), PPDFile::urlForQueue(queue, folder).string());
    }
}

TEST(PPDParserTest, GathersAQuotedValueOverSeveralLines) {
    auto ppd = parseLines("*Note: \"first\n"
                          "*second\n"
                          "third\"\n"
                          "*End\n"
                          "*After: \"x\"\n");
    EXPECT_EQ(ppd.attributes.at("Note"), "first\n*second\nthird");
    EXPECT_EQ(ppd.attributes.at("After"), "x");
    EXPECT_FALSE(ppd.attributes.contains("second"));
    EXPECT_FALSE(ppd.attributes.contains("End"));
}

TEST(PPDParserTest, HandlesAQuotedValueLeftOpenAtTheEnd) {
    auto ppd = parseLines("*Note: \"first\n*second\nlast");
    EXPECT_EQ(ppd.attributes.at("Note"), "\"first\n*second\nlast");
}

TEST(PPDParserTest, KeepsQuotesAroundAValueWithTextAfterTheClosingQuote) {
    auto ppd = parseLines("*A: \"quoted\" tail\n*B:   \"x\"  \t\n*D: \"\"\n*E\n*F: \"\n");
    EXPECT_EQ(ppd.attributes.at("A"), "\"quoted\" tail");
    EXPECT_EQ(ppd.attributes.at("B"), "x");
    EXPECT_EQ(ppd.attributes.at("D"), "");
    EXPECT_EQ(ppd.attributes.at("E"), "");
    EXPECT_EQ(ppd.attributes.at("F"), "\""); // one quote is no pair
    // An open quote takes in the next line that holds a quote, whatever that line is.
    auto joined = parseLines("*C: \"\n*D: \"\"\n");
    EXPECT_EQ(joined.attributes.at("C"), "\n*D: \"");
    EXPECT_FALSE(joined.attributes.contains("D"));
}

TEST(PPDParserTest, DefaultsCountWhereverTheyStand) {
    auto ppd = parseLines("*DefaultEPIJ_Medi: PLAIN\n"
                          "*OpenUI *EPIJ_Medi/Media: PickOne\n"
                          "*EPIJ_Medi PGPP/Glossy: \"\"\n"
                          "*CloseUI: *EPIJ_Medi\n"
                          "*OpenUI *EPIJ_Qual: PickOne\n"
                          "*CloseUI: *EPIJ_Qual\n"
                          "*DefaultEPIJ_Qual: 999\n"
                          "*DefaultEPIJ_Qual: 302\n"
                          "*DefaultNothing: 1\n"
                          "*Default: loose\n");
    EXPECT_EQ(ppd.option("EPIJ_Medi")->defaultChoice, "PLAIN"); // not among the choices, kept all the same
    EXPECT_EQ(ppd.option("EPIJ_Qual")->defaultChoice, "302");
    EXPECT_EQ(ppd.attributes.at("Default"), "loose");
    EXPECT_FALSE(ppd.attributes.contains("DefaultNothing"));
    EXPECT_FALSE(ppd.attributes.contains("DefaultEPIJ_Medi"));
}

TEST(PPDParserTest, TheFirstDefinitionStays) {
    auto ppd = parseLines("*Manufacturer: \"\"\n"
                          "*Manufacturer: \"EPSON\"\n"
                          "*Manufacturer: \"Other\"\n"
                          "*Thing: \"one\"\n"
                          "*Thing: \"two\"\n"
                          "*OpenUI *Opt/First: PickOne\n"
                          "*Opt A/Alpha: \"\"\n"
                          "*Opt A/Again: \"\"\n"
                          "*CloseUI: *Opt\n"
                          "*OpenUI *Opt/Second: Boolean\n"
                          "*Opt B/Beta: \"\"\n");
    EXPECT_EQ(ppd.manufacturer, "EPSON"); // the first non-empty value
    EXPECT_EQ(ppd.attributes.at("Thing"), "one");
    ASSERT_EQ(ppd.options.size(), 1u);
    EXPECT_EQ(ppd.options[0].label, "First");
    EXPECT_EQ(ppd.options[0].uiType, "PickOne");
    // Options are never closed: B after the second OpenUI still belongs to the first definition.
    ASSERT_EQ(ppd.options[0].choices.size(), 2u);
    EXPECT_EQ(ppd.options[0].choices[0], (PPDChoice{"A", "Alpha", {}}));
    EXPECT_EQ(ppd.options[0].choices[1], (PPDChoice{"B", "Beta", {}}));
}

TEST(PPDParserTest, ChoiceLinesBelongToKnownOptionsOnly) {
    auto ppd = parseLines("*Opt Early/Too early: \"\"\n"
                          "*OpenUI *Opt: PickOne\n"
                          "*Opt Plain: \"\"\n"
                          "*CloseUI: *Opt\n"
                          "*Opt Late/After close: \"\"\n"
                          "*JCLOpenUI *JCLOpt/Job: PickOne\n"
                          "*JCLOpt On/On: \"\"\n");
    ASSERT_EQ(ppd.options.size(), 2u);
    EXPECT_EQ(ppd.options[0].label, "Opt"); // no translation: the keyword
    EXPECT_EQ(ppd.options[0].choices,
              (std::vector<PPDChoice>{{"Plain", "Plain", {}}, {"Late", "After close", {}}}));
    EXPECT_EQ(ppd.options[1].keyword, "JCLOpt");
    EXPECT_EQ(ppd.options[1].choices.size(), 1u);
}

TEST(PPDParserTest, GroupsDoNotNest) {
    auto ppd = parseLines("*OpenUI *Before: PickOne\n"
                          "*OpenGroup: Outer/Outer Label\n"
                          "*OpenUI *InOuter: PickOne\n"
                          "*OpenGroup: Inner\n"
                          "*OpenUI *InInner: PickOne\n"
                          "*CloseGroup: Inner\n"
                          "*OpenUI *AfterClose: PickOne\n");
    EXPECT_EQ(ppd.option("Before")->group, std::nullopt);
    EXPECT_EQ(ppd.option("InOuter")->group, "Outer");
    EXPECT_EQ(ppd.option("InInner")->group, "Inner");
    EXPECT_EQ(ppd.option("AfterClose")->group, std::nullopt);
}

TEST(PPDParserTest, KeepsTranslationsOfTheChosenLanguages) {
    std::string lines = "*OpenUI *EPIJ_Medi/Media: PickOne\n"
                        "*EPIJ_Medi PLAIN/Plain: \"\"\n"
                        "*ja.Translation EPIJ_Medi/用紙: \"\"\n"
                        "*ko.Translation EPIJ_Medi/<EC9AA9 ECA780>: \"\"\n"
                        "*ko.Translation EPIJ_Medi: \"\"\n"
                        "*ko.EPIJ_Medi PLAIN/보통: \"\"\n"
                        "*zh_TW.EPIJ_Medi PLAIN/普通紙: \"\"\n"
                        "*Ko.EPIJ_Medi PLAIN/Not a translation: \"\"\n"
                        "*ko.EPIJ_Medi /No choice: \"\"\n"
                        "*ko.Translation EPIJ_Medi/나중: \"\"\n";
    auto korean = parseLines(lines, LanguageSet{"ko"});
    EXPECT_EQ(korean.option("EPIJ_Medi")->localizedLabels, (LocalizedLabels{{"ko", "나중"}}));
    EXPECT_EQ(korean.option("EPIJ_Medi")->choice("PLAIN")->localizedLabels,
              (LocalizedLabels{{"ko", "보통"}}));
    EXPECT_EQ(korean.option("EPIJ_Medi")->choice("PLAIN")->label, "Plain");
    EXPECT_FALSE(korean.attributes.contains("Ko.EPIJ_Medi"));

    auto every = parseLines(lines);
    EXPECT_EQ(every.option("EPIJ_Medi")->localizedLabels, (LocalizedLabels{{"ja", "用紙"}, {"ko", "나중"}}));
    EXPECT_EQ(every.option("EPIJ_Medi")->choice("PLAIN")->localizedLabels,
              (LocalizedLabels{{"ko", "보통"}, {"zh_TW", "普通紙"}}));
}

TEST(PPDParserTest, RecognisesLanguageCodes) {
    for (const char* code : {"ko", "kor", "zh_TW", "zh_Hant", "pt_br"}) {
        EXPECT_TRUE(PPDParser::isLanguageCode(code)) << code;
    }
    for (const char* code :
         {"Ko", "k", "engl", "k0", "zh_", "_TW", "zh_T", "zh_Hants", "zh_TW_x", "zh_T1", ""}) {
        EXPECT_FALSE(PPDParser::isLanguageCode(code)) << code;
    }
}

TEST(PPDParserTest, DecodesBracketedHexRuns) {
    EXPECT_EQ(PPDParser::decodeHex("<EC9AA9 ECA780>"), "용지");
    EXPECT_EQ(PPDParser::decodeHex("A4 (<ed9b84eba9b4>)"), "A4 (후면)");
    EXPECT_EQ(PPDParser::decodeHex("<4G>"), "<4G>");
    EXPECT_EQ(PPDParser::decodeHex("<>"), "<>");
    EXPECT_EQ(PPDParser::decodeHex("< >"), "< >");
    EXPECT_EQ(PPDParser::decodeHex("<ABC>"), "<ABC>");
    EXPECT_EQ(PPDParser::decodeHex("a < b"), "a < b");
    EXPECT_EQ(PPDParser::decodeHex("<<EC9AA9ECA780>"), "<용지");
    EXPECT_EQ(PPDParser::decodeHex("<E9>t<E9>"), "été"); // not UTF-8: read as Latin-1
    EXPECT_EQ(PPDParser::hexBytes("41 42"), "AB");
    EXPECT_EQ(PPDParser::hexBytes("4\t1"), std::nullopt); // only spaces are ignored
}

TEST(PPDParserTest, ReadsOrderDependencies) {
    auto ppd = parseLines("*OpenUI *PageSize: PickOne\n"
                          "*OpenUI *Other: PickOne\n"
                          "*OpenUI *Third: PickOne\n"
                          "*OrderDependency: 10 AnySetup *PageSize\n"
                          "*OrderDependency: 10 AnySetup\n"
                          "*OrderDependency: x AnySetup *Other\n"
                          "*OrderDependency: 5\tAnySetup\t*Other\n"
                          "*OrderDependency:   2.5   AnySetup   **Third extra\n"
                          "*OrderDependency: 7 AnySetup *Third\n"
                          "*OrderDependency: 3 AnySetup *Unknown\n");
    EXPECT_EQ(ppd.option("PageSize")->order, 10);
    EXPECT_EQ(ppd.option("Other")->order, std::nullopt);
    EXPECT_EQ(ppd.option("Third")->order, 7); // a later line replaces the earlier number
}

TEST(PPDParserTest, ReadsPageSizesWithTheirDimensions) {
    auto ppd = parseLines("*OpenUI *PageSize: PickOne\n"
                          "*PageSize A4/A4 210 x 297 mm: \"\"\n"
                          "*PageSize A5/A5: \"\"\n"
                          "*PageSize B5/B5: \"\"\n"
                          "*PageSize Tiny: \"\"\n"
                          "*ko.PageSize A5/A5 <EC9AA9ECA780>: \"\"\n"
                          "*PaperDimension A4/A4 210 x 297 mm: \"595 842\"\n"
                          "*ImageableArea A4: \"1 2 594 840\"\n"
                          "*PaperDimension A5: \"420 595\"\n"
                          "*ImageableArea A5: \"1 2 3\"\n"
                          "*PaperDimension B5: \"516 729 1\"\n"
                          "*PaperDimension Tiny: \"10\t20\"\n"
                          "*PaperDimension Orphan: \"1 1\"\n");
    EXPECT_EQ(ppd.pageSizes, (std::vector<PPDPageSize>{
                                 {"A4", "A4 210 x 297 mm", {}, 595, 842, std::vector<double>{1, 2, 594, 840}},
                                 {"A5", "A5", {{"ko", "A5 용지"}}, 420, 595, std::nullopt},
                                 {"Tiny", "Tiny", {}, 10, 20, std::nullopt},
                             }));
}

TEST(PPDParserTest, NonFiniteNumbersNeverBecomeSizes) {
    auto ppd = parseLines("*OpenUI *PageSize: PickOne\n"
                          "*PageSize A4: \"\"\n"
                          "*PageSize A5: \"\"\n"
                          "*PageSize A6: \"\"\n"
                          "*PageSize B5: \"\"\n"
                          "*PaperDimension A4: \"nan 842\"\n"
                          "*PaperDimension A5: \"inf inf\"\n"
                          "*PaperDimension A6: \"1e999 420\"\n"
                          "*PaperDimension B5: \"516 729\"\n"
                          "*ImageableArea B5: \"0 0 nan 729\"\n"
                          "*OrderDependency: nan AnySetup *PageSize\n"
                          "*ParamCustomPageSize Width: 1 points 72 inf\n"
                          "*ParamCustomPageSize Height: 2 points 72 1000\n");
    ASSERT_EQ(ppd.pageSizes.size(), 1u);
    EXPECT_EQ(ppd.pageSizes[0].name, "B5");
    EXPECT_EQ(ppd.pageSizes[0].imageableArea, std::nullopt);
    EXPECT_EQ(ppd.option("PageSize")->order, std::nullopt);
    EXPECT_EQ(ppd.customSizeRange, std::nullopt);
    EXPECT_EQ(PPDParser::numbers("1 nan 2\tinf -inf NaN 3e400 4"), (std::vector<double>{1, 2, 4}));
}

TEST(PPDParserTest, NeedsBothCustomSizeLimits) {
    auto widthOnly = parseLines("*ParamCustomPageSize Width: 1 points 72 1000\n");
    EXPECT_EQ(widthOnly.customSizeRange, std::nullopt);
    auto both = parseLines("*ParamCustomPageSize Width: 1 points 72 1000\n"
                           "*ParamCustomPageSize Height: 2 points 144 3240\n"
                           "*ParamCustomPageSize Depth: 3 points 0 9\n"
                           "*ParamCustomPageSize Height: 2 points 1\n");
    EXPECT_EQ(both.customSizeRange, (PPDCustomSizeRange{72, 1000, 144, 3240}));
}

TEST(PPDParserTest, CollectsProfilesFiltersAndPresets) {
    auto ppd = parseLines("*cupsICCProfile RGB.Glossy/<EAB491ED839D>: \"/p/glossy.icc\"\n"
                          "*cupsICCProfile Plain: \"/p/plain.icc\"\n"
                          "*cupsFilter2: \"a b 0 one\"\n"
                          "*cupsFilter: \"c 0 two\"\n"
                          "*cupsPreFilter: \"d 0 three\"\n"
                          "*APPrinterPreset Fast/Fast Print: \"*EPIJ_Qual 301\"\n"
                          "*APPrinterPreset Bare: \"\"\n");
    EXPECT_EQ(ppd.colorProfiles, (std::vector<PPDColorProfile>{{"RGB.Glossy", "광택", "/p/glossy.icc"},
                                                               {"Plain", "Plain", "/p/plain.icc"}}));
    EXPECT_EQ(ppd.filters, (std::vector<std::string>{"a b 0 one", "c 0 two"}));
    EXPECT_EQ(ppd.preFilters, (std::vector<std::string>{"d 0 three"}));
    EXPECT_EQ(ppd.presets,
              (std::vector<PPDPreset>{{"Fast", "Fast Print", {{"EPIJ_Qual", "301"}}, std::nullopt},
                                      {"Bare", "Bare", {}, std::nullopt}}));
}

TEST(PPDParserTest, CutsLinesAtLineFeeds) {
    EXPECT_EQ(PPDParser::lines(""), std::vector<std::string>{});
    EXPECT_EQ(PPDParser::lines("a\r\nb\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(PPDParser::lines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(PPDParser::lines("a\r"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(PPDParser::lines("a\r\r\nb\rc"), (std::vector<std::string>{"a\r", "b\rc"}));
    EXPECT_EQ(PPDParser::lines("\n"), (std::vector<std::string>{""}));
}

TEST(PPDParserTest, TellsOpenQuotes) {
    EXPECT_TRUE(PPDParser::hasOpenQuote("*A: \"open"));
    EXPECT_TRUE(PPDParser::hasOpenQuote("*A: \t \""));
    EXPECT_TRUE(PPDParser::hasOpenQuote("*A b/c: \"open: still open"));
    EXPECT_FALSE(PPDParser::hasOpenQuote("*A b/c:d: \"after the second colon"));
    EXPECT_FALSE(PPDParser::hasOpenQuote("*A: \"closed\""));
    EXPECT_FALSE(PPDParser::hasOpenQuote("*A: x \"open"));
    EXPECT_FALSE(PPDParser::hasOpenQuote("*A \"open"));
    EXPECT_FALSE(PPDParser::hasOpenQuote("*A:"));
}

TEST(PPDParserTest, SkipsCommentsAndLinesWithoutAnAsterisk) {
    auto ppd = parseLines("*% *Hidden: \"x\"\n"
                          "Loose: \"y\"\n"
                          " *Indented: \"z\"\n"
                          "*End\n"
                          "*Kept: \"k\"\n");
    EXPECT_EQ(ppd.attributes, (std::map<std::string, std::string>{{"PPD-Adobe", "4.3"}, {"Kept", "k"}}));
}

TEST(PPDParserTest, SurvivesFilesThatEndAnywhere) {
    // Every prefix of the fixture either parses or is refused as no PPD file; none throws anything else.
    std::string text = PPDFixture::bytes();
    for (std::size_t length = 0; length <= text.size(); length += 97) {
        try {
            auto ppd = PPDFile::parse(text.substr(0, length), "cut", korean);
            EXPECT_LE(ppd.options.size(), 19u);
        } catch (const PPDError& error) {
            EXPECT_EQ(error.code(), PPDErrorCode::notAPPD);
        }
    }
}
