#include "PPDFixture.h"
#include "PrintKit/settings/EpsonInkjet2Adapter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace PrintKit;
namespace Adapter = PrintKit::EpsonInkjet2Adapter;
using Options = std::vector<PrintOption>;
using Settings = Adapter::Settings;
using PPDFixture::recipe;

namespace {

template <typename F> DriverAdapterError adapterError(F&& work) {
    try {
        work();
    } catch (const DriverAdapterError& error) {
        return error;
    }
    ADD_FAILURE() << "no DriverAdapterError was thrown";
    return DriverAdapterError::customSizeNotSupported();
}

PPDFile parse(const std::string& lines) {
    return PPDFile::parse("*PPD-Adobe: \"4.3\"\n" + lines, "t", std::nullopt);
}

std::string presetLine(const std::string& name, const std::string& body) {
    return "*APPrinterPreset " + name + ": \"" + body + "\"\n";
}

class EpsonInkjet2AdapterOptionsTest : public ::testing::Test {
protected:
    PPDFixture::MachineFolder machine;
    PPDFile ppd = PPDFixture::load();
};

} // namespace

// --- Option lists of whole print jobs ---

TEST_F(EpsonInkjet2AdapterOptionsTest, StandardQualityOnPlainPaperWithApplicationColour) {
    auto options = Adapter::options(
        recipe("PLAIN", "A4", "STD", PrintQuality::standard, InkMode::color, PPDFixture::appColor()), ppd);
    EXPECT_EQ(options,
              (Options{
                  {"EPIJ_Ink_", "1"},           {"PageSize", "A4"},
                  {"PageRegion", "A4"},         {"EPIJ_Size", "1"},
                  {"EPIJ_PSrc", "STD"},         {"EPIJ_Medi", "PLAIN"},
                  {"Resolution", "720x720dpi"}, {"EPIJ_Qual", "302"},
                  {"EPIJ_IsMedAut", "0"}, // the preset's 1 never counts
                  {"EPIJ_FdSo", "0"},     // nor its feed adjustment: the PPD default goes
                  {"EPIJ_CMat", "1"},     // the driver's adjustment off
                  {"MediaType", "PLAIN"},       {"EPIJ_Mode", "1"},
                  {"EPIJ_APri", "0"},           {"EPIJ_Bi_D", "1"},
                  {"EPIJ_FDet", "0"},           {"EPIJ_FWea", "0"},
                  {"EPIJ_Silt", "0"},           {"AP_ColorMatchingMode", "AP_ApplicationColorMatching"},
              }));
    EXPECT_EQ(Adapter::resolution(options), 720);
}

TEST_F(EpsonInkjet2AdapterOptionsTest, HighQualityBorderlessInAdvancedBlackAndWhiteWithDriverColour) {
    auto options = Adapter::options(
        recipe("PGPP", "A4", "SFBL", PrintQuality::high, InkMode::advancedBlackAndWhite), ppd);
    EXPECT_EQ(options, (Options{
                           {"EPIJ_Ink_", "3"},
                           {"PageSize", "A4.Borderless"},
                           {"PageRegion", "A4.Borderless"},
                           {"EPIJ_Size", "1"},
                           {"EPIJ_PSrc", "SFBL"},
                           {"EPIJ_Medi", "PGPP"},
                           {"Resolution", "720x720dpi"},
                           {"EPIJ_Qual", "303"},
                           {"EPIJ_IsMedAut", "0"},
                           {"EPIJ_FdSo", "0"},
                           {"EPIJ_CMat", "0"}, // the driver's own adjustment stays
                           {"MediaType", "PGPP"},
                           {"EPIJ_Mode", "2"},
                           {"EPIJ_APri", "0"},
                           {"EPIJ_Bi_D", "0"},
                           {"EPIJ_FDet", "1"},
                           {"EPIJ_FWea", "0"},
                           {"EPIJ_Silt", "1"},
                           {"AP_ColorMatchingMode", "AP_VendorColorMatching"},
                       }));
    EXPECT_EQ(Adapter::resolution(options), 720);
}

TEST_F(EpsonInkjet2AdapterOptionsTest, CustomQualityOnACustomSheetWithOverrides) {
    auto options = Adapter::options(
        recipe("VELV", "Custom", "REAR", PrintQuality::custom, InkMode::color, PPDFixture::appColor(),
               CustomSheetSize{300, 400},
               {{"EPIJ_Qual", "303"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_Silt", "1"}, {"EPIJ_Extra", "5"}}),
        ppd);
    EXPECT_EQ(options, (Options{
                           {"EPIJ_Ink_", "1"},
                           {"PageSize", "Custom.300.00x400.00"}, // no PageRegion and no EPIJ_Size
                           {"EPIJ_PSrc", "REAR"},
                           {"EPIJ_Medi", "VELV"},
                           {"Resolution", "1440x720dpi"}, // from the label of quality 303
                           {"EPIJ_Qual", "303"},
                           {"EPIJ_IsMedAut", "0"},
                           {"EPIJ_FdSo", "0"},
                           {"EPIJ_CMat", "1"},
                           {"MediaType", "PLAIN"}, // VELV is not offered there: the default goes
                           {"EPIJ_Mode", "1"},     // the first print mode that is not automatic
                           {"EPIJ_APri", "0"},
                           {"EPIJ_Bi_D", "0"},
                           {"EPIJ_FDet", "0"},
                           {"EPIJ_FWea", "0"},
                           {"EPIJ_Silt", "1"},
                           {"AP_ColorMatchingMode", "AP_ApplicationColorMatching"},
                           {"EPIJ_Extra", "5"},
                       }));
    EXPECT_EQ(Adapter::resolution(options), 1440);
}

TEST_F(EpsonInkjet2AdapterOptionsTest, AutomaticPresetWithDriverColour) {
    auto automatic = recipe("PGPP", "Letter", "STD", PrintQuality::standard);
    auto options = Adapter::options(automatic, ppd);
    EXPECT_EQ(options, (Options{
                           {"EPIJ_Ink_", "1"},
                           {"PageSize", "Letter"},
                           {"PageRegion", "Letter"},
                           {"EPIJ_Size", "2"},
                           {"EPIJ_PSrc", "STD"},
                           {"EPIJ_Medi", "PGPP"},
                           {"Resolution", "720x720dpi"},
                           {"EPIJ_Qual", "302"},
                           {"EPIJ_IsMedAut", "0"},
                           {"EPIJ_FdSo", "0"},
                           {"EPIJ_CMat", "0"},
                           {"MediaType", "PGPP"},
                           {"EPIJ_Mode", "0"},
                           {"EPIJ_APri", "0"},
                           {"EPIJ_Bi_D", "1"},
                           {"EPIJ_FDet", "0"},
                           {"EPIJ_FWea", "0"},
                           {"EPIJ_Silt", "0"},
                           {"AP_ColorMatchingMode", "AP_VendorColorMatching"},
                       }));
    EXPECT_EQ(Adapter::resolution(options), 720);
    // What the driver will do in its automatic mode comes from its machine data.
    EXPECT_EQ(Adapter::presetDetails(automatic, ppd),
              (Settings{{"EPIJ_Qual", "303"}, {"EPIJ_Bi_D", "1"}, {"EPIJ_FDet", "1"}, {"EPIJ_Silt", "0"}}));
    automatic.ink = InkMode::advancedBlackAndWhite;
    EXPECT_EQ(Adapter::presetDetails(automatic, ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_OvCt", "2"}}));
}

TEST_F(EpsonInkjet2AdapterOptionsTest, CustomQualityOnARollPageWithoutAQualityChoice) {
    auto options =
        Adapter::options(recipe("PLPP", "A4", "ROLL", PrintQuality::custom, InkMode::advancedBlackAndWhite,
                                PPDFixture::appColor(), std::nullopt, {{"EPIJ_Mode", "2"}}),
                         ppd);
    EXPECT_EQ(options, (Options{
                           {"EPIJ_Ink_", "3"},     {"PageSize", "A4.Roll"},
                           {"PageRegion", "A4"}, // the roll page is not a PageRegion choice: its default goes
                           {"EPIJ_Size", "1"},     {"EPIJ_PSrc", "ROLL"},
                           {"EPIJ_Medi", "PLPP"},  {"Resolution", "720x720dpi"},
                           {"EPIJ_Qual", "302"},   {"EPIJ_IsMedAut", "0"},
                           {"EPIJ_FdSo", "0"},     {"EPIJ_CMat", "1"},
                           {"MediaType", "PLAIN"}, {"EPIJ_Mode", "2"},
                           {"EPIJ_APri", "0"},     {"EPIJ_Bi_D", "1"},
                           {"EPIJ_FDet", "0"},     {"EPIJ_FWea", "0"},
                           {"EPIJ_Silt", "0"},     {"AP_ColorMatchingMode", "AP_ApplicationColorMatching"},
                       }));
    EXPECT_EQ(Adapter::resolution(options), 720);
}

TEST_F(EpsonInkjet2AdapterOptionsTest, OverridesCountOnlyForACustomQuality) {
    std::map<std::string, std::string> overrides{{"EPIJ_Qual", "301"}, {"Resolution", "360x360dpi"}};
    auto standard = Adapter::options(recipe("PLAIN", "A4", "STD", PrintQuality::standard, InkMode::color,
                                            PPDFixture::appColor(), {}, overrides),
                                     ppd);
    EXPECT_EQ(standard, Adapter::options(recipe("PLAIN", "A4", "STD", PrintQuality::standard, InkMode::color,
                                                PPDFixture::appColor()),
                                         ppd));

    // An override of the resolution wins over the one the quality suggests (1440 for 303).
    overrides = {{"EPIJ_Qual", "303"}, {"Resolution", "360x360dpi"}};
    auto custom = Adapter::options(recipe("PLAIN", "A4", "STD", PrintQuality::custom, InkMode::color,
                                          PPDFixture::appColor(), {}, overrides),
                                   ppd);
    EXPECT_EQ(Adapter::resolution(custom), 360);
    EXPECT_EQ(custom[6], (PrintOption{"Resolution", "360x360dpi"}));

    // Overrides may also replace what the recipe sets, and are checked like everything else.
    auto replaced = Adapter::options(recipe("PLAIN", "A4", "STD", PrintQuality::custom, InkMode::color,
                                            ColorManagement::driver(), {}, {{"EPIJ_IsMedAut", "1"}}),
                                     ppd);
    EXPECT_NE(std::find(replaced.begin(), replaced.end(), PrintOption{"EPIJ_IsMedAut", "1"}), replaced.end());
    try {
        Adapter::options(recipe("PLAIN", "A4", "STD", PrintQuality::custom, InkMode::color,
                                ColorManagement::driver(), {}, {{"EPIJ_Silt", "9"}}),
                         ppd);
        FAIL() << "no error";
    } catch (const OptionResolverError& error) {
        EXPECT_EQ(error.message(), "EPIJ_Silt에는 9 값이 없습니다. 가능한 값: 0, 1");
    }
}

TEST_F(EpsonInkjet2AdapterOptionsTest, AQualityLabelInCapitalsSuggestsNoResolution) {
    auto options = Adapter::options(recipe("PLAIN", "A4", "STD", PrintQuality::custom, InkMode::color,
                                           ColorManagement::driver(), {}, {{"EPIJ_Qual", "305"}}),
                                    ppd);
    EXPECT_EQ(options[6], (PrintOption{"Resolution", "720x720dpi"})); // the PPD default
    EXPECT_EQ(options[7], (PrintOption{"EPIJ_Qual", "305"}));
}

// --- Errors of the option list, in their order ---

TEST_F(EpsonInkjet2AdapterOptionsTest, ReportsEachFailureInItsOrder) {
    PPDFile other = ppd;
    other.attributes.erase("EPIJDriverSystem");
    other.nickName = "Office Laser";
    auto driver =
        adapterError([&] { Adapter::options(recipe("NOPE", "B9", "XX", PrintQuality::standard), other); });
    EXPECT_EQ(driver.code(), DriverAdapterErrorCode::unsupportedDriver);
    EXPECT_EQ(driver.message(), "Office Laser은 Epson 드라이버를 쓰지 않습니다");

    auto media =
        adapterError([&] { Adapter::options(recipe("NOPE", "B9", "XX", PrintQuality::standard), ppd); });
    EXPECT_EQ(media.code(), DriverAdapterErrorCode::unknownMedia);
    EXPECT_EQ(media.message(), "드라이버에 없는 용지 종류입니다: NOPE");

    auto sheet =
        adapterError([&] { Adapter::options(recipe("PLAIN", "B9", "XX", PrintQuality::standard), ppd); });
    EXPECT_EQ(sheet.message(), "드라이버에 없는 용지 크기입니다: B9");

    auto source =
        adapterError([&] { Adapter::options(recipe("PLAIN", "A4", "XX", PrintQuality::standard), ppd); });
    EXPECT_EQ(source.message(), "드라이버에 없는 급지 방식입니다: XX");

    PPDFile noHigh = ppd;
    std::erase_if(noHigh.presets, [](const PPDPreset& preset) { return preset.quality == "high"; });
    auto quality =
        adapterError([&] { Adapter::options(recipe("PLAIN", "A4", "STD", PrintQuality::high), noHigh); });
    EXPECT_EQ(quality.code(), DriverAdapterErrorCode::noQualityPreset);
    EXPECT_EQ(quality.quality(), PrintQuality::high);
    EXPECT_EQ(quality.message(), "이 프린터 드라이버에는 '고품질' 품질 설정이 없습니다");

    // A page size whose label the driver's size list lacks has a page but no driver size.
    PPDFile envelope = ppd;
    for (auto& option : envelope.options) {
        if (option.keyword == "EPIJ_Size") {
            option.choices.pop_back();
        }
    }
    auto size = adapterError(
        [&] { Adapter::options(recipe("PLAIN", "Env10", "STD", PrintQuality::standard), envelope); });
    EXPECT_EQ(size.code(), DriverAdapterErrorCode::sheetNotAvailable);
    EXPECT_EQ(size.message(), "Env10 용지는 이 급지 방식(STD)으로 인쇄할 수 없습니다");

    auto custom = adapterError([&] {
        Adapter::options(recipe("PLAIN", "Custom", "STD", PrintQuality::standard, InkMode::color,
                                ColorManagement::driver(), CustomSheetSize{std::nan(""), 400}),
                         ppd);
    });
    EXPECT_EQ(custom.code(), DriverAdapterErrorCode::customSizeOutOfRange);
}

// --- Quality presets ---

TEST_F(EpsonInkjet2AdapterOptionsTest, OffersTheQualitiesThePPDHasPresetsFor) {
    EXPECT_EQ(Adapter::supportedQualities(ppd),
              (std::vector<PrintQuality>{PrintQuality::standard, PrintQuality::high, PrintQuality::custom}));
    auto midOnly = parse(presetLine("A/A", "\n*EPIJ_Qual 302\ncom.apple.print.preset.quality mid\n"));
    EXPECT_EQ(Adapter::supportedQualities(midOnly), (std::vector<PrintQuality>{PrintQuality::standard}));
    EXPECT_EQ(adapterError([&] { Adapter::qualitySettings(PrintQuality::high, "PLAIN", midOnly); }).message(),
              "이 프린터 드라이버에는 '고품질' 품질 설정이 없습니다");
    EXPECT_TRUE(Adapter::supportedQualities(PPDFile{}).empty());
    EXPECT_EQ(
        adapterError([] { Adapter::qualitySettings(PrintQuality::standard, "PLAIN", PPDFile{}); }).message(),
        "이 프린터 드라이버에는 '표준' 품질 설정이 없습니다");
}

TEST_F(EpsonInkjet2AdapterOptionsTest, ChoosesThePresetForTheMedia) {
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PLAIN", ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Mode", "1"}, {"EPIJ_Bi_D", "1"}}));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::high, "PLPP", ppd),
              (Settings{{"EPIJ_Qual", "303"}, {"EPIJ_Mode", "2"}, {"EPIJ_Bi_D", "0"}}));
    // No preset for velvet: the generic preset for any media ("0") is passed over for a later one.
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "VELV", ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Mode", "1"}, {"EPIJ_Bi_D", "1"}}));

    auto secondForMedia =
        parse(presetLine("A/A", "\n*EPIJ_Qual 301\ncom.apple.print.preset.quality mid\n") +
              presetLine("B/B", "\n*EPIJ_Medi PGPP\n*EPIJ_Qual 303\ncom.apple.print.preset.quality mid\n"));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PGPP", secondForMedia),
              (Settings{{"EPIJ_Qual", "303"}}));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PLAIN", secondForMedia),
              (Settings{{"EPIJ_Qual", "301"}}));

    auto allAnyMedia =
        parse(presetLine("A/A", "\n*EPIJ_Medi 0\n*EPIJ_Qual 301\ncom.apple.print.preset.quality mid\n") +
              presetLine("B/B", "\n*EPIJ_Medi 0\n*EPIJ_Qual 302\ncom.apple.print.preset.quality mid\n"));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PLAIN", allAnyMedia),
              (Settings{{"EPIJ_Qual", "301"}}));

    auto emptyFirst =
        parse(presetLine("A/A", "\ncom.apple.print.preset.quality mid\n") +
              presetLine("B/B", "\n*EPIJ_Medi 0\n*EPIJ_Qual 302\ncom.apple.print.preset.quality mid\n"));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "", emptyFirst), Settings{});
}

TEST_F(EpsonInkjet2AdapterOptionsTest, ThePresetNeverDecidesMediaFeedInkOrDetection) {
    auto keys = Adapter::qualitySettings(PrintQuality::high, "PGPP", ppd);
    for (const char* key : {"EPIJ_Medi", "EPIJ_FdSo", "EPIJ_Ink_", "EPIJ_IsMedAut"}) {
        EXPECT_FALSE(keys.contains(key)) << key;
    }
}

TEST_F(EpsonInkjet2AdapterOptionsTest, ACustomQualityStartsFromTheFirstOrdinaryPrintMode) {
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::custom, "ANY", ppd), (Settings{{"EPIJ_Mode", "1"}}));
    EXPECT_EQ(Adapter::advancedQualitySettings(ppd), (Settings{{"EPIJ_Mode", "1"}}));
    auto allAutomatic =
        parse("*OpenUI *EPIJ_Mode: PickOne\n*EPIJ_Mode 0/Automatic: \"\"\n*EPIJ_Mode 9/Automatic: \"\"\n");
    EXPECT_EQ(Adapter::advancedQualitySettings(allAutomatic), Settings{});
    EXPECT_EQ(Adapter::advancedQualitySettings(PPDFile{}), Settings{});
}

TEST_F(EpsonInkjet2AdapterOptionsTest, ListsTheDetailOptionsThatOfferAChoice) {
    std::vector<std::string> keywords;
    for (const auto& option : Adapter::detailedQualityOptions(ppd)) {
        keywords.push_back(option.keyword);
    }
    // Feed weave has a single choice; the others of the eight are not in the file.
    EXPECT_EQ(keywords, (std::vector<std::string>{"EPIJ_Qual", "EPIJ_Bi_D", "EPIJ_FDet", "EPIJ_Silt"}));
    EXPECT_EQ(Adapter::detailedQualityKeys,
              (std::array<std::string_view, 8>{"EPIJ_Qual", "EPIJ_Bi_D", "EPIJ_FDet", "EPIJ_FWea",
                                               "EPIJ_OvCt", "EPIJ_AnGl", "EPIJ_BEQP", "EPIJ_Silt"}));
}

TEST_F(EpsonInkjet2AdapterOptionsTest, PresetDetailsComeFromThePresetOrTheMachineData) {
    EXPECT_EQ(Adapter::presetDetails(recipe("PLAIN", "A4", "STD", PrintQuality::standard), ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "1"}}));
    EXPECT_EQ(Adapter::presetDetails(recipe("PGPP", "A4", "STD", PrintQuality::high), ppd),
              (Settings{{"EPIJ_Qual", "303"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_FDet", "1"}, {"EPIJ_Silt", "1"}}));
    EXPECT_EQ(Adapter::presetDetails(recipe("PGPP", "A4", "STD", PrintQuality::custom), ppd), std::nullopt);

    PPDFile noHigh = ppd;
    noHigh.presets.clear();
    EXPECT_EQ(Adapter::presetDetails(recipe("PGPP", "A4", "STD", PrintQuality::high), noHigh), std::nullopt);

    // An automatic preset without a priority, or with a name the machine data lacks, has no details.
    PPDFile noPriority = ppd;
    for (auto& preset : noPriority.presets) {
        preset.settings.erase("EPIJ_APri");
    }
    EXPECT_EQ(Adapter::presetDetails(recipe("PGPP", "A4", "STD", PrintQuality::standard), noPriority),
              std::nullopt);
    PPDFile otherPriority = ppd;
    for (auto& preset : otherPriority.presets) {
        if (preset.name == "Mid_Photo") {
            preset.settings["EPIJ_APri"] = "1";
        }
    }
    // The priority is the last part of the name looked up.
    EXPECT_EQ(Adapter::presetDetails(recipe("PGPP", "A4", "STD", PrintQuality::standard), otherPriority),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_FDet", "0"}}));
    for (auto& preset : otherPriority.presets) {
        preset.settings["EPIJ_APri"] = "7";
    }
    EXPECT_EQ(Adapter::presetDetails(recipe("PGPP", "A4", "STD", PrintQuality::standard), otherPriority),
              std::nullopt);
}

TEST_F(EpsonInkjet2AdapterOptionsTest, AnAutomaticPresetHasNoDetailsWithoutMachineData) {
    PPDFixture::MachineFolder none(TestSupport::fixture("machine/none"));
    EXPECT_EQ(Adapter::presetDetails(recipe("PGPP", "A4", "STD", PrintQuality::standard), ppd), std::nullopt);
    EXPECT_EQ(Adapter::presetDetails(recipe("PLAIN", "A4", "STD", PrintQuality::standard), ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "1"}}));
}

// --- Resolutions ---

TEST_F(EpsonInkjet2AdapterOptionsTest, AQualityLabelNamesTheResolutionToAimFor) {
    EXPECT_EQ(Adapter::resolutionForQuality("302", ppd), "720x720dpi");  // "Normal - 720dpi"
    EXPECT_EQ(Adapter::resolutionForQuality("303", ppd), "1440x720dpi"); // "Fine - 1440dpi"
    EXPECT_EQ(Adapter::resolutionForQuality("301", ppd), "360x360dpi");  // "Speed - 360dpi"
    EXPECT_EQ(Adapter::resolutionForQuality("304", ppd), "360x360dpi"); // 300dpi: nothing below, the smallest
    EXPECT_EQ(Adapter::resolutionForQuality("305", ppd), std::nullopt); // "720DPI" does not match
    EXPECT_EQ(Adapter::resolutionForQuality("999", ppd), std::nullopt);
    EXPECT_EQ(Adapter::resolutionForQuality(std::nullopt, ppd), std::nullopt);
    EXPECT_EQ(Adapter::resolutionForQuality("302", PPDFile{}), std::nullopt);
}

TEST_F(EpsonInkjet2AdapterOptionsTest, TheResolutionSearchFollowsThePattern) {
    auto withLabel = [](const std::string& label) {
        return parse(
            "*OpenUI *EPIJ_Qual: PickOne\n*EPIJ_Qual q/" + label +
            ": \"\"\n*OpenUI *Resolution: PickOne\n*Resolution 300dpi: \"\"\n*Resolution 600x600dpi: \"\"\n"
            "*Resolution 600dpi/second of equals: \"\"\n*Resolution 1200x600dpi: \"\"\n"
            "*Resolution draft: \"\"\n");
    };
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel("x 600dpi y 1200dpi")),
              "600x600dpi"); // first of equals
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel("Best 1200dpi")), "1200x600dpi");
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel("up to 9999dpi")), "1200x600dpi");
    // "draft" has no number and counts 0, the smallest and not above any target.
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel("Tiny 100dpi")), "draft");
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel("1200 dpi")), std::nullopt);
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel("dpi only")), std::nullopt);
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel("v2-0600dpi")), "600x600dpi");
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel("99999999999999999999dpi")), std::nullopt);
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel("١٢٠٠dpi 300dpi")),
              "300dpi"); // Arabic digits do not match
    // A long run of digits without "dpi" is searched in one pass, and one just before "dpi" still counts.
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel(std::string(200000, '7'))), std::nullopt);
    EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel(std::string(200000, '7') + " 600dpi")),
              "600x600dpi");
}

TEST_F(EpsonInkjet2AdapterOptionsTest, ReadsTheResolutionBackFromAnOptionList) {
    EXPECT_EQ(Adapter::resolution({{"Resolution", "1440x720dpi"}}), 1440);
    EXPECT_EQ(Adapter::resolution({{"PageSize", "A4"}, {"Resolution", "360dpi"}, {"Resolution", "720dpi"}}),
              360);
    EXPECT_EQ(Adapter::resolution({}), 720);
    EXPECT_EQ(Adapter::resolution({{"Resolution", "x360dpi"}}), 720);
    EXPECT_EQ(Adapter::resolution({{"Resolution", "2880"}}), 2880);
    // Values no renderer could work at fall back to the default.
    EXPECT_EQ(Adapter::resolution({{"Resolution", "0x0dpi"}}), 720);
    EXPECT_EQ(Adapter::resolution({{"Resolution", std::string(400, '9') + "dpi"}}), 720);
}
