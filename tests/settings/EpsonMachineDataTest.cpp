#include "PrintKit/settings/EpsonMachineData.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace PrintKit;
namespace Machine = PrintKit::EpsonMachineData;

namespace {

PPDFile ppdWithBundle(std::optional<std::string> bundle) {
    PPDFile ppd;
    ppd.attributes["EPIJDriverSystem"] = "2";
    if (bundle) {
        ppd.attributes["EPIJMachineBundleName"] = *bundle;
    }
    return ppd;
}

std::string dataText(const std::string& bundle) {
    return TestSupport::readFile(
        TestSupport::fixture("machine/" + bundle + "/Contents/Resources/PDEData.dat"));
}

// Every test starts from the fixture folder and an empty cache, and leaves the process as it found it.
class EpsonMachineDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        original_ = Machine::machineDirectory();
        Machine::setMachineDirectory(TestSupport::fixture("machine"));
        Machine::clearCache();
    }
    void TearDown() override {
        Machine::setMachineDirectory(original_);
        Machine::clearCache();
    }

    static void writeData(const std::filesystem::path& folder, const std::string& bundle,
                          const std::string& text) {
        auto resources = folder / bundle / "Contents" / "Resources";
        std::filesystem::create_directories(resources);
        TestSupport::writeFile(resources / "PDEData.dat", text);
    }

private:
    std::filesystem::path original_;
};

const Machine::AutoPresetTable fixtureTable{
    {"PGPP,1,0,0",
     {{"EPIJ_Qual", "303"}, {"EPIJ_Bi_D", "1"}, {"EPIJ_FDet", "1"}, {"EPIJ_Mode", "0"}, {"EPIJ_Silt", "0"}}},
    {"PGPP,3,0,0", {{"EPIJ_Qual", "302"}, {"EPIJ_Bi_D", "0"}, {"EPIJ_OvCt", "2"}}},
    {"PGPP,1,0,1", {{"EPIJ_Qual", "302"}, {"EPIJ_FDet", "0"}}},
    {"PLAIN,1,0,0: \"",
     {{"EPIJ_Qual", "302"}}}, // a header without "/" names itself with the rest of the line
};

} // namespace

TEST_F(EpsonMachineDataTest, KeepsTheDriverFolderByDefault) {
    Machine::setMachineDirectory("/Library/Printers/EPSON/InkjetPrinter2/Machine");
    EXPECT_EQ(Machine::url(ppdWithBundle("SC-P900 Series")),
              std::filesystem::path("/Library/Printers/EPSON/InkjetPrinter2/Machine/SC-P900 Series/Contents/"
                                    "Resources/PDEData.dat"));
}

TEST_F(EpsonMachineDataTest, FindsTheDataFileByTheBundleName) {
    EXPECT_EQ(Machine::url(ppdWithBundle("SC-P900 Series")),
              TestSupport::fixture("machine") / "SC-P900 Series/Contents/Resources/PDEData.dat");
    EXPECT_EQ(Machine::url(ppdWithBundle(std::nullopt)), std::nullopt);
    EXPECT_EQ(Machine::url(ppdWithBundle("")), std::nullopt);
    EXPECT_EQ(Machine::text(ppdWithBundle("SC-P900 Series")), dataText("SC-P900 Series"));
    EXPECT_EQ(Machine::text(ppdWithBundle("No Such Model")), std::nullopt);
    EXPECT_EQ(Machine::text(ppdWithBundle(std::nullopt)), std::nullopt);
}

TEST_F(EpsonMachineDataTest, ABundleNameNeverLeadsOutOfTheMachineFolder) {
    TestSupport::TemporaryDirectory root;
    std::filesystem::create_directory(root / "Machine");
    Machine::setMachineDirectory(root / "Machine");
    // Data files that crafted names would reach: the folder's parent, and the folder itself.
    writeData(root.path(), "Outside", "*EPIJCustomPaperSizeRange: 1 2 3 4\n");
    std::filesystem::create_directories(root / "Machine" / "Contents" / "Resources");
    TestSupport::writeFile(
        root / "Machine" / "Contents" / "Resources" / "PDEData.dat",
        "*EPIJCustomPaperSizeRange: 1 2 3 4\n*EPIJPreset EPIJAutoPreset,X/x: \"\nEPIJ_Qual 1\"\n");
    for (const std::string& name :
         std::vector<std::string>{"../Outside", "..", ".", "a/b", "/", std::string("..\0x", 4)}) {
        auto ppd = ppdWithBundle(name);
        EXPECT_EQ(Machine::url(ppd), std::nullopt) << name;
        EXPECT_EQ(Machine::text(ppd), std::nullopt) << name;
        EXPECT_TRUE(Machine::autoPresets(ppd).empty()) << name;
    }
}

TEST_F(EpsonMachineDataTest, ReadsTheFirstSizeRangeLine) {
    EXPECT_EQ(Machine::customSizeRange(dataText("SC-P900 Series")), (PPDCustomSizeRange{89, 936, 127, 3240}));
    EXPECT_EQ(Machine::customSizeRange("*EPIJCustomPaperSizeRange: 72 72 936 1476"),
              (PPDCustomSizeRange{72, 936, 72, 1476}));
    EXPECT_EQ(Machine::customSizeRange("x\n\n*EPIJCustomPaperSizeRange:\"72\" \"72\"\"936\" \"1476\"\n"),
              (PPDCustomSizeRange{72, 936, 72, 1476}));
    EXPECT_EQ(Machine::customSizeRange("*EPIJCustomPaperSizeRange: 72.5 -1 1e3 .5 words"),
              (PPDCustomSizeRange{72.5, 1000, -1, 0.5}));
}

TEST_F(EpsonMachineDataTest, AMalformedSizeRangeLineGivesNone) {
    EXPECT_EQ(Machine::customSizeRange(dataText("Broken Range")),
              std::nullopt); // five numbers, then a good line
    EXPECT_EQ(Machine::customSizeRange("*EPIJCustomPaperSizeRange: 72 72 936\n"
                                       "*EPIJCustomPaperSizeRange: 72 72 936 1476\n"),
              std::nullopt);
    EXPECT_EQ(Machine::customSizeRange("*EPIJCustomPaperSizeRange:\t72\t72\t936\t1476"), std::nullopt);
    EXPECT_EQ(Machine::customSizeRange(" *EPIJCustomPaperSizeRange: 72 72 936 1476"), std::nullopt);
    EXPECT_EQ(Machine::customSizeRange("*epijCustomPaperSizeRange: 72 72 936 1476"), std::nullopt);
    EXPECT_EQ(Machine::customSizeRange(""), std::nullopt);
    // Non-finite values are no numbers: they never reach a size range.
    EXPECT_EQ(Machine::customSizeRange("*EPIJCustomPaperSizeRange: 72 72 936 inf"), std::nullopt);
    EXPECT_EQ(Machine::customSizeRange("*EPIJCustomPaperSizeRange: nan 72 72 936 1e999"), std::nullopt);
}

TEST_F(EpsonMachineDataTest, ReadsClosedAutomaticPresetBlocks) {
    EXPECT_EQ(Machine::autoPresets(dataText("SC-P900 Series")), fixtureTable);
    EXPECT_EQ(Machine::autoPresets(dataText("Broken Range")),
              (Machine::AutoPresetTable{{"PLAIN,1,1,0", {{"EPIJ_Qual", "302"}}}}));
    EXPECT_TRUE(Machine::autoPresets("").empty());
}

TEST_F(EpsonMachineDataTest, ALaterBlockOfTheSameNameReplacesTheEarlier) {
    auto table = Machine::autoPresets("*EPIJPreset EPIJAutoPreset,A/x: \"\nEPIJ_Qual 1\nEPIJ_Bi_D 0\"\n"
                                      "*EPIJPreset EPIJAutoPreset,A/y: \"\nEPIJ_Qual 2\nEPIJ_Qual 3\"\n"
                                      "*EPIJPreset EPIJAutoPreset,B/z: \"EPIJ_Qual 4\"\n");
    // B's header line holds its only setting, but a header is never read further and never closes.
    EXPECT_EQ(table, (Machine::AutoPresetTable{{"A", {{"EPIJ_Qual", "3"}}}}));
}

TEST_F(EpsonMachineDataTest, CarriageReturnLineEndsJoinTheWholeFile) {
    // A CR LF pair separates nothing, so such a file is one line and holds no preset blocks.
    std::string text = dataText("SC-P900 Series");
    std::string crlf;
    for (char c : text) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    EXPECT_TRUE(Machine::autoPresets(crlf).empty());
    EXPECT_EQ(Machine::customSizeRange("*EPIJCustomPaperSizeRange: 72 72 936 1476\r\n*Other: 1\r\n"),
              std::nullopt);
    // A line feed without a carriage return still separates: here the CR LF only joins the first setting
    // to the header line, where it is not read.
    EXPECT_EQ(Machine::autoPresets("*EPIJPreset EPIJAutoPreset,A/x: \"\r\nEPIJ_Qual 1\nEPIJ_Bi_D 0\"\n"),
              (Machine::AutoPresetTable{{"A", {{"EPIJ_Bi_D", "0"}}}}));
}

TEST_F(EpsonMachineDataTest, ReplacesBytesThatAreNotUtf8) {
    TestSupport::TemporaryDirectory root;
    Machine::setMachineDirectory(root.path());
    writeData(root.path(), "Model", "*EPIJPreset EPIJAutoPreset,M\xFF/x: \"\nEPIJ_Qual 30\xC0\"\n");
    EXPECT_EQ(Machine::autoPresets(ppdWithBundle("Model")),
              (Machine::AutoPresetTable{{"M\xEF\xBF\xBD", {{"EPIJ_Qual", "30\xEF\xBF\xBD"}}}}));
}

TEST_F(EpsonMachineDataTest, CachesEachFileForTheProcess) {
    TestSupport::TemporaryDirectory root;
    Machine::setMachineDirectory(root.path());
    writeData(root.path(), "Model", "*EPIJPreset EPIJAutoPreset,A/x: \"\nEPIJ_Qual 1\"\n");
    auto ppd = ppdWithBundle("Model");
    Machine::AutoPresetTable first{{"A", {{"EPIJ_Qual", "1"}}}};
    EXPECT_EQ(Machine::autoPresets(ppd), first);

    writeData(root.path(), "Model", "*EPIJPreset EPIJAutoPreset,B/x: \"\nEPIJ_Qual 2\"\n");
    EXPECT_EQ(Machine::autoPresets(ppd), first); // the file changed; the table did not
    // The size range is read afresh on every call.
    writeData(root.path(), "Model", "*EPIJCustomPaperSizeRange: 1 2 3 4\n");
    EXPECT_EQ(Machine::customSizeRange(*Machine::text(ppd)), (PPDCustomSizeRange{1, 3, 2, 4}));

    // A file that is missing is remembered as empty, even after it appears.
    auto later = ppdWithBundle("Later");
    EXPECT_TRUE(Machine::autoPresets(later).empty());
    writeData(root.path(), "Later", "*EPIJPreset EPIJAutoPreset,C/x: \"\nEPIJ_Qual 3\"\n");
    EXPECT_TRUE(Machine::autoPresets(later).empty());

    Machine::clearCache();
    EXPECT_EQ(Machine::autoPresets(later), (Machine::AutoPresetTable{{"C", {{"EPIJ_Qual", "3"}}}}));
    EXPECT_TRUE(Machine::autoPresets(ppd).empty()); // re-read: the file now holds no preset
}

TEST_F(EpsonMachineDataTest, ConcurrentCallersShareOneReading) {
    auto ppd = ppdWithBundle("SC-P900 Series");
    std::vector<Machine::AutoPresetTable> results(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] { results[i] = Machine::autoPresets(ppd); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& table : results) {
        EXPECT_EQ(table, fixtureTable);
    }
}
