#include "PPDFixture.h"

#include "PrintKit/settings/EpsonMachineData.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace PrintKit;

namespace PPDFixture {

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
    PPDFile ppd = nlohmann::json::parse(TestSupport::readFile(TestSupport::fixture("ppd/qx-p900.json")));
    if (withJapanese) {
        for (auto& option : ppd.options) {
            if (option.keyword == "EPIJ_Medi") {
                option.localizedLabels["ja"] = "用紙種類";
                option.choices[1].localizedLabels["ja"] = "写真用紙クリスピア";
            }
        }
    }
    return ppd;
}

} // namespace PPDFixture
