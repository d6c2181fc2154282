#include "PrintKit/settings/PPDFile.h"

#include "PPDFixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unordered_set>

using namespace PrintKit;
using nlohmann::json;

namespace {

PPDOption makeOption(std::string keyword, std::string label, LocalizedLabels localized, std::string uiType) {
    PPDOption option;
    option.keyword = std::move(keyword);
    option.label = std::move(label);
    option.localizedLabels = std::move(localized);
    option.uiType = std::move(uiType);
    return option;
}

PPDFile smallModel() {
    PPDFile ppd;
    PPDOption pageSize =
        makeOption("PageSize", "Media Size", {{"ko", "용지 크기"}, {"zh_TW", ""}}, "PickOne");
    pageSize.choices = {{"A4", "A4", {{"ko", "A4 용지"}}}, {"Letter", "Letter", {}}, {"A4", "Second A4", {}}};
    ppd.options = {pageSize, makeOption("EPIJ_Medi", "Media", {}, "PickOne"),
                   makeOption("PageSize", "Later", {}, "X")};
    ppd.pageSizes = {{"A4", "A4", {{"ko", "A4 용지"}}, 595, 842, std::nullopt},
                     {"A4", "Later A4", {}, 1, 1, std::nullopt}};
    return ppd;
}

} // namespace

TEST(PPDFileTest, LooksUpByExactNameAndTakesTheFirst) {
    PPDFile ppd = smallModel();
    ASSERT_NE(ppd.option("PageSize"), nullptr);
    EXPECT_EQ(ppd.option("PageSize")->label, "Media Size");
    EXPECT_EQ(ppd.option("pagesize"), nullptr);
    EXPECT_EQ(ppd.option("Missing"), nullptr);
    EXPECT_EQ(ppd.option("PageSize")->choice("A4")->label, "A4");
    EXPECT_EQ(ppd.option("PageSize")->choice("a4"), nullptr);
    EXPECT_EQ(ppd.pageSize("A4")->label, "A4");
    EXPECT_EQ(ppd.pageSize("Letter"), nullptr);

    PPDFile empty;
    EXPECT_TRUE(empty.options.empty());
    EXPECT_TRUE(empty.pageSizes.empty());
    EXPECT_EQ(empty.customSizeRange, std::nullopt);
    EXPECT_EQ(empty.option("PageSize"), nullptr);
    EXPECT_EQ(empty.pageSize("A4"), nullptr);
    PPDOption bare;
    EXPECT_EQ(bare.choice(""), nullptr);
}

TEST(PPDFileTest, LabelsForALanguageFallBackToThePlainLabelOnly) {
    PPDFile ppd = smallModel();
    const PPDOption& option = *ppd.option("PageSize");
    EXPECT_EQ(label(option, std::nullopt), "Media Size");
    EXPECT_EQ(label(option, "ko"), "용지 크기");
    EXPECT_EQ(label(option, "ja"), "Media Size");
    EXPECT_EQ(label(option, "zh_TW"), ""); // an empty translation is still the translation
    EXPECT_EQ(label(option, "ko_KR"), "Media Size");
    EXPECT_EQ(label(*option.choice("A4"), "ko"), "A4 용지");
    EXPECT_EQ(label(*option.choice("Letter"), "ko"), "Letter");
    EXPECT_EQ(label(*ppd.pageSize("A4"), "ko"), "A4 용지");
    EXPECT_EQ(label(*ppd.pageSize("A4"), std::nullopt), "A4");
}

TEST(PPDFileTest, ReadsAPresetBody) {
    auto preset = PPDPreset::fromBody("P", "Label",
                                      "*EPIJ_Qual 302\n*EPIJ_Medi PLAIN\n"
                                      "com.apple.print.preset.quality mid\n*EPIJPrinterPreset True\n");
    EXPECT_EQ(preset, (PPDPreset{"P", "Label", {{"EPIJ_Qual", "302"}, {"EPIJ_Medi", "PLAIN"}}, "mid"}));
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
    EXPECT_EQ(preset.settings, (std::map<std::string, std::string>{{"EPIJ_Two", " 2"},
                                                                   {"com.apple.print.preset.quality", "high"},
                                                                   {"EPIJ_Qual", "303"},
                                                                   {"EPIJ_Spaced", "value with spaces"}}));
    EXPECT_EQ(preset.quality, "high");
    EXPECT_EQ(PPDPreset::fromBody("P", "L", "*com.apple.print.preset.quality mid").quality, std::nullopt);
    EXPECT_EQ(PPDPreset::fromBody("P", "L", ""), (PPDPreset{"P", "L", {}, std::nullopt}));
}

TEST(PPDFileTest, ChoicesEqualAndHashOverAllThreeFields) {
    PPDChoice plain{"PLAIN", "Plain", {{"ko", "보통"}}};
    PPDChoice other = plain;
    other.localizedLabels["ko"] = "일반";
    EXPECT_NE(plain, other);
    EXPECT_EQ(plain, (PPDChoice{"PLAIN", "Plain", {{"ko", "보통"}}}));
    std::unordered_set<PPDChoice> set{plain, other, plain};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_TRUE(set.contains(PPDChoice{"PLAIN", "Plain", {{"ko", "보통"}}}));
    EXPECT_FALSE(set.contains(PPDChoice{"PLAIN", "Plain", {}}));
    EXPECT_EQ(std::hash<PPDChoice>{}(plain),
              std::hash<PPDChoice>{}(PPDChoice{"PLAIN", "Plain", {{"ko", "보통"}}}));
}

TEST(PPDFileTest, JsonFormUsesTheFieldNames) {
    PPDPageSize page{"A4", "A4", {{"ko", "A4"}}, 595, 842.5, std::vector<double>{1, 2, 3, 4}};
    EXPECT_EQ(json(page), json::parse(R"({"name":"A4","label":"A4","localizedLabels":{"ko":"A4"},
                                          "width":595,"height":842.5,"imageableArea":[1,2,3,4]})"));
    page.imageableArea.reset();
    EXPECT_FALSE(json(page).contains("imageableArea"));

    PPDOption option = makeOption("EPIJ_Medi", "Media", {}, "PickOne");
    EXPECT_EQ(json(option), json::parse(R"({"keyword":"EPIJ_Medi","label":"Media","localizedLabels":{},
                                            "uiType":"PickOne","choices":[]})"));
    option.group = "General";
    option.defaultChoice = "PLAIN";
    option.order = 20.5;
    option.choices = {{"PLAIN", "Plain", {}}};
    EXPECT_EQ(json(option), json::parse(R"({"keyword":"EPIJ_Medi","label":"Media","localizedLabels":{},
        "uiType":"PickOne","group":"General","defaultChoice":"PLAIN","order":20.5,
        "choices":[{"key":"PLAIN","label":"Plain","localizedLabels":{}}]})"));

    EXPECT_EQ(json(PPDCustomSizeRange{1, 2, 3, 4}),
              json::parse(R"({"minWidth":1,"maxWidth":2,"minHeight":3,"maxHeight":4})"));
    EXPECT_EQ(json(PPDColorProfile{"q", "l", "/p"}),
              json::parse(R"({"qualifier":"q","label":"l","path":"/p"})"));
    EXPECT_EQ(json(PPDPreset{"n", "l", {{"a", "b"}}, std::nullopt}),
              json::parse(R"({"name":"n","label":"l","settings":{"a":"b"}})"));
}

TEST(PPDFileTest, JsonFormReadsBackTheSameModel) {
    PPDFile model = PPDFixture::expectedModel(true);
    PPDFile back = json::parse(json(model).dump()).get<PPDFile>();
    PPDFixture::expectSameModel(back, model);
    EXPECT_EQ(json(PPDFile{}).get<PPDFile>(), PPDFile{});
}

TEST(PPDFileTest, JsonReadingIsStrict) {
    json page = json::parse(R"({"name":"A4","label":"A4","localizedLabels":{},"width":595,"height":842})");
    EXPECT_EQ(page.get<PPDPageSize>(), (PPDPageSize{"A4", "A4", {}, 595, 842, std::nullopt}));

    json nullArea = page;
    nullArea["imageableArea"] = nullptr;
    EXPECT_EQ(nullArea.get<PPDPageSize>().imageableArea, std::nullopt);

    json missing = page;
    missing.erase("height");
    EXPECT_THROW(missing.get<PPDPageSize>(), json::out_of_range);

    json boolean = page;
    boolean["width"] = true;
    EXPECT_THROW(boolean.get<PPDPageSize>(), json::type_error);

    json text = page;
    text["width"] = "595";
    EXPECT_THROW(text.get<PPDPageSize>(), json::type_error);

    json labels = page;
    labels["localizedLabels"] = json::parse(R"({"ko":1})");
    EXPECT_THROW(labels.get<PPDPageSize>(), json::type_error);

    EXPECT_THROW(json::array().get<PPDChoice>(), json::type_error);
    EXPECT_THROW(json::parse(R"({"key":"A","label":"A"})").get<PPDChoice>(), json::out_of_range);
    EXPECT_THROW(json::parse(R"({"minWidth":1,"maxWidth":2,"minHeight":3})").get<PPDCustomSizeRange>(),
                 json::out_of_range);
}
