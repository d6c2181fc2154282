#include "PrintKit/settings/PPDFile.h"

#include "PPDFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace PrintKit;
using nlohmann::json;

TEST(PPDFileTest, LooksUpByExactNameAndLabelsFallBackToThePlainLabelOnly) {
    PPDFile ppd;
    PPDOption pageSize{"PageSize", "Media Size", {{"ko", "용지 크기"}, {"zh_TW", ""}}, "PickOne", {}, {}, {},
                       {}};
    pageSize.choices = {{"A4", "A4", {{"ko", "A4 용지"}}}, {"Letter", "Letter", {}}, {"A4", "Second A4", {}}};
    ppd.options = {pageSize, PPDOption{"PageSize", "Later", {}, "X", {}, {}, {}, {}}};
    ppd.pageSizes = {{"A4", "A4", {{"ko", "A4 용지"}}, 595, 842, std::nullopt},
                     {"A4", "Later", {}, 1, 1, {}}};
    // The first of equal names; no case folding.
    EXPECT_EQ(ppd.option("PageSize")->label, "Media Size");
    EXPECT_EQ(ppd.option("pagesize"), nullptr);
    EXPECT_EQ(ppd.option("PageSize")->choice("A4")->label, "A4");
    EXPECT_EQ(ppd.option("PageSize")->choice("a4"), nullptr);
    EXPECT_EQ(ppd.pageSize("A4")->label, "A4");
    EXPECT_EQ(ppd.pageSize("Letter"), nullptr);
    const PPDOption& option = *ppd.option("PageSize");
    EXPECT_EQ(label(option, std::nullopt), "Media Size");
    EXPECT_EQ(label(option, "ko"), "용지 크기");
    EXPECT_EQ(label(option, "zh_TW"), ""); // an empty translation is still the translation
    EXPECT_EQ(label(option, "ko_KR"), "Media Size");
    EXPECT_EQ(label(*option.choice("Letter"), "ko"), "Letter");
    EXPECT_EQ(label(*ppd.pageSize("A4"), "ko"), "A4 용지");
}

TEST(PPDFileTest, PresetBodyLinesFollowTheirOwnRules) {
    auto preset =
        PPDPreset::fromBody("P", "L",
                            "\n  \t*EPIJ_Tab\t1\n*EPIJ_Two  2\n*EPSON.Setting 3\n*EPIJPrinterPreset 4\n"
                            "*com.apple.print.preset.quality high\ncom.apple.print.preset.quality mid\n"
                            "com.apple.print.preset.quality high\n*EPIJ_Qual 301\n*EPIJ_Qual 303\n"
                            "*Alone\nother.key value\n*EPIJ_Spaced value with spaces \t\n");
    EXPECT_EQ(preset, (PPDPreset{"P",
                                 "L",
                                 {{"EPIJ_Two", " 2"},
                                  {"com.apple.print.preset.quality", "high"},
                                  {"EPIJ_Qual", "303"},
                                  {"EPIJ_Spaced", "value with spaces"}},
                                 "high"}));
    EXPECT_EQ(PPDPreset::fromBody("P", "L", "*com.apple.print.preset.quality mid").quality, std::nullopt);
}
