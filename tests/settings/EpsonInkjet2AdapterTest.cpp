#include "PrintKit/settings/EpsonInkjet2Adapter.h"

#include "PPDFixture.h"
#include "TestSupport.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace PrintKit;
namespace Adapter = PrintKit::EpsonInkjet2Adapter;
using PPDFixture::recipe;

namespace {

std::vector<std::string> keys(const std::vector<PPDChoice>& choices) {
    std::vector<std::string> result;
    for (const auto& choice : choices) {
        result.push_back(choice.key);
    }
    return result;
}

template <typename F> DriverAdapterError adapterError(F&& work) {
    try {
        work();
    } catch (const DriverAdapterError& error) {
        return error;
    }
    ADD_FAILURE() << "no DriverAdapterError was thrown";
    return DriverAdapterError::customSizeNotSupported();
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

TEST_F(EpsonInkjet2AdapterTest, SupportsQueuesThatNameTheDriverSystem) {
    EXPECT_TRUE(Adapter::supports(ppd));
    PPDFile empty = ppd;
    empty.attributes["EPIJDriverSystem"] = "";
    EXPECT_TRUE(Adapter::supports(empty));
    PPDFile other = ppd;
    other.attributes.erase("EPIJDriverSystem");
    EXPECT_FALSE(Adapter::supports(other));
    EXPECT_FALSE(Adapter::supports(PPDFile{}));
}

TEST_F(EpsonInkjet2AdapterTest, SheetsAreThePageSizesTheDriverListsByLabel) {
    // Env10 is not in the driver's size list; the dotted keys are source variants.
    EXPECT_EQ(keys(Adapter::sheets(ppd)),
              (std::vector<std::string>{"A4", "Letter", "A3", "4x6", "Postcard"}));

    auto small =
        PPDFile::parse("*PPD-Adobe: \"4.3\"\n*OpenUI *PageSize: PickOne\n*PageSize A4/A4: \"\"\n"
                       "*PageSize A4.Roll/A4 (Roll Paper): \"\"\n*PageSize Legal/Legal: \"\"\n"
                       "*PageSize A4.x/A4: \"\"\n*OpenUI *EPIJ_Size: PickOne\n*EPIJ_Size 1/A4: \"\"\n"
                       "*EPIJ_Size 2/Letter: \"\"\n",
                       "t", std::nullopt);
    EXPECT_EQ(keys(Adapter::sheets(small)), (std::vector<std::string>{"A4"}));

    PPDFile withoutSizes = ppd;
    std::erase_if(withoutSizes.options,
                  [](const PPDOption& option) { return option.keyword == "EPIJ_Size"; });
    EXPECT_TRUE(Adapter::sheets(withoutSizes).empty());
}

TEST_F(EpsonInkjet2AdapterTest, ASheetAndSourceGiveTheirPage) {
    EXPECT_EQ(Adapter::pageSize("A4", "STD", ppd), *ppd.pageSize("A4"));
    EXPECT_EQ(Adapter::pageSize("A4", "REAR", ppd).name, "A4.Rear");
    EXPECT_EQ(Adapter::pageSize("A4", "SFBL", ppd).name, "A4.Borderless");
    EXPECT_EQ(Adapter::pageSize("A4", "ROLL", ppd).name, "A4.Roll");
    EXPECT_EQ(Adapter::pageSize("Letter", "SFBL", ppd).name, "Letter.Borderless");
}

TEST_F(EpsonInkjet2AdapterTest, ReportsTheFirstFailingPageCheck) {
    auto sheet = adapterError([&] { Adapter::pageSize("B9", "XX", ppd); });
    EXPECT_EQ(sheet.code(), DriverAdapterErrorCode::unknownSheet);
    EXPECT_EQ(sheet.message(), "드라이버에 없는 용지 크기입니다: B9");

    auto source = adapterError([&] { Adapter::pageSize("A4", "XX", ppd); });
    EXPECT_EQ(source.code(), DriverAdapterErrorCode::unknownSource);
    EXPECT_EQ(source.message(), "드라이버에 없는 급지 방식입니다: XX");

    auto notAvailable = adapterError([&] { Adapter::pageSize("Letter", "REAR", ppd); });
    EXPECT_EQ(notAvailable.code(), DriverAdapterErrorCode::sheetNotAvailable);
    EXPECT_EQ(notAvailable.detail(), "Letter");
    EXPECT_EQ(notAvailable.source(), "REAR");
    EXPECT_EQ(notAvailable.message(), "Letter 용지는 이 급지 방식(REAR)으로 인쇄할 수 없습니다");

    // A sheet whose choice has no dimensions gives no page from any source.
    EXPECT_EQ(adapterError([&] { Adapter::pageSize("Postcard", "STD", ppd); }).code(),
              DriverAdapterErrorCode::sheetNotAvailable);
    EXPECT_EQ(adapterError([&] { Adapter::pageSize("A4", "STD", PPDFile{}); }).code(),
              DriverAdapterErrorCode::unknownSheet);
}

TEST_F(EpsonInkjet2AdapterTest, SourcesAreThoseThatGiveTheSheetAPage) {
    EXPECT_EQ(keys(Adapter::sources("A4", ppd)), (std::vector<std::string>{"STD", "REAR", "SFBL", "ROLL"}));
    EXPECT_EQ(keys(Adapter::sources("Letter", ppd)), (std::vector<std::string>{"STD", "SFBL"}));
    EXPECT_EQ(keys(Adapter::sources("A3", ppd)), (std::vector<std::string>{"STD"}));
    EXPECT_TRUE(Adapter::sources("Postcard", ppd).empty());
    EXPECT_TRUE(Adapter::sources("B9", ppd).empty());

    EXPECT_EQ(keys(Adapter::sources(recipe("PLAIN", "Letter", "STD", PrintQuality::standard), ppd)),
              (std::vector<std::string>{"STD", "SFBL"}));
    EXPECT_EQ(keys(Adapter::sources(customRecipe(300, 400), ppd)), (std::vector<std::string>{"STD", "REAR"}));
    EXPECT_TRUE(Adapter::sources(customRecipe(300, 400), PPDFile{}).empty());
}

TEST_F(EpsonInkjet2AdapterTest, FixedSizeSourcesTakeNoCustomSizes) {
    EXPECT_FALSE(Adapter::isCustomSource({"1", "Roll Paper", {}}));
    EXPECT_FALSE(Adapter::isCustomSource({"1", "Borderless Tray", {}}));
    EXPECT_FALSE(Adapter::isCustomSource({"1", "Disc Tray", {}}));
    EXPECT_FALSE(Adapter::isCustomSource({"1", "CD/DVD", {}}));
    EXPECT_TRUE(Adapter::isCustomSource({"1", "roll feeder", {}}));
    EXPECT_TRUE(Adapter::isCustomSource({"1", "Rear Paper Feed", {{"ko", "롤"}}}));
}

TEST_F(EpsonInkjet2AdapterTest, TheCustomSizeRangeIsThePPDsNarrowedByTheMachineData) {
    EXPECT_EQ(Adapter::customSizeRange(ppd), (PPDCustomSizeRange{89, 936, 127, 3240}));

    PPDFixture::MachineFolder noMachineData(TestSupport::fixture("machine/none"));
    EXPECT_EQ(Adapter::customSizeRange(ppd), (PPDCustomSizeRange{72, 1000, 72, 3240}));
}

TEST_F(EpsonInkjet2AdapterTest, WithoutItsOwnRangeThePPDTakesNoCustomSizes) {
    PPDFile noRange = ppd;
    noRange.customSizeRange.reset();
    EXPECT_EQ(Adapter::customSizeRange(noRange), std::nullopt); // although the machine data has a range
    auto error = adapterError([&] { Adapter::pageSize(customRecipe(300, 400), noRange); });
    EXPECT_EQ(error.code(), DriverAdapterErrorCode::customSizeNotSupported);
    EXPECT_EQ(error.message(), "이 프린터 드라이버는 사용자 지정 크기를 받지 않습니다");
}

TEST_F(EpsonInkjet2AdapterTest, TheIntersectionIsNotCheckedForEmptiness) {
    TestSupport::TemporaryDirectory folder;
    std::filesystem::create_directories(folder / "SC-P900 Series" / "Contents" / "Resources");
    TestSupport::writeFile(folder / "SC-P900 Series" / "Contents" / "Resources" / "PDEData.dat",
                           "*EPIJCustomPaperSizeRange: 2000 10 3000 20\n");
    PPDFixture::MachineFolder machineData(folder.path());
    EXPECT_EQ(Adapter::customSizeRange(ppd), (PPDCustomSizeRange{2000, 1000, 72, 20}));
}

TEST_F(EpsonInkjet2AdapterTest, StandardMarginsComeFromTheA4Page) {
    EXPECT_EQ(Adapter::standardMargins(ppd), (Margins{13, 8.5, 9, 8.5}));

    PPDFile noA4 = ppd;
    std::erase_if(noA4.pageSizes, [](const PPDPageSize& page) { return page.name == "A4"; });
    for (auto& page : noA4.pageSizes) {
        if (page.name == "Letter") {
            page.imageableArea = std::vector<double>{10, 20, 600, 770};
        }
    }
    EXPECT_EQ(Adapter::standardMargins(noA4), (Margins{22, 10, 20, 12})); // the first sheet with a page

    PPDFile noArea = ppd;
    for (auto& page : noArea.pageSizes) {
        page.imageableArea.reset();
    }
    EXPECT_EQ(Adapter::standardMargins(noArea), (Margins{8.4, 8.4, 8.4, 8.4}));
    EXPECT_EQ(Adapter::standardMargins(PPDFile{}), (Margins{8.4, 8.4, 8.4, 8.4}));

    // A model read from elsewhere may carry an area of the wrong length: it counts as none.
    PPDFile shortArea = ppd;
    shortArea.pageSizes[0].imageableArea = std::vector<double>{1, 2, 3};
    EXPECT_EQ(Adapter::standardMargins(shortArea), (Margins{8.4, 8.4, 8.4, 8.4}));
}

TEST_F(EpsonInkjet2AdapterTest, ACustomSheetGetsAPageOfItsOwn) {
    auto page = Adapter::pageSize(customRecipe(300, 400, "REAR"), ppd);
    EXPECT_EQ(
        page,
        (PPDPageSize{
            "Custom.300.00x400.00", "사용자 지정", {}, 300, 400, std::vector<double>{8.5, 9, 291.5, 387}}));
    EXPECT_EQ(Adapter::pageSize(customRecipe(283.46456692913387, 419.5275590551181), ppd).name,
              "Custom.283.46x419.53");
    // The standard sheet keeps its own page.
    EXPECT_EQ(Adapter::pageSize(recipe("PLAIN", "A4", "REAR", PrintQuality::standard), ppd).name, "A4.Rear");
}

TEST_F(EpsonInkjet2AdapterTest, TheCustomPageNameIgnoresTheProcessLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8")) {
        GTEST_SKIP() << "no German locale on this machine";
    }
    auto page = Adapter::pageSize(customRecipe(300.5, 400.25), ppd);
    auto message = adapterError([&] { Adapter::pageSize(customRecipe(80, 400), ppd); }).message();
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(page.name, "Custom.300.50x400.25");
    EXPECT_EQ(message, "이 프린터는 폭 31.4–330.2mm, 길이 45–1143mm 용지까지 인쇄할 수 있습니다");
}

TEST_F(EpsonInkjet2AdapterTest, RefusesCustomSizesOnFixedSizeSources) {
    auto borderless = adapterError([&] { Adapter::pageSize(customRecipe(300, 400, "SFBL"), ppd); });
    EXPECT_EQ(borderless.code(), DriverAdapterErrorCode::customSourceNotAllowed);
    EXPECT_EQ(borderless.message(),
              "사용자 지정 크기는 '시트 피더 - 테두리 없음' 급지로 인쇄할 수 없습니다. 일반 급지를 고르세요");
    EXPECT_EQ(adapterError([&] { Adapter::pageSize(customRecipe(300, 400, "ROLL"), ppd); }).detail(),
              "롤 용지");

    PPDFile untranslated = ppd;
    for (auto& option : untranslated.options) {
        for (auto& choice : option.choices) {
            choice.localizedLabels.clear();
        }
    }
    EXPECT_EQ(
        adapterError([&] { Adapter::pageSize(customRecipe(300, 400, "ROLL"), untranslated); }).message(),
        "사용자 지정 크기는 'Roll Paper' 급지로 인쇄할 수 없습니다. 일반 급지를 고르세요");

    auto unknown = adapterError([&] { Adapter::pageSize(customRecipe(300, 400, "NOPE"), ppd); });
    EXPECT_EQ(unknown.code(), DriverAdapterErrorCode::unknownSource);
}

TEST_F(EpsonInkjet2AdapterTest, CustomSizesStayWithinTheRangeGivenATolerance) {
    PPDFixture::MachineFolder noMachineData(TestSupport::fixture("machine/none"));
    EXPECT_NO_THROW(Adapter::pageSize(customRecipe(71.95, 400), ppd));
    EXPECT_NO_THROW(Adapter::pageSize(customRecipe(1000.05, 3240.05), ppd));
    auto error = adapterError([&] { Adapter::pageSize(customRecipe(71.94, 400), ppd); });
    EXPECT_EQ(error.code(), DriverAdapterErrorCode::customSizeOutOfRange);
    EXPECT_EQ(error.range(), (PPDCustomSizeRange{72, 1000, 72, 3240}));
    EXPECT_EQ(error.message(), "이 프린터는 폭 25.4–352.8mm, 길이 25–1143mm 용지까지 인쇄할 수 있습니다");
    EXPECT_THROW(Adapter::pageSize(customRecipe(300, 3240.06), ppd), DriverAdapterError);
}

TEST_F(EpsonInkjet2AdapterTest, TheMachineDataNarrowsTheCustomSizes) {
    auto error = adapterError([&] { Adapter::pageSize(customRecipe(80, 400), ppd); });
    EXPECT_EQ(error.range(), (PPDCustomSizeRange{89, 936, 127, 3240}));
    EXPECT_EQ(error.message(), "이 프린터는 폭 31.4–330.2mm, 길이 45–1143mm 용지까지 인쇄할 수 있습니다");
    EXPECT_THROW(Adapter::pageSize(customRecipe(300, 126.9), ppd), DriverAdapterError);
    EXPECT_NO_THROW(Adapter::pageSize(customRecipe(936, 127), ppd));
}

TEST_F(EpsonInkjet2AdapterTest, NonFiniteCustomSizesAreOutOfRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (auto size : std::vector<CustomSheetSize>{
             {nan, 400}, {300, nan}, {inf, 400}, {300, inf}, {-inf, 400}, {nan, nan}}) {
        auto error = adapterError([&] { Adapter::pageSize(customRecipe(size.width, size.height), ppd); });
        EXPECT_EQ(error.code(), DriverAdapterErrorCode::customSizeOutOfRange)
            << size.width << " x " << size.height;
        EXPECT_EQ(error.message(), "이 프린터는 폭 31.4–330.2mm, 길이 45–1143mm 용지까지 인쇄할 수 있습니다");
    }
}
