#include "QuilmPrint/panels/ColorText.h"

#include "PanelTestSupport.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;
using PrintKit::ICCProfileInfo;
using PrintKit::ProfileMatch;

namespace {
ICCProfileInfo profile(std::string path, std::string description) {
    ICCProfileInfo info;
    info.path = std::move(path);
    info.description = std::move(description);
    return info;
}

std::vector<QString> titles(const MenuEntries& entries) {
    std::vector<QString> result;
    for (const MenuEntry& entry : entries)
        result.push_back(entry.kind == MenuEntry::Kind::section ? "[" + entry.title + "]" : entry.title);
    return result;
}
} // namespace

TEST(ColorTextTest, MenuListsSuggestionsFirstThenTheRestInNaturalOrder) {
    std::vector<ICCProfileInfo> profiles{profile("/p/10", "Paper 10"), profile("/p/gloss", "Glossy"),
                                         profile("/p/9", "Paper 9"),   profile("/p/a2", "Same"),
                                         profile("/p/a1", "Same"),     profile("/p/lower", "glossy matte")};
    std::vector<ProfileMatch> suggestions{{profile("/p/gloss", "Glossy"), 0.9, true},
                                          {profile("/p/other", "Other Glossy"), 0.7, false}};
    auto others = ColorText::otherProfiles(profiles, suggestions);
    std::vector<std::string> paths;
    for (const auto& info : others)
        paths.push_back(info.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/p/lower", "/p/9", "/p/10", "/p/a2", "/p/a1"}));

    MenuEntries menu = ColorText::profileMenu(suggestions, others);
    EXPECT_EQ(titles(menu), (std::vector<QString>{"[이 용지에 추천]", "● Glossy", "○ Other Glossy",
                                                  "[모든 프린터 프로파일]", "glossy matte", "Paper 9",
                                                  "Paper 10", "Same", "Same"}));
    EXPECT_EQ(menu[2].id, QString("/p/other"));
    EXPECT_EQ(titles(ColorText::profileMenu({}, {})), (std::vector<QString>{"[모든 프린터 프로파일]"}));
}

TEST(ColorTextTest, WarningSaysWhetherTheProfileIsMadeForThePaperHere) {
    std::vector<ProfileMatch> suggestions{{profile("/p/own", "Own"), 0.9, true},
                                          {profile("/p/foreign", "Foreign"), 0.8, false}};
    const QString none = "이 용지에 맞는 프로파일을 찾지 못했습니다.",
                  notFor = "고른 용지용 프로파일이 아닙니다.";
    EXPECT_EQ(ColorText::profileWarning({}, "/p/own"), none);
    EXPECT_EQ(ColorText::profileWarning(suggestions, "/p/own"), QString());
    EXPECT_EQ(ColorText::profileWarning(suggestions, "/p/foreign"), notFor);
    EXPECT_EQ(ColorText::profileWarning(suggestions, "/p/removed"), notFor);
    EXPECT_EQ(ColorText::profileWarning(suggestions, "/p/own/"), notFor);
}

TEST(ColorTextTest, MenuIdsFindTheirProfile) {
    std::vector<ProfileMatch> suggestions{{profile("/p/s", "Suggested"), 0.9, true}};
    std::vector<ICCProfileInfo> profiles{profile("/p/s", "Suggested (listed)"), profile("/p/o", "Other")};
    EXPECT_EQ(ColorText::profileFor("/p/s", suggestions, profiles)->description, "Suggested");
    EXPECT_EQ(ColorText::profileFor("/p/o", suggestions, profiles)->description, "Other");
    EXPECT_EQ(ColorText::profileFor("/p/gone", suggestions, profiles), std::nullopt);
}
