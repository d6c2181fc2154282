#include "PrintKit/settings/EpsonInkjet2Adapter.h"

#include "GermanLocale.h"
#include "PPDFixture.h"
#include "TestSupport.h"
#include "Thrown.h"

#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;
namespace Adapter = PrintKit::EpsonInkjet2Adapter;
using PPDFixture::recipe;
using Keys = std::vector<std::string>;

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

// The machine folder of these tests: the fixture's data, whose size range narrows the PPD's.
class EpsonInkjet2AdapterTest : public ::testing::Test {
protected:
    PPDFixture::MachineFolder machine;
    PPDFile ppd = PPDFixture::load();
};

} // namespace

TEST_F(EpsonInkjet2AdapterTest, SheetsAreThePageSizesTheDriverListsByLabel) {
    EXPECT_TRUE(Adapter::supports(ppd));
    PPDFile other = ppd;
    other.attributes.erase("EPIJDriverSystem");
    EXPECT_FALSE(Adapter::supports(other));

    // Env10 is not in the driver's size list; the dotted keys are source variants.
    EXPECT_EQ(keys(Adapter::sheets(ppd)), (Keys{"A4", "Letter", "A3", "4x6", "Postcard"}));
    auto small =
        PPDFile::parse("*PPD-Adobe: \"4.3\"\n*OpenUI *PageSize: PickOne\n*PageSize A4/A4: \"\"\n"
                       "*PageSize Legal/Legal: \"\"\n*PageSize A4.x/A4: \"\"\n"
                       "*OpenUI *EPIJ_Size: PickOne\n*EPIJ_Size 1/A4: \"\"\n*EPIJ_Size 2/Letter: \"\"\n",
                       "t", std::nullopt);
    EXPECT_EQ(keys(Adapter::sheets(small)), (Keys{"A4"}));
}

TEST_F(EpsonInkjet2AdapterTest, ASheetAndSourceGiveTheirPage) {
    const std::tuple<const char*, const char*, const char*> pages[] = {
        {"A4", "STD", "A4"},
        {"A4", "REAR", "A4.Rear"},
        {"A4", "SFBL", "A4.Borderless"},
        {"A4", "ROLL", "A4.Roll"},
        {"Letter", "SFBL", "Letter.Borderless"},
    };
    for (const auto& [sheet, source, name] : pages) {
        EXPECT_EQ(Adapter::pageSize(sheet, source, ppd), *ppd.pageSize(name));
    }
    EXPECT_EQ(keys(Adapter::sources("A4", ppd)), (Keys{"STD", "REAR", "SFBL", "ROLL"}));
    EXPECT_EQ(keys(Adapter::sources(recipe("PLAIN", "Letter", "STD", PrintQuality::standard), ppd)),
              (Keys{"STD", "SFBL"}));
    EXPECT_TRUE(Adapter::sources("Postcard", ppd).empty()); // its choice has no dimensions
    EXPECT_TRUE(Adapter::sources("B9", ppd).empty());
    // A custom size takes the sources that are no borderless, roll or disc feed.
    EXPECT_EQ(keys(Adapter::sources(customRecipe(300, 400), ppd)), (Keys{"STD", "REAR"}));
    for (const char* fixed : {"Roll Paper", "Borderless Tray", "Disc Tray", "CD/DVD"}) {
        EXPECT_FALSE(Adapter::isCustomSource({"1", fixed, {}})) << fixed;
    }
    EXPECT_TRUE(Adapter::isCustomSource({"1", "roll feeder", {{"ko", "롤"}}}));
}

TEST_F(EpsonInkjet2AdapterTest, ReportsTheFirstFailingPageCheck) {
    expectFailure<DriverAdapterError>([&] { Adapter::pageSize("B9", "XX", ppd); },
                                      DriverAdapterErrorCode::unknownSheet,
                                      "드라이버에 없는 용지 크기입니다: B9");
    expectFailure<DriverAdapterError>([&] { Adapter::pageSize("A4", "XX", ppd); },
                                      DriverAdapterErrorCode::unknownSource,
                                      "드라이버에 없는 급지 방식입니다: XX");
    expectFailure<DriverAdapterError>([&] { Adapter::pageSize("Letter", "REAR", ppd); },
                                      DriverAdapterErrorCode::sheetNotAvailable,
                                      "Letter 용지는 이 급지 방식(REAR)으로 인쇄할 수 없습니다");
    EXPECT_EQ(thrown<DriverAdapterError>([&] { Adapter::pageSize("Postcard", "STD", ppd); })->code(),
              DriverAdapterErrorCode::sheetNotAvailable);
}

TEST_F(EpsonInkjet2AdapterTest, TheCustomSizeRangeIsThePPDsNarrowedByTheMachineData) {
    EXPECT_EQ(Adapter::customSizeRange(ppd), (PPDCustomSizeRange{89, 936, 127, 3240}));
    {
        PPDFixture::MachineFolder noMachineData(TestSupport::fixture("machine/none"));
        EXPECT_EQ(Adapter::customSizeRange(ppd), (PPDCustomSizeRange{72, 1000, 72, 3240}));
    }
    {
        // The intersection is not checked for emptiness.
        TestSupport::TemporaryDirectory folder;
        std::filesystem::create_directories(folder / "SC-P900 Series" / "Contents" / "Resources");
        TestSupport::writeFile(folder / "SC-P900 Series" / "Contents" / "Resources" / "PDEData.dat",
                               "*EPIJCustomPaperSizeRange: 2000 10 3000 20\n");
        PPDFixture::MachineFolder machineData(folder.path());
        EXPECT_EQ(Adapter::customSizeRange(ppd), (PPDCustomSizeRange{2000, 1000, 72, 20}));
    }
    // Without a range of its own the PPD takes no custom sizes, whatever the machine data says.
    PPDFile noRange = ppd;
    noRange.customSizeRange.reset();
    EXPECT_EQ(Adapter::customSizeRange(noRange), std::nullopt);
    expectFailure<DriverAdapterError>([&] { Adapter::pageSize(customRecipe(300, 400), noRange); },
                                      DriverAdapterErrorCode::customSizeNotSupported,
                                      "이 프린터 드라이버는 사용자 지정 크기를 받지 않습니다");
}

TEST_F(EpsonInkjet2AdapterTest, StandardMarginsComeFromTheA4Page) {
    EXPECT_EQ(Adapter::standardMargins(ppd), (Margins{13, 8.5, 9, 8.5}));
    PPDFile noA4 = ppd;
    std::erase_if(noA4.pageSizes, [](const PPDPageSize& page) { return page.name == "A4"; });
    noA4.pageSizes[0].imageableArea = std::vector<double>{10, 20, 600, 770}; // Letter, the first sheet
    EXPECT_EQ(Adapter::standardMargins(noA4), (Margins{22, 10, 20, 12}));
    // No area, or one of the wrong length from a model read from elsewhere, counts as none.
    PPDFile noArea = ppd;
    noArea.pageSizes[0].imageableArea.reset();
    PPDFile shortArea = ppd;
    shortArea.pageSizes[0].imageableArea = std::vector<double>{1, 2, 3};
    for (const PPDFile& without : {noArea, shortArea, PPDFile{}}) {
        EXPECT_EQ(Adapter::standardMargins(without), Margins::all(8.4));
    }
}

TEST_F(EpsonInkjet2AdapterTest, ACustomSheetGetsAPageOfItsOwnWhateverTheLocale) {
    EXPECT_EQ(
        Adapter::pageSize(customRecipe(300, 400, "REAR"), ppd),
        (PPDPageSize{
            "Custom.300.00x400.00", "사용자 지정", {}, 300, 400, std::vector<double>{8.5, 9, 291.5, 387}}));
    GermanLocale german;
    if (!german.active()) {
        GTEST_SKIP() << "de_DE.UTF-8 is not generated on this machine";
    }
    EXPECT_EQ(Adapter::pageSize(customRecipe(283.46456692913387, 419.5275590551181), ppd).name,
              "Custom.283.46x419.53");
    EXPECT_EQ(thrown<DriverAdapterError>([&] { Adapter::pageSize(customRecipe(80, 400), ppd); })->message(),
              "이 프린터는 폭 31.4–330.2mm, 길이 45–1143mm 용지까지 인쇄할 수 있습니다");
}

TEST_F(EpsonInkjet2AdapterTest, RefusesCustomSizesOnFixedSizeSources) {
    expectFailure<DriverAdapterError>(
        [&] { Adapter::pageSize(customRecipe(300, 400, "SFBL"), ppd); },
        DriverAdapterErrorCode::customSourceNotAllowed,
        "사용자 지정 크기는 '시트 피더 - 테두리 없음' 급지로 인쇄할 수 없습니다. 일반 급지를 고르세요");
    EXPECT_EQ(
        thrown<DriverAdapterError>([&] { Adapter::pageSize(customRecipe(300, 400, "NOPE"), ppd); })->code(),
        DriverAdapterErrorCode::unknownSource);
}

TEST_F(EpsonInkjet2AdapterTest, CustomSizesStayWithinTheRangeGivenATolerance) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    const std::string narrowed = "이 프린터는 폭 31.4–330.2mm, 길이 45–1143mm 용지까지 인쇄할 수 있습니다";
    EXPECT_NO_THROW(Adapter::pageSize(customRecipe(936, 127), ppd));
    for (auto size : std::vector<CustomSheetSize>{
             {88.9, 400}, {300, 126.9}, {nan, 400}, {300, nan}, {inf, 400}, {-inf, 400}}) {
        auto error = thrown<DriverAdapterError>(
            [&] { Adapter::pageSize(customRecipe(size.width, size.height), ppd); });
        ASSERT_TRUE(error) << size.width << " x " << size.height;
        EXPECT_EQ(error->code(), DriverAdapterErrorCode::customSizeOutOfRange);
        EXPECT_EQ(error->range(), (PPDCustomSizeRange{89, 936, 127, 3240}));
        EXPECT_EQ(error->message(), narrowed);
    }

    PPDFixture::MachineFolder noMachineData(TestSupport::fixture("machine/none"));
    EXPECT_NO_THROW(Adapter::pageSize(customRecipe(71.95, 400), ppd));
    EXPECT_NO_THROW(Adapter::pageSize(customRecipe(1000.05, 3240.05), ppd));
    EXPECT_THROW(Adapter::pageSize(customRecipe(300, 3240.06), ppd), DriverAdapterError);
    EXPECT_EQ(
        thrown<DriverAdapterError>([&] { Adapter::pageSize(customRecipe(71.94, 400), ppd); })->message(),
        "이 프린터는 폭 25.4–352.8mm, 길이 25–1143mm 용지까지 인쇄할 수 있습니다");
}
