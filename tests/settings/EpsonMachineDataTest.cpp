#include "PrintKit/settings/EpsonMachineData.h"

#include "PPDFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <vector>

using namespace PrintKit;
namespace Machine = PrintKit::EpsonMachineData;
using Table = Machine::AutoPresetTable;

namespace {

PPDFile ppdWithBundle(std::optional<std::string> bundle) {
    PPDFile ppd;
    if (bundle) {
        ppd.attributes["EPIJMachineBundleName"] = *bundle;
    }
    return ppd;
}

std::string dataText(const std::string& bundle) {
    return TestSupport::readFile(
        TestSupport::fixture("machine/" + bundle + "/Contents/Resources/PDEData.dat"));
}

void writeData(const std::filesystem::path& folder, const std::string& bundle, const std::string& text) {
    std::filesystem::create_directories(folder / bundle / "Contents/Resources");
    TestSupport::writeFile(folder / bundle / "Contents/Resources/PDEData.dat", text);
}

} // namespace

TEST(EpsonMachineDataTest, FindsTheDataFileByTheBundleNameNeverOutsideTheMachineFolder) {
    EXPECT_EQ(Machine::machineDirectory(),
              std::filesystem::path("/Library/Printers/EPSON/InkjetPrinter2/Machine"));
    {
        PPDFixture::MachineFolder machine;
        EXPECT_EQ(Machine::text(ppdWithBundle("SC-P900 Series")), dataText("SC-P900 Series"));
        EXPECT_EQ(Machine::text(ppdWithBundle("No Such Model")), std::nullopt);
    }
    TestSupport::TemporaryDirectory root;
    PPDFixture::MachineFolder machine(root / "Machine");
    // Data files that crafted names would reach: the folder's parent, and the folder itself.
    const std::string data =
        "*EPIJCustomPaperSizeRange: 1 2 3 4\n*EPIJPreset EPIJAutoPreset,X/x: \"\nEPIJ_Qual 1\"\n";
    writeData(root.path(), "Outside", data);
    writeData(root / "Machine", ".", data);
    for (const std::optional<std::string>& name : std::vector<std::optional<std::string>>{
             std::nullopt, "", "../Outside", "..", ".", "a/b", "/", std::string("..\0x", 4)}) {
        EXPECT_EQ(Machine::url(ppdWithBundle(name)), std::nullopt) << name.value_or("none");
        EXPECT_EQ(Machine::text(ppdWithBundle(name)), std::nullopt);
        EXPECT_TRUE(Machine::autoPresets(ppdWithBundle(name)).empty());
    }
}

TEST(EpsonMachineDataTest, ReadsTheFirstSizeRangeLineOnlyAndOfFiniteNumbers) {
    const std::pair<std::string, std::optional<PPDCustomSizeRange>> cases[] = {
        {dataText("SC-P900 Series"), PPDCustomSizeRange{89, 936, 127, 3240}},
        {"x\n\n*EPIJCustomPaperSizeRange:\"72\" \"72\"\"936\" \"1476\"\n",
         PPDCustomSizeRange{72, 936, 72, 1476}},
        {"*EPIJCustomPaperSizeRange: 72.5 -1 1e3 .5 words", PPDCustomSizeRange{72.5, 1000, -1, 0.5}},
        {dataText("Broken Range"), std::nullopt}, // five numbers, then a good line
        {"*EPIJCustomPaperSizeRange: 72 72 936\n*EPIJCustomPaperSizeRange: 72 72 936 1476\n", std::nullopt},
        {"*EPIJCustomPaperSizeRange:\t72\t72\t936\t1476", std::nullopt},
        {" *EPIJCustomPaperSizeRange: 72 72 936 1476", std::nullopt},
        {"*epijCustomPaperSizeRange: 72 72 936 1476", std::nullopt},
        {"*EPIJCustomPaperSizeRange: 72 72 936 inf", std::nullopt},
        {"*EPIJCustomPaperSizeRange: nan 72 72 936 1e999", std::nullopt},
        // A CR LF pair separates nothing: the range line runs on into the next.
        {"*EPIJCustomPaperSizeRange: 72 72 936 1476\r\n*Other: 1\r\n", std::nullopt},
    };
    for (const auto& [text, range] : cases) {
        EXPECT_EQ(Machine::customSizeRange(text), range) << text;
    }
}

TEST(EpsonMachineDataTest, ReadsClosedAutomaticPresetBlocks) {
    EXPECT_EQ(Machine::autoPresets(dataText("SC-P900 Series")),
              (Table{{"PGPP,1,0,0",
                      {{"EPIJ_Qual", "303"},
                       {"EPIJ_Bi_D", "1"},
                       {"EPIJ_FDet", "1"},
                       {"EPIJ_Mode", "0"},
                       {"EPIJ_Silt", "0"}}},
                     {"PGPP,3,0,0", {{"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_OvCt", "2"}}},
                     // Reopened by a second header; words after the second and lines not starting "EPIJ_" are
                     // passed over.
                     {"PGPP,1,0,1", {{"EPIJ_Qual", "302"}, {"EPIJ_FDet", "0"}}},
                     // A header without "/" names itself with the rest of the line.
                     {"PLAIN,1,0,0: \"", {{"EPIJ_Qual", "302"}}}}));
    EXPECT_EQ(Machine::autoPresets(dataText("Broken Range")),
              (Table{{"PLAIN,1,1,0", {{"EPIJ_Qual", "302"}}}}));
    // A later block of the same name replaces the earlier; a header is never read further and never closes.
    EXPECT_EQ(Machine::autoPresets("*EPIJPreset EPIJAutoPreset,A/x: \"\nEPIJ_Qual 1\nEPIJ_Bi_D 0\"\n"
                                   "*EPIJPreset EPIJAutoPreset,A/y: \"\nEPIJ_Qual 2\nEPIJ_Qual 3\"\n"
                                   "*EPIJPreset EPIJAutoPreset,B/z: \"EPIJ_Qual 4\"\n"),
              (Table{{"A", {{"EPIJ_Qual", "3"}}}}));
    // A CR LF pair separates nothing, so a file with such line ends is one line and holds no block.
    std::string crlf;
    for (char c : dataText("SC-P900 Series")) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    EXPECT_TRUE(Machine::autoPresets(crlf).empty());
    EXPECT_EQ(Machine::autoPresets("*EPIJPreset EPIJAutoPreset,A/x: \"\r\nEPIJ_Qual 1\nEPIJ_Bi_D 0\"\n"),
              (Table{{"A", {{"EPIJ_Bi_D", "0"}}}}));
}
