#include "PPDFixture.h"
#include "PrintKit/settings/EpsonInkjet2Adapter.h"
#include "TestSupport.h"
#include "Thrown.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace PrintKit;
namespace Adapter = PrintKit::EpsonInkjet2Adapter;
using Settings = Adapter::Settings;
using PPDFixture::listed;
using PPDFixture::recipe;

namespace {

PPDFile parse(const std::string& lines) {
    return PPDFile::parse("*PPD-Adobe: \"4.3\"\n" + lines, "t", std::nullopt);
}

std::string presetLine(const std::string& name, const std::string& body) {
    return "*APPrinterPreset " + name + ": \"" + body + "\ncom.apple.print.preset.quality mid\n\"\n";
}

class EpsonInkjet2AdapterOptionsTest : public ::testing::Test {
protected:
    PPDFixture::MachineFolder machine;
    PPDFile ppd = PPDFixture::load();
};

} // namespace

// --- Option lists of whole print jobs, and the resolution each asks for ---

TEST_F(EpsonInkjet2AdapterOptionsTest, StandardQualityOnPlainPaperWithApplicationColour) {
    // The preset's detection 1 and feed adjustment 1 never count; the driver's colour adjustment is off.
    auto options = Adapter::options(
        recipe("PLAIN", "A4", "STD", PrintQuality::standard, InkMode::color, PPDFixture::appColor()), ppd);
    EXPECT_EQ(listed(options),
              "EPIJ_Ink_=1 PageSize=A4 PageRegion=A4 EPIJ_Size=1 EPIJ_PSrc=STD EPIJ_Medi=PLAIN "
              "Resolution=720x720dpi EPIJ_Qual=302 EPIJ_IsMedAut=0 EPIJ_FdSo=0 EPIJ_CMat=1 "
              "MediaType=PLAIN EPIJ_Mode=1 EPIJ_APri=0 EPIJ_Bi_D=1 EPIJ_FDet=0 EPIJ_FWea=0 "
              "EPIJ_Silt=0 AP_ColorMatchingMode=AP_ApplicationColorMatching");
    EXPECT_EQ(Adapter::resolution(options), 720);
}

TEST_F(EpsonInkjet2AdapterOptionsTest, HighQualityBorderlessInAdvancedBlackAndWhiteWithDriverColour) {
    auto options = Adapter::options(
        recipe("PGPP", "A4", "SFBL", PrintQuality::high, InkMode::advancedBlackAndWhite), ppd);
    EXPECT_EQ(listed(options),
              "EPIJ_Ink_=3 PageSize=A4.Borderless PageRegion=A4.Borderless EPIJ_Size=1 EPIJ_PSrc=SFBL "
              "EPIJ_Medi=PGPP Resolution=720x720dpi EPIJ_Qual=303 EPIJ_IsMedAut=0 EPIJ_FdSo=0 EPIJ_CMat=0 "
              "MediaType=PGPP EPIJ_Mode=2 EPIJ_APri=0 EPIJ_Bi_D=0 EPIJ_FDet=1 EPIJ_FWea=0 EPIJ_Silt=1 "
              "AP_ColorMatchingMode=AP_VendorColorMatching");
    EXPECT_EQ(Adapter::resolution(options), 720);
}

TEST_F(EpsonInkjet2AdapterOptionsTest, CustomQualityOnACustomSheetWithOverrides) {
    // No PageRegion and no EPIJ_Size for a custom sheet; the resolution from the label of quality 303; VELV
    // is no MediaType choice, so its default goes; the mode is the first that is not automatic.
    auto options = Adapter::options(
        recipe("VELV", "Custom", "REAR", PrintQuality::custom, InkMode::color, PPDFixture::appColor(),
               CustomSheetSize{300, 400},
               {{"EPIJ_Qual", "303"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_Silt", "1"}, {"EPIJ_Extra", "5"}}),
        ppd);
    EXPECT_EQ(listed(options), "EPIJ_Ink_=1 PageSize=Custom.300.00x400.00 EPIJ_PSrc=REAR EPIJ_Medi=VELV "
                               "Resolution=1440x720dpi EPIJ_Qual=303 EPIJ_IsMedAut=0 EPIJ_FdSo=0 EPIJ_CMat=1 "
                               "MediaType=PLAIN EPIJ_Mode=1 EPIJ_APri=0 EPIJ_Bi_D=0 EPIJ_FDet=0 EPIJ_FWea=0 "
                               "EPIJ_Silt=1 AP_ColorMatchingMode=AP_ApplicationColorMatching EPIJ_Extra=5");
    EXPECT_EQ(Adapter::resolution(options), 1440);
}

TEST_F(EpsonInkjet2AdapterOptionsTest, AutomaticPresetWithDriverColour) {
    auto automatic = recipe("PGPP", "Letter", "STD", PrintQuality::standard);
    auto options = Adapter::options(automatic, ppd);
    EXPECT_EQ(listed(options),
              "EPIJ_Ink_=1 PageSize=Letter PageRegion=Letter EPIJ_Size=2 EPIJ_PSrc=STD "
              "EPIJ_Medi=PGPP Resolution=720x720dpi EPIJ_Qual=302 EPIJ_IsMedAut=0 EPIJ_FdSo=0 "
              "EPIJ_CMat=0 MediaType=PGPP EPIJ_Mode=0 EPIJ_APri=0 EPIJ_Bi_D=1 EPIJ_FDet=0 "
              "EPIJ_FWea=0 EPIJ_Silt=0 AP_ColorMatchingMode=AP_VendorColorMatching");
    EXPECT_EQ(Adapter::resolution(options), 720);
    // What the driver will do in its automatic mode comes from its machine data.
    EXPECT_EQ(Adapter::presetDetails(automatic, ppd),
              (Settings{{"EPIJ_Qual", "303"}, {"EPIJ_Bi_D", "1"}, {"EPIJ_FDet", "1"}, {"EPIJ_Silt", "0"}}));
    automatic.ink = InkMode::advancedBlackAndWhite;
    EXPECT_EQ(Adapter::presetDetails(automatic, ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_OvCt", "2"}}));
}

TEST_F(EpsonInkjet2AdapterOptionsTest, OverridesCountOnlyForACustomQuality) {
    auto withOverrides = [&](PrintQuality quality, std::map<std::string, std::string> overrides) {
        return Adapter::options(
            recipe("PLAIN", "A4", "STD", quality, InkMode::color, ColorManagement::driver(), {}, overrides),
            ppd);
    };
    const std::map<std::string, std::string> overrides{{"EPIJ_Qual", "303"}, {"Resolution", "360x360dpi"}};
    EXPECT_EQ(withOverrides(PrintQuality::standard, overrides), withOverrides(PrintQuality::standard, {}));
    // An override of the resolution wins over the one the quality suggests (1440 for 303).
    EXPECT_EQ(Adapter::resolution(withOverrides(PrintQuality::custom, overrides)), 360);
    // Overrides may also replace what the recipe sets, and are checked like everything else.
    auto replaced = withOverrides(PrintQuality::custom, {{"EPIJ_IsMedAut", "1"}});
    EXPECT_NE(std::find(replaced.begin(), replaced.end(), PrintOption{"EPIJ_IsMedAut", "1"}), replaced.end());
    expectFailure<OptionResolverError>(
        [&] {
            withOverrides(PrintQuality::custom, {{"EPIJ_Silt", "9"}});
        },
        OptionResolverErrorCode::unknownChoice, "EPIJ_Silt에는 9 값이 없습니다. 가능한 값: 0, 1");
}

TEST_F(EpsonInkjet2AdapterOptionsTest, ReportsEachFailureInItsOrder) {
    auto failure = [](const PaperRecipe& recipe, const PPDFile& ppd) {
        return thrown<DriverAdapterError>([&] { Adapter::options(recipe, ppd); }).value();
    };
    PPDFile other = ppd;
    other.attributes.erase("EPIJDriverSystem");
    other.nickName = "Office Laser";
    EXPECT_EQ(failure(recipe("NOPE", "B9", "XX", PrintQuality::standard), other).message(),
              "Office Laser은 Epson 드라이버를 쓰지 않습니다");
    auto media = failure(recipe("NOPE", "B9", "XX", PrintQuality::standard), ppd);
    EXPECT_EQ(media.code(), DriverAdapterErrorCode::unknownMedia);
    EXPECT_EQ(media.message(), "드라이버에 없는 용지 종류입니다: NOPE");
    EXPECT_EQ(failure(recipe("PLAIN", "B9", "XX", PrintQuality::standard), ppd).code(),
              DriverAdapterErrorCode::unknownSheet);
    EXPECT_EQ(failure(recipe("PLAIN", "A4", "XX", PrintQuality::standard), ppd).code(),
              DriverAdapterErrorCode::unknownSource);
    PPDFile noHigh = ppd;
    std::erase_if(noHigh.presets, [](const PPDPreset& preset) { return preset.quality == "high"; });
    auto quality = failure(recipe("PLAIN", "A4", "STD", PrintQuality::high), noHigh);
    EXPECT_EQ(quality.code(), DriverAdapterErrorCode::noQualityPreset);
    EXPECT_EQ(quality.quality(), PrintQuality::high);
    EXPECT_EQ(quality.message(), "이 프린터 드라이버에는 '고품질' 품질 설정이 없습니다");

    // A page size whose label the driver's size list lacks has a page but no driver size.
    EXPECT_EQ(failure(recipe("PLAIN", "Env10", "STD", PrintQuality::standard), ppd).message(),
              "Env10 용지는 이 급지 방식(STD)으로 인쇄할 수 없습니다");
    EXPECT_EQ(failure(recipe("PLAIN", "Custom", "STD", PrintQuality::standard, InkMode::color,
                             ColorManagement::driver(), CustomSheetSize{std::nan(""), 400}),
                      ppd)
                  .code(),
              DriverAdapterErrorCode::customSizeOutOfRange);
}

// --- Quality presets ---

TEST_F(EpsonInkjet2AdapterOptionsTest, OffersTheQualitiesThePPDHasPresetsFor) {
    EXPECT_EQ(Adapter::supportedQualities(ppd),
              (std::vector<PrintQuality>{PrintQuality::standard, PrintQuality::high, PrintQuality::custom}));
    auto midOnly = parse(presetLine("A/A", "\n*EPIJ_Qual 302"));
    EXPECT_EQ(Adapter::supportedQualities(midOnly), (std::vector<PrintQuality>{PrintQuality::standard}));
    EXPECT_TRUE(Adapter::supportedQualities(PPDFile{}).empty());
    EXPECT_EQ(thrown<DriverAdapterError>([] {
                  Adapter::qualitySettings(PrintQuality::standard, "PLAIN", PPDFile{});
              })->message(),
              "이 프린터 드라이버에는 '표준' 품질 설정이 없습니다");
}

TEST_F(EpsonInkjet2AdapterOptionsTest, ChoosesThePresetForTheMedia) {
    // The media, feed, ink and detection of a preset are the recipe's to decide, never the preset's.
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PLAIN", ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Mode", "1"}, {"EPIJ_Bi_D", "1"}}));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::high, "PLPP", ppd),
              (Settings{{"EPIJ_Qual", "303"}, {"EPIJ_Mode", "2"}, {"EPIJ_Bi_D", "0"}}));
    // No preset for velvet: the generic preset for any media ("0") is passed over for a later one.
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "VELV", ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Mode", "1"}, {"EPIJ_Bi_D", "1"}}));

    auto secondForMedia =
        parse(presetLine("A/A", "\n*EPIJ_Qual 301") + presetLine("B/B", "\n*EPIJ_Medi PGPP\n*EPIJ_Qual 303"));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PGPP", secondForMedia),
              (Settings{{"EPIJ_Qual", "303"}}));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PLAIN", secondForMedia),
              (Settings{{"EPIJ_Qual", "301"}}));
    auto allAnyMedia = parse(presetLine("A/A", "\n*EPIJ_Medi 0\n*EPIJ_Qual 301") +
                             presetLine("B/B", "\n*EPIJ_Medi 0\n*EPIJ_Qual 302"));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PLAIN", allAnyMedia),
              (Settings{{"EPIJ_Qual", "301"}}));
    auto emptyFirst = parse(presetLine("A/A", "") + presetLine("B/B", "\n*EPIJ_Medi 0\n*EPIJ_Qual 302"));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "", emptyFirst), Settings{});

    // A custom quality starts from the first print mode that is not the automatic one.
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::custom, "ANY", ppd), (Settings{{"EPIJ_Mode", "1"}}));
    auto allAutomatic = parse("*OpenUI *EPIJ_Mode: PickOne\n*EPIJ_Mode 0/Automatic: \"\"\n");
    EXPECT_EQ(Adapter::advancedQualitySettings(allAutomatic), Settings{});
}

TEST_F(EpsonInkjet2AdapterOptionsTest, DetailsComeFromThePresetOrTheMachineData) {
    // Feed weave has a single choice; the others of the eight detail keys are not in the file.
    std::vector<std::string> keywords;
    for (const auto& option : Adapter::detailedQualityOptions(ppd)) {
        keywords.push_back(option.keyword);
    }
    EXPECT_EQ(keywords, (std::vector<std::string>{"EPIJ_Qual", "EPIJ_Bi_D", "EPIJ_FDet", "EPIJ_Silt"}));

    auto details = [&](std::string media, PrintQuality quality, const PPDFile& ppd) {
        return Adapter::presetDetails(recipe(std::move(media), "A4", "STD", quality), ppd);
    };
    EXPECT_EQ(details("PLAIN", PrintQuality::standard, ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "1"}}));
    EXPECT_EQ(details("PGPP", PrintQuality::high, ppd),
              (Settings{{"EPIJ_Qual", "303"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_FDet", "1"}, {"EPIJ_Silt", "1"}}));
    EXPECT_EQ(details("PGPP", PrintQuality::custom, ppd), std::nullopt);
    EXPECT_EQ(details("PGPP", PrintQuality::high, PPDFile{}), std::nullopt);

    // The priority is the last part of the name looked up; without one, or with a name the machine data
    // lacks, an automatic preset has no details.
    PPDFile priority = ppd;
    for (auto& preset : priority.presets) {
        preset.settings["EPIJ_APri"] = "1";
    }
    EXPECT_EQ(details("PGPP", PrintQuality::standard, priority),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_FDet", "0"}}));
    for (auto& preset : priority.presets) {
        preset.settings["EPIJ_APri"] = "7";
    }
    EXPECT_EQ(details("PGPP", PrintQuality::standard, priority), std::nullopt);
    for (auto& preset : priority.presets) {
        preset.settings.erase("EPIJ_APri");
    }
    EXPECT_EQ(details("PGPP", PrintQuality::standard, priority), std::nullopt);
    PPDFixture::MachineFolder none(TestSupport::fixture("machine/none"));
    EXPECT_EQ(details("PGPP", PrintQuality::standard, ppd), std::nullopt);
}

// --- Resolutions ---

TEST_F(EpsonInkjet2AdapterOptionsTest, AQualityLabelNamesTheResolutionToAimFor) {
    const std::pair<std::optional<std::string>, std::optional<std::string>> fixture[] = {
        {"302", "720x720dpi"},  // "Normal - 720dpi"
        {"303", "1440x720dpi"}, // "Fine - 1440dpi"
        {"304", "360x360dpi"},  // 300dpi: nothing below, the smallest
        {"305", std::nullopt},  // "720DPI" does not match
        {"999", std::nullopt},  {std::nullopt, std::nullopt},
    };
    for (const auto& [quality, resolution] : fixture) {
        EXPECT_EQ(Adapter::resolutionForQuality(quality, ppd), resolution) << quality.value_or("none");
    }
    EXPECT_EQ(Adapter::resolutionForQuality("302", PPDFile{}), std::nullopt);

    auto withLabel = [](const std::string& label) {
        return parse(
            "*OpenUI *EPIJ_Qual: PickOne\n*EPIJ_Qual q/" + label +
            ": \"\"\n*OpenUI *Resolution: PickOne\n*Resolution 300dpi: \"\"\n*Resolution 600x600dpi: \"\"\n"
            "*Resolution 600dpi/second of equals: \"\"\n*Resolution 1200x600dpi: \"\"\n"
            "*Resolution draft: \"\"\n");
    };
    const std::pair<std::string, std::optional<std::string>> labels[] = {
        {"x 600dpi y 1200dpi", "600x600dpi"}, // the first match; the first of equals
        {"up to 9999dpi", "1200x600dpi"},
        {"Tiny 100dpi", "draft"}, // no number counts 0, the smallest and not above any target
        {"1200 dpi", std::nullopt},
        {"v2-0600dpi", "600x600dpi"},
        {"99999999999999999999dpi", std::nullopt},
        {"١٢٠٠dpi 300dpi", "300dpi"}, // Arabic digits do not match
        // A long run of digits without "dpi" is searched in one pass, and one just before "dpi" still counts.
        {std::string(200000, '7'), std::nullopt},
        {std::string(200000, '7') + " 600dpi", "600x600dpi"},
    };
    for (const auto& [label, resolution] : labels) {
        EXPECT_EQ(Adapter::resolutionForQuality("q", withLabel(label)), resolution) << label.substr(0, 40);
    }
}

TEST_F(EpsonInkjet2AdapterOptionsTest, ReadsTheResolutionBackFromAnOptionList) {
    EXPECT_EQ(Adapter::resolution({{"PageSize", "A4"}, {"Resolution", "360dpi"}, {"Resolution", "720dpi"}}),
              360);
    EXPECT_EQ(Adapter::resolution({{"Resolution", "2880"}}), 2880);
    // No resolution, or one no renderer could work at, gives the default.
    for (const std::string& value :
         {std::string("x360dpi"), std::string("0x0dpi"), std::string(400, '9') + "dpi"}) {
        EXPECT_EQ(Adapter::resolution({{"Resolution", value}}), 720) << value.substr(0, 20);
    }
    EXPECT_EQ(Adapter::resolution({}), 720);
}
