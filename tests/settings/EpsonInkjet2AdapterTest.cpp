#include "PrintKit/settings/EpsonInkjet2Adapter.h"

#include "GermanLocale.h"
#include "PPDFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>

using namespace PrintKit;
using TestSupport::expectFailure;
using TestSupport::thrown;
namespace Adapter = PrintKit::EpsonInkjet2Adapter;
using PPDFixture::listed;
using PPDFixture::recipe;
using Keys = std::vector<std::string>;
using Settings = Adapter::Settings;

namespace {

Keys keys(const std::vector<PPDChoice>& choices) {
    Keys result;
    for (const auto& choice : choices) {
        result.push_back(choice.key);
    }
    return result;
}

PaperRecipe customRecipe(double width, double height, std::string source = "STD") {
    return recipe("PLAIN", std::string(Adapter::customSheet), std::move(source), PrintQuality::standard,
                  InkMode::color, ColorManagement::driver(), CustomSheetSize{width, height});
}

PPDFile parse(const std::string& lines) {
    return PPDFile::parse("*PPD-Adobe: \"4.3\"\n" + lines, "t", std::nullopt);
}

std::string presetLine(const std::string& name, const std::string& body) {
    return "*APPrinterPreset " + name + ": \"" + body + "\ncom.apple.print.preset.quality mid\n\"\n";
}

DriverAdapterError failure(const std::function<void()>& call) {
    return thrown<DriverAdapterError>(call).value();
}

// The machine folder of these tests: the fixture's data, whose size range narrows the PPD's.
class EpsonInkjet2AdapterTest : public ::testing::Test {
protected:
    PPDFixture::MachineFolder machine;
    PPDFile ppd = PPDFixture::load();
};

const char* const narrowed = "이 프린터는 폭 31.4–330.2mm, 길이 45–1143mm 용지까지 인쇄할 수 있습니다";

} // namespace

TEST_F(EpsonInkjet2AdapterTest, SheetsAreTheDriversSizesAndASheetWithASourceGivesItsPage) {
    EXPECT_TRUE(Adapter::supports(ppd));
    // Env10 is not in the driver's size list; the dotted keys are source variants.
    EXPECT_EQ(keys(Adapter::sheets(ppd)), (Keys{"A4", "Letter", "A3", "4x6", "Postcard"}));
    for (auto [sheet, source, name] :
         {std::tuple{"A4", "STD", "A4"}, std::tuple{"A4", "REAR", "A4.Rear"},
          std::tuple{"A4", "SFBL", "A4.Borderless"}, std::tuple{"A4", "ROLL", "A4.Roll"},
          std::tuple{"Letter", "SFBL", "Letter.Borderless"}}) {
        EXPECT_EQ(Adapter::pageSize(sheet, source, ppd), *ppd.pageSize(name));
    }
    EXPECT_EQ(keys(Adapter::sources("A4", ppd)), (Keys{"STD", "REAR", "SFBL", "ROLL"}));
    EXPECT_EQ(keys(Adapter::sources(recipe("PLAIN", "Letter", "STD", PrintQuality::standard), ppd)),
              (Keys{"STD", "SFBL"}));
    EXPECT_TRUE(Adapter::sources("Postcard", ppd).empty()); // its choice has no dimensions
    // A custom size takes the sources that are no borderless, roll or disc feed.
    EXPECT_EQ(keys(Adapter::sources(customRecipe(300, 400), ppd)), (Keys{"STD", "REAR"}));
    for (const char* fixed : {"Roll Paper", "Borderless Tray", "Disc Tray", "CD/DVD"}) {
        EXPECT_FALSE(Adapter::isCustomSource({"1", fixed, {}})) << fixed;
    }
    EXPECT_TRUE(Adapter::isCustomSource({"1", "roll feeder", {{"ko", "롤"}}}));
    // The first failing check is reported.
    expectFailure<DriverAdapterError>([&] { Adapter::pageSize("B9", "XX", ppd); },
                                      DriverAdapterErrorCode::unknownSheet,
                                      "드라이버에 없는 용지 크기입니다: B9");
    expectFailure<DriverAdapterError>([&] { Adapter::pageSize("A4", "XX", ppd); },
                                      DriverAdapterErrorCode::unknownSource,
                                      "드라이버에 없는 급지 방식입니다: XX");
    expectFailure<DriverAdapterError>([&] { Adapter::pageSize("Letter", "REAR", ppd); },
                                      DriverAdapterErrorCode::sheetNotAvailable,
                                      "Letter 용지는 이 급지 방식(REAR)으로 인쇄할 수 없습니다");
}

TEST_F(EpsonInkjet2AdapterTest, CustomSizesGetAPageOfTheirOwnWithinThePPDsRangeNarrowedByTheMachineData) {
    EXPECT_EQ(Adapter::customSizeRange(ppd), (PPDCustomSizeRange{89, 936, 127, 3240}));
    EXPECT_EQ(
        Adapter::pageSize(customRecipe(300, 400, "REAR"), ppd),
        (PPDPageSize{
            "Custom.300.00x400.00", "사용자 지정", {}, 300, 400, std::vector<double>{8.5, 9, 291.5, 387}}));
    EXPECT_NO_THROW(Adapter::pageSize(customRecipe(936, 127), ppd));
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    for (auto size : std::vector<CustomSheetSize>{
             {88.9, 400}, {300, 126.9}, {nan, 400}, {300, nan}, {inf, 400}, {-inf, 400}}) {
        auto error = failure([&] { Adapter::pageSize(customRecipe(size.width, size.height), ppd); });
        EXPECT_EQ(error.code(), DriverAdapterErrorCode::customSizeOutOfRange);
        EXPECT_EQ(error.range(), (PPDCustomSizeRange{89, 936, 127, 3240}));
        EXPECT_EQ(error.message(), narrowed) << size.width << " x " << size.height;
    }
    expectFailure<DriverAdapterError>(
        [&] { Adapter::pageSize(customRecipe(300, 400, "SFBL"), ppd); },
        DriverAdapterErrorCode::customSourceNotAllowed,
        "사용자 지정 크기는 '시트 피더 - 테두리 없음' 급지로 인쇄할 수 없습니다. 일반 급지를 고르세요");
    {
        // Without machine data the PPD's own range holds, with a tolerance of 0.05 point.
        PPDFixture::MachineFolder none(TestSupport::fixture("machine/none"));
        EXPECT_EQ(Adapter::customSizeRange(ppd), (PPDCustomSizeRange{72, 1000, 72, 3240}));
        EXPECT_NO_THROW(Adapter::pageSize(customRecipe(71.95, 400), ppd));
        EXPECT_NO_THROW(Adapter::pageSize(customRecipe(1000.05, 3240.05), ppd));
        EXPECT_THROW(Adapter::pageSize(customRecipe(300, 3240.06), ppd), DriverAdapterError);
        EXPECT_EQ(failure([&] { Adapter::pageSize(customRecipe(71.94, 400), ppd); }).message(),
                  "이 프린터는 폭 25.4–352.8mm, 길이 25–1143mm 용지까지 인쇄할 수 있습니다");
    }
    {
        // The intersection is not checked for emptiness.
        TestSupport::TemporaryDirectory folder;
        std::filesystem::create_directories(folder / "SC-P900 Series/Contents/Resources");
        TestSupport::writeFile(folder / "SC-P900 Series/Contents/Resources/PDEData.dat",
                               "*EPIJCustomPaperSizeRange: 2000 10 3000 20\n");
        PPDFixture::MachineFolder data(folder.path());
        EXPECT_EQ(Adapter::customSizeRange(ppd), (PPDCustomSizeRange{2000, 1000, 72, 20}));
    }
    // Without a range of its own the PPD takes no custom sizes, whatever the machine data says.
    PPDFile noRange = ppd;
    noRange.customSizeRange.reset();
    EXPECT_EQ(Adapter::customSizeRange(noRange), std::nullopt);
    expectFailure<DriverAdapterError>([&] { Adapter::pageSize(customRecipe(300, 400), noRange); },
                                      DriverAdapterErrorCode::customSizeNotSupported,
                                      "이 프린터 드라이버는 사용자 지정 크기를 받지 않습니다");
    // Names and messages are written the same whatever the locale.
    GermanLocale german;
    if (!german.active()) {
        GTEST_SKIP() << "de_DE.UTF-8 is not generated on this machine";
    }
    EXPECT_EQ(Adapter::pageSize(customRecipe(283.46456692913387, 419.5275590551181), ppd).name,
              "Custom.283.46x419.53");
    EXPECT_EQ(failure([&] { Adapter::pageSize(customRecipe(80, 400), ppd); }).message(), narrowed);
}

TEST_F(EpsonInkjet2AdapterTest, StandardMarginsComeFromTheA4Page) {
    EXPECT_EQ(Adapter::standardMargins(ppd), (Margins{13, 8.5, 9, 8.5}));
    PPDFile noA4 = ppd;
    std::erase_if(noA4.pageSizes, [](const PPDPageSize& page) { return page.name == "A4"; });
    noA4.pageSizes[0].imageableArea = std::vector<double>{10, 20, 600, 770}; // Letter, the first sheet
    EXPECT_EQ(Adapter::standardMargins(noA4), (Margins{22, 10, 20, 12}));
    // No area, or one of the wrong length from a model read from elsewhere, counts as none.
    PPDFile noArea = ppd, shortArea = ppd;
    noArea.pageSizes[0].imageableArea.reset();
    shortArea.pageSizes[0].imageableArea = std::vector<double>{1, 2, 3};
    for (const PPDFile& without : {noArea, shortArea, PPDFile{}}) {
        EXPECT_EQ(Adapter::standardMargins(without), Margins::all(8.4));
    }
}

TEST_F(EpsonInkjet2AdapterTest, WholeJobsGiveTheirOptionListsAndResolutions) {
    // Each job of the fixture file: a recipe, the option list it gives and the resolution of that list.
    const auto jobs =
        nlohmann::json::parse(TestSupport::readFile(TestSupport::fixture("ppd/qx-p900-jobs.json")));
    for (const auto& job : jobs) {
        std::optional<CustomSheetSize> custom;
        if (job.contains("custom")) {
            custom = CustomSheetSize{job["custom"][0].get<double>(), job["custom"][1].get<double>()};
        }
        const PaperRecipe r =
            recipe(job["media"], job["sheet"], job["source"],
                   *fromRawValue<PrintQuality>(job["quality"].get<std::string>()),
                   *fromRawValue<InkMode>(job.value("ink", "color")),
                   job.value("appColor", false) ? PPDFixture::appColor() : ColorManagement::driver(), custom,
                   job.value("overrides", std::map<std::string, std::string>{}));
        const auto options = Adapter::options(r, ppd);
        EXPECT_EQ(listed(options), job["options"].get<std::string>());
        EXPECT_EQ(Adapter::resolution(options), job["resolution"].get<double>()) << job["options"];
    }
    // What the driver will do in its automatic mode comes from its machine data.
    PaperRecipe automatic = recipe("PGPP", "Letter", "STD", PrintQuality::standard);
    EXPECT_EQ(Adapter::presetDetails(automatic, ppd),
              (Settings{{"EPIJ_Qual", "303"}, {"EPIJ_Bi_D", "1"}, {"EPIJ_FDet", "1"}, {"EPIJ_Silt", "0"}}));
    automatic.ink = InkMode::advancedBlackAndWhite;
    EXPECT_EQ(Adapter::presetDetails(automatic, ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_OvCt", "2"}}));
}

TEST_F(EpsonInkjet2AdapterTest, ReportsEachFailureOfAJobInItsOrder) {
    PPDFile other = ppd;
    other.attributes.erase("EPIJDriverSystem");
    other.nickName = "Office Laser";
    EXPECT_FALSE(Adapter::supports(other));
    auto options = [](const PaperRecipe& r, const PPDFile& on) { return [=] { Adapter::options(r, on); }; };
    EXPECT_EQ(failure(options(recipe("NOPE", "B9", "XX", PrintQuality::standard), other)).message(),
              "Office Laser은 Epson 드라이버를 쓰지 않습니다");
    expectFailure<DriverAdapterError>(options(recipe("NOPE", "B9", "XX", PrintQuality::standard), ppd),
                                      DriverAdapterErrorCode::unknownMedia,
                                      "드라이버에 없는 용지 종류입니다: NOPE");
    EXPECT_EQ(failure(options(recipe("PLAIN", "B9", "XX", PrintQuality::standard), ppd)).code(),
              DriverAdapterErrorCode::unknownSheet);
    EXPECT_EQ(failure(options(recipe("PLAIN", "A4", "XX", PrintQuality::standard), ppd)).code(),
              DriverAdapterErrorCode::unknownSource);
    PPDFile noHigh = ppd;
    std::erase_if(noHigh.presets, [](const PPDPreset& preset) { return preset.quality == "high"; });
    auto quality = failure(options(recipe("PLAIN", "A4", "STD", PrintQuality::high), noHigh));
    EXPECT_EQ(quality.code(), DriverAdapterErrorCode::noQualityPreset);
    EXPECT_EQ(quality.quality(), PrintQuality::high);
    EXPECT_EQ(quality.message(), "이 프린터 드라이버에는 '고품질' 품질 설정이 없습니다");
    // A page size whose label the driver's size list lacks has a page but no driver size.
    EXPECT_EQ(failure(options(recipe("PLAIN", "Env10", "STD", PrintQuality::standard), ppd)).message(),
              "Env10 용지는 이 급지 방식(STD)으로 인쇄할 수 없습니다");
    EXPECT_EQ(failure(options(recipe("PLAIN", "Custom", "STD", PrintQuality::standard, InkMode::color,
                                     ColorManagement::driver(), CustomSheetSize{std::nan(""), 400}),
                              ppd))
                  .code(),
              DriverAdapterErrorCode::customSizeOutOfRange);
    // Overrides are checked like everything else.
    expectFailure<OptionResolverError>(
        options(recipe("PLAIN", "A4", "STD", PrintQuality::custom, InkMode::color, ColorManagement::driver(),
                       {}, {{"EPIJ_Silt", "9"}}),
                ppd),
        OptionResolverErrorCode::unknownChoice, "EPIJ_Silt에는 9 값이 없습니다. 가능한 값: 0, 1");
}

TEST_F(EpsonInkjet2AdapterTest, QualitiesComeFromThePresetsForTheMediaAndDetailsFromPresetOrMachineData) {
    EXPECT_EQ(Adapter::supportedQualities(ppd),
              (std::vector<PrintQuality>{PrintQuality::standard, PrintQuality::high, PrintQuality::custom}));
    EXPECT_EQ(Adapter::supportedQualities(parse(presetLine("A/A", "\n*EPIJ_Qual 302"))),
              (std::vector<PrintQuality>{PrintQuality::standard}));
    EXPECT_TRUE(Adapter::supportedQualities(PPDFile{}).empty());
    // The media, feed, ink and detection of a preset are the recipe's to decide, never the preset's.
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PLAIN", ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Mode", "1"}, {"EPIJ_Bi_D", "1"}}));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::high, "PLPP", ppd),
              (Settings{{"EPIJ_Qual", "303"}, {"EPIJ_Mode", "2"}, {"EPIJ_Bi_D", "0"}}));
    // No preset for velvet: the generic preset for any media ("0") is passed over for a later one.
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "VELV", ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Mode", "1"}, {"EPIJ_Bi_D", "1"}}));
    auto second =
        parse(presetLine("A/A", "\n*EPIJ_Qual 301") + presetLine("B/B", "\n*EPIJ_Medi PGPP\n*EPIJ_Qual 303"));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PGPP", second),
              (Settings{{"EPIJ_Qual", "303"}}));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PLAIN", second),
              (Settings{{"EPIJ_Qual", "301"}}));
    auto anyMedia = parse(presetLine("A/A", "\n*EPIJ_Medi 0\n*EPIJ_Qual 301") +
                          presetLine("B/B", "\n*EPIJ_Medi 0\n*EPIJ_Qual 302"));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "PLAIN", anyMedia),
              (Settings{{"EPIJ_Qual", "301"}}));
    auto emptyFirst = parse(presetLine("A/A", "") + presetLine("B/B", "\n*EPIJ_Medi 0\n*EPIJ_Qual 302"));
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::standard, "", emptyFirst), Settings{});
    // A custom quality starts from the first print mode that is not the automatic one.
    EXPECT_EQ(Adapter::qualitySettings(PrintQuality::custom, "ANY", ppd), (Settings{{"EPIJ_Mode", "1"}}));
    EXPECT_EQ(Adapter::advancedQualitySettings(
                  parse("*OpenUI *EPIJ_Mode: PickOne\n*EPIJ_Mode 0/Automatic: \"\"\n")),
              Settings{});

    // Feed weave has a single choice; the others of the eight detail keys are not in the file.
    Keys detailKeys;
    for (const auto& option : Adapter::detailedQualityOptions(ppd)) {
        detailKeys.push_back(option.keyword);
    }
    EXPECT_EQ(detailKeys, (Keys{"EPIJ_Qual", "EPIJ_Bi_D", "EPIJ_FDet", "EPIJ_Silt"}));
    auto details = [&](std::string media, PrintQuality quality, const PPDFile& on) {
        return Adapter::presetDetails(recipe(std::move(media), "A4", "STD", quality), on);
    };
    EXPECT_EQ(details("PLAIN", PrintQuality::standard, ppd),
              (Settings{{"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "1"}}));
    EXPECT_EQ(details("PGPP", PrintQuality::high, ppd),
              (Settings{{"EPIJ_Qual", "303"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_FDet", "1"}, {"EPIJ_Silt", "1"}}));
    EXPECT_EQ(details("PGPP", PrintQuality::custom, ppd), std::nullopt);
    EXPECT_EQ(details("PGPP", PrintQuality::high, PPDFile{}), std::nullopt);
    // The priority is the last part of the name looked up; without one, or with a name the machine data
    // lacks, an automatic preset has no details.
    for (auto [priority, expected] : {std::pair<const char*, std::optional<Settings>>{
                                          "1", Settings{{"EPIJ_Qual", "302"}, {"EPIJ_FDet", "0"}}},
                                      {"7", std::nullopt},
                                      {nullptr, std::nullopt}}) {
        PPDFile changed = ppd;
        for (auto& preset : changed.presets) {
            priority ? void(preset.settings["EPIJ_APri"] = priority)
                     : void(preset.settings.erase("EPIJ_APri"));
        }
        EXPECT_EQ(details("PGPP", PrintQuality::standard, changed), expected)
            << (priority ? priority : "none");
    }
    PPDFixture::MachineFolder none(TestSupport::fixture("machine/none"));
    EXPECT_EQ(details("PGPP", PrintQuality::standard, ppd), std::nullopt);
}

TEST_F(EpsonInkjet2AdapterTest, AQualityLabelNamesTheResolutionAndTheListGivesItBackOr720) {
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
            "*Resolution 600dpi/second of equals: \"\"\n*Resolution 1200x600dpi: \"\"\n*Resolution draft: "
            "\"\"\n");
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
