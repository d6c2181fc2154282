#include "PrintKit/settings/PPDFile.h"

#include "PPDFixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unordered_set>

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

    ASSERT_NE(ppd.option("PageSize"), nullptr);
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
    auto preset = PPDPreset::fromBody("P", "L",
                                      "\n"
                                      "  \t*EPIJ_Tab\t1\n"
                                      "*EPIJ_Two  2\n"
                                      "*EPSON.Setting 3\n"
                                      "*EPIJPrinterPreset 4\n"
                                      "*com.apple.print.preset.quality high\n"
                                      "com.apple.print.preset.quality mid\n"
                                      "com.apple.print.preset.quality high\n"
                                      "*EPIJ_Qual 301\n"
                                      "*EPIJ_Qual 303\n"
                                      "*Alone\n"
                                      "other.key value\n"
                                      "*EPIJ_Spaced value with spaces \t\n");
    EXPECT_EQ(preset, (PPDPreset{"P",
                                 "L",
                                 {{"EPIJ_Two", " 2"},
                                  {"com.apple.print.preset.quality", "high"},
                                  {"EPIJ_Qual", "303"},
                                  {"EPIJ_Spaced", "value with spaces"}},
                                 "high"}));
    EXPECT_EQ(PPDPreset::fromBody("P", "L", "*com.apple.print.preset.quality mid").quality, std::nullopt);
}

TEST(PPDFileTest, EqualChoicesHashAlike) {
    PPDChoice plain{"PLAIN", "Plain", {{"ko", "보통"}}};
    std::unordered_set<PPDChoice> set{plain, {"PLAIN", "Plain", {{"ko", "일반"}}}, plain};
    EXPECT_EQ(set.size(), 2u);
}

TEST(PPDFileTest, JsonFormUsesTheFieldNamesAndReadsBackTheSameModel) {
    PPDPageSize page{"A4", "A4", {{"ko", "A4"}}, 595, 842.5, std::vector<double>{1, 2, 3, 4}};
    EXPECT_EQ(json(page), json::parse(R"({"name":"A4","label":"A4","localizedLabels":{"ko":"A4"},
                                          "width":595,"height":842.5,"imageableArea":[1,2,3,4]})"));
    PPDOption option{"EPIJ_Medi", "Media", {}, "PickOne", "General", "PLAIN", 20.5, {{"PLAIN", "Plain", {}}}};
    EXPECT_EQ(json(option), json::parse(R"({"keyword":"EPIJ_Medi","label":"Media","localizedLabels":{},
        "uiType":"PickOne","group":"General","defaultChoice":"PLAIN","order":20.5,
        "choices":[{"key":"PLAIN","label":"Plain","localizedLabels":{}}]})"));
    PPDFile model = PPDFixture::expectedModel(true);
    PPDFixture::expectSameModel(json::parse(json(model).dump()).get<PPDFile>(), model);
    EXPECT_EQ(json(PPDFile{}).get<PPDFile>(), PPDFile{});
}

TEST(PPDFileTest, JsonReadingIsStrict) {
    json page = json::parse(R"({"name":"A4","label":"A4","localizedLabels":{},"width":595,"height":842,
                                "imageableArea":null})");
    EXPECT_EQ(page.get<PPDPageSize>(), (PPDPageSize{"A4", "A4", {}, 595, 842, std::nullopt}));
    json missing = page;
    missing.erase("height");
    EXPECT_THROW(missing.get<PPDPageSize>(), json::out_of_range);
    for (const json& wrong : {json(true), json("595")}) {
        json typed = page;
        typed["width"] = wrong;
        EXPECT_THROW(typed.get<PPDPageSize>(), json::type_error) << wrong;
    }
    json labels = page;
    labels["localizedLabels"] = json::parse(R"({"ko":1})");
    EXPECT_THROW(labels.get<PPDPageSize>(), json::type_error);
    EXPECT_THROW(json::array().get<PPDChoice>(), json::type_error);
}
