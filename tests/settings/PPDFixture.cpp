#include "PPDFixture.h"

#include "PrintKit/settings/EpsonMachineData.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace PrintKit;

namespace PPDFixture {

namespace {

PPDChoice choice(std::string key, std::string label, LocalizedLabels localized = {}) {
    return {std::move(key), std::move(label), std::move(localized)};
}

PPDOption option(std::string keyword, std::string label, LocalizedLabels localized, std::string uiType,
                 std::string group, std::optional<std::string> defaultChoice, std::optional<double> order,
                 std::vector<PPDChoice> choices) {
    return {keyword, label, localized, uiType, group, defaultChoice, order, choices};
}

PPDPageSize page(std::string name, std::string label, LocalizedLabels localized, double width, double height,
                 std::vector<double> area) {
    return {name, label, localized, width, height, area};
}

} // namespace

std::string path() {
    return TestSupport::fixture("ppd/qx-p900.ppd").string();
}

std::string bytes() {
    return TestSupport::readFile(path());
}

PPDFile load() {
    return PPDFile::load(path(), LanguageSet{"ko"});
}

PaperRecipe recipe(std::string media, std::string sheet, std::string source, PrintQuality quality,
                   InkMode ink, ColorManagement color, std::optional<CustomSheetSize> customSheet,
                   std::map<std::string, std::string> driverOverrides) {
    return PaperRecipe::make("Test", PrinterReference{"Photo", "EPSON SC-P900 Series"}, std::move(media),
                             std::move(sheet), customSheet, std::move(source), quality, ink, std::move(color),
                             std::nullopt, std::move(driverOverrides), "");
}

ColorManagement appColor() {
    return ColorManagement::application(
        ProfileReference("/profiles/Glossy.icc", "Glossy", std::string(32, '0')),
        RenderingIntent::relativeColorimetric, true);
}

std::string listed(const std::vector<PrintOption>& options) {
    std::string out;
    for (const auto& option : options) {
        out += (out.empty() ? "" : " ") + option.key + "=" + option.value;
    }
    return out;
}

MachineFolder::MachineFolder() : MachineFolder(TestSupport::fixture("machine")) {}

MachineFolder::MachineFolder(const std::filesystem::path& folder)
    : original_(EpsonMachineData::machineDirectory()) {
    EpsonMachineData::setMachineDirectory(folder);
    EpsonMachineData::clearCache();
}

MachineFolder::~MachineFolder() {
    EpsonMachineData::setMachineDirectory(original_);
    EpsonMachineData::clearCache();
}

void expectSameModel(const PPDFile& actual, const PPDFile& expected) {
    EXPECT_TRUE(actual == expected);
    if (actual != expected) { // the JSON forms, line by line, show where the two differ
        EXPECT_EQ(nlohmann::json(actual).dump(1), nlohmann::json(expected).dump(1));
    }
}

PPDFile expectedModel(bool withJapanese) {
    PPDFile ppd;
    ppd.manufacturer = "EPSON";
    ppd.modelName = "EPSON SC-P900 Series";
    ppd.nickName = "EPSON SC-P900 Series";
    ppd.attributes = {
        {"PPD-Adobe", "4.3"},
        {"FormatVersion", "4.3"},
        {"FileVersion", "1.2.0"},
        {"LanguageVersion", "English"},
        {"LanguageEncoding", "ISOLatin1"},
        {"PCFileName", "QXP900.PPD"},
        {"Product", "(SC-P900 Series)"},
        {"ShortNickName", "EPSON SC-P900"},
        {"PSVersion", "(3010.000) 0"},
        {"cupsVersion", "2.4"},
        {"cupsLanguages", "ko ja"},
        {"EPIJDriverSystem", "2"},
        {"EPIJMachineBundleName", "SC-P900 Series"},
        {"ColorDevice", "True"},
        {"VariablePaperSize", "True"},
        {"MaxMediaWidth", "1000"},
        {"MaxMediaHeight", "3240"},
        {"HWMargins", "0 0 0 0"},
    };
    ppd.filters = {"application/vnd.cups-raster 0 /usr/lib/cups/filter/quilmtest-raster",
                   "application/vnd.cups-raster application/vnd.quilmtest-inkjet 100 quilmtest-raster"};
    ppd.preFilters = {"application/pdf 0 quilmtest-prefilter"};

    LocalizedLabels mediaLabels{{"ko", "용지 종류"}};
    LocalizedLabels glossyLabels{{"ko", "프리미엄 광택 사진 용지"}};
    if (withJapanese) {
        mediaLabels["ja"] = "用紙種類";
        glossyLabels["ja"] = "写真用紙クリスピア";
    }

    ppd.options = {
        option("EPIJ_Roll", "Roll Paper Unit", {{"ko", "롤용지 장치"}}, "Boolean", "InstallableOptions",
               "False", std::nullopt,
               {choice("False", "Not Installed", {{"ko", "설치 안 됨"}}),
                choice("True", "Installed", {{"ko", "설치됨"}})}),
        option("PageSize", "Media Size", {{"ko", "용지 크기"}}, "PickOne", "General", "A4", 10,
               {choice("A4", "A4"), choice("Letter", "Letter"), choice("A3", "A3"),
                choice("4x6", "4 x 6 in", {{"ko", "4 x 6 인치"}}),
                choice("Postcard", "Postcard", {{"ko", "엽서"}}), choice("Env10", "Envelope #10"),
                choice("A4.Rear", "A4 (Rear Paper Feed)", {{"ko", "A4 (후면 급지)"}}),
                choice("A4.Borderless", "A4 (Sheet Feeder - Borderless)",
                       {{"ko", "A4 (시트 피더 - 테두리 없음)"}}),
                choice("Letter.Borderless", "Letter (Sheet Feeder - Borderless)"),
                choice("A4.Roll", "A4 (Roll Paper)")}),
        option("PageRegion", "Media Size", {}, "PickOne", "General", "A4", 10,
               {choice("A4", "A4"), choice("Letter", "Letter"), choice("A3", "A3"), choice("4x6", "4 x 6 in"),
                choice("A4.Rear", "A4 (Rear Paper Feed)"),
                choice("A4.Borderless", "A4 (Sheet Feeder - Borderless)")}),
        option("EPIJ_Size", "Paper Size", {{"ko", "용지 크기"}}, "PickOne", "General", "1", 12,
               {choice("1", "A4"), choice("2", "Letter"), choice("3", "A3"), choice("4", "4 x 6 in"),
                choice("5", "Postcard")}),
        option("EPIJ_PSrc", "Paper Source", {{"ko", "급지 방식"}}, "PickOne", "General", "STD", 20,
               {choice("STD", "Standard", {{"ko", "표준"}}),
                choice("REAR", "Rear Paper Feed", {{"ko", "후면 급지"}}),
                choice("SFBL", "Sheet Feeder - Borderless", {{"ko", "시트 피더 - 테두리 없음"}}),
                choice("ROLL", "Roll Paper", {{"ko", "롤 용지"}})}),
        option("EPIJ_Medi", "Media Type", mediaLabels, "PickOne", "General", "PLAIN", 20,
               {choice("PLAIN", "Plain Paper", {{"ko", "보통 용지"}}),
                choice("PGPP", "Premium Glossy Photo Paper", glossyLabels),
                choice("PLPP", "Premium Luster Photo Paper"),
                choice("VELV", "Velvet Fine Art Paper (250 g/m²)", {{"ko", "벨벳 파인 아트 용지"}})}),
        option("MediaType", "Media Type", {}, "PickOne", "General", "PLAIN", std::nullopt,
               {choice("PLAIN", "Plain Paper"), choice("PGPP", "Premium Glossy Photo Paper")}),
        option("Resolution", "Resolution", {{"ko", "해상도"}}, "PickOne", "General", "720x720dpi", 25,
               {choice("360x360dpi", "360 dpi"), choice("720x720dpi", "720 dpi"),
                choice("1440x720dpi", "1440 x 720 dpi")}),
        option("EPIJ_Qual", "Print Quality", {{"ko", "인쇄 품질"}}, "PickOne", "General", "302", 30,
               {choice("301", "Speed - 360dpi", {{"ko", "빠르게 - 360dpi"}}),
                choice("302", "Normal - 720dpi", {{"ko", "표준 - 720dpi"}}),
                choice("303", "Fine - 1440dpi", {{"ko", "정밀 - 1440dpi"}}),
                choice("304", "Economy - 300dpi"), choice("305", "Photo - 720DPI")}),
        option("EPIJ_Mode", "Print Mode", {{"ko", "모드"}}, "PickOne", "General", "1", std::nullopt,
               {choice("0", "Automatic", {{"ko", "자동"}}),
                choice("1", "Standard Mode", {{"ko", "일반 모드"}}),
                choice("2", "Fine Mode", {{"ko", "세밀 모드"}})}),
        option("EPIJ_APri", "Automatic Priority", {}, "PickOne", "General", "0", std::nullopt,
               {choice("0", "Quality"), choice("1", "Speed")}),
        option("EPIJ_Ink_", "Ink", {{"ko", "잉크"}}, "PickOne", "General", "1", 5,
               {choice("1", "Color", {{"ko", "컬러"}}),
                choice("3", "Advanced B&W Photo", {{"ko", "고급 흑백 사진"}})}),
        option("EPIJ_IsMedAut", "Automatic Media Detection", {}, "Boolean", "General", "0", 30,
               {choice("0", "Off"), choice("1", "On")}),
        option("EPIJ_FdSo", "Feed Adjustment", {}, "PickOne", "General", "0", 30,
               {choice("0", "Standard"), choice("1", "Thick Paper")}),
        option("EPIJ_CMat", "Color Adjustment", {{"ko", "색상 조정"}}, "PickOne", "General", "0", 40,
               {choice("0", "Color Controls"), choice("1", "Off (No Color Adjustment)"), choice("2", "ICM")}),
        option("EPIJ_Bi_D", "Bidirectional Printing", {{"ko", "양방향 인쇄"}}, "Boolean", "EPIJ_Detail", "1",
               std::nullopt, {choice("0", "Off", {{"ko", "끔"}}), choice("1", "On", {{"ko", "켬"}})}),
        option("EPIJ_FDet", "Finest Detail", {{"ko", "정밀 디테일"}}, "Boolean", "EPIJ_Detail", "0",
               std::nullopt, {choice("0", "Off"), choice("1", "On")}),
        option("EPIJ_FWea", "Feed Weave", {}, "PickOne", "EPIJ_Detail", "0", std::nullopt,
               {choice("0", "Standard")}),
        option("EPIJ_Silt", "Quiet Mode", {{"ko", "저소음 모드"}}, "Boolean", "EPIJ_Detail", "0",
               std::nullopt, {choice("0", "Off"), choice("1", "On")}),
    };

    ppd.pageSizes = {
        page("A4", "A4", {}, 595, 842, {8.5, 9, 586.5, 829}),
        page("Letter", "Letter", {}, 612, 792, {8.5, 9, 603.5, 779}),
        page("A3", "A3", {}, 842, 1191, {8.5, 9, 833.5, 1178}),
        page("4x6", "4 x 6 in", {{"ko", "4 x 6 인치"}}, 288, 432, {8.5, 9, 279.5, 419}),
        page("Env10", "Envelope #10", {}, 297, 684, {8.5, 42.5, 288.5, 675.5}),
        page("A4.Rear", "A4 (Rear Paper Feed)", {{"ko", "A4 (후면 급지)"}}, 595, 842,
             {8.5, 42.5, 586.5, 799.5}),
        page("A4.Borderless", "A4 (Sheet Feeder - Borderless)", {{"ko", "A4 (시트 피더 - 테두리 없음)"}}, 595,
             842, {0, 0, 595, 842}),
        page("Letter.Borderless", "Letter (Sheet Feeder - Borderless)", {}, 612, 792, {0, 0, 612, 792}),
        page("A4.Roll", "A4 (Roll Paper)", {}, 595, 842, {8.5, 0, 586.5, 842}),
    };

    ppd.colorProfiles = {
        {"PGPP..1440x720dpi", "Premium Glossy Photo Paper",
         "/Library/Printers/EPSON/InkjetPrinter2/ICCProfiles/SC-P900 Premium Glossy.icc"},
        {"VELV..1440x720dpi", "벨벳 Fine Art",
         "/Library/Printers/EPSON/InkjetPrinter2/ICCProfiles/SC-P900 Velvet Fine Art.icc"},
    };

    ppd.presets = {
        {"Mid_Generic", "Standard", {{"EPIJ_Medi", "0"}, {"EPIJ_Qual", "301"}, {"EPIJ_Mode", "1"}}, "mid"},
        {"Mid_Plain",
         "Plain Paper - Standard",
         {{"EPIJ_Medi", "PLAIN"},
          {"EPIJ_Qual", "302"},
          {"EPIJ_Mode", "1"},
          {"EPIJ_FdSo", "1"},
          {"EPIJ_Ink_", "1"},
          {"EPIJ_IsMedAut", "1"},
          {"EPIJ_Bi_D", "1"}},
         "mid"},
        {"Mid_Photo",
         "Premium Glossy - Standard",
         {{"EPIJ_Medi", "PGPP"}, {"EPIJ_Mode", "0"}, {"EPIJ_APri", "0"}},
         "mid"},
        {"High_Photo",
         "Premium Glossy - High Quality",
         {{"EPIJ_Medi", "PGPP"},
          {"EPIJ_Qual", "303"},
          {"EPIJ_Mode", "2"},
          {"EPIJ_Bi_D", "0"},
          {"EPIJ_FDet", "1"},
          {"EPIJ_FdSo", "1"},
          {"EPIJ_Silt", "1"}},
         "high"},
        {"High_Luster",
         "Premium Luster - High Quality",
         {{"EPIJ_Medi", "PLPP"}, {"EPIJ_Qual", "303"}, {"EPIJ_Mode", "2"}, {"EPIJ_Bi_D", "0"}},
         "high"},
        {"Plain_Draft", "Plain Paper - Draft", {{"EPIJ_Medi", "PLAIN"}, {"EPIJ_Qual", "301"}}, std::nullopt},
    };

    ppd.customSizeRange = PPDCustomSizeRange{72, 1000, 72, 3240};
    return ppd;
}

} // namespace PPDFixture
