#include "PrintKit/support/Text.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace PrintKit;

TEST(TextTest, Utf8IsValidatedAndReplacedPerMaximalBadPartLatin1DecodesEveryByte) {
    for (const char* good : {"", "표준 A4", "\xF0\x9F\x93\xB7"}) {
        EXPECT_TRUE(Text::isValidUtf8(good)) << good;
    }
    // Overlong slash, a surrogate, past U+10FFFF, Latin-1 e-acute, cut short.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "caf\xE9", "\xE2\x82"}) {
        EXPECT_FALSE(Text::isValidUtf8(bad)) << bad;
    }
    EXPECT_EQ(Text::utf8WithReplacement("a\xFF"
                                        "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Text::utf8WithReplacement("\xE2\x82"
                                        "A"),
              "\xEF\xBF\xBD"
              "A"); // one maximal subpart
    EXPECT_EQ(Text::utf8WithReplacement("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Text::latin1ToUtf8("\xFF\x80"), "\xC3\xBF\xC2\x80");
    EXPECT_EQ(Text::utf8OrLatin1("caf\xE9"), "café");
    EXPECT_EQ(Text::utf8OrLatin1("café"), "café"); // valid UTF-8 stays as it is
}

TEST(TextTest, Utf16BigEndianWithSurrogates) {
    EXPECT_EQ(Text::utf16BEToUtf8(std::string("\x00"
                                              "A\xD5\x5C",
                                              4)),
              "A한");
    EXPECT_EQ(Text::utf16BEToUtf8(std::string("\xD8\x3D\xDC\xF7", 4)), "\xF0\x9F\x93\xB7");
    EXPECT_FALSE(Text::utf16BEToUtf8(std::string("\x00", 1)));
    EXPECT_FALSE(Text::utf16BEToUtf8(std::string("\xD8\x3D\x00"
                                                 "A",
                                                 4)));             // lone high surrogate
    EXPECT_FALSE(Text::utf16BEToUtf8(std::string("\xDC\xF7", 2))); // lone low surrogate
}

TEST(TextTest, NamesSortLikeAFileBrowserAndCaseFoldsBeyondAscii) {
    std::vector<std::string> names{"Recipe 10", "recipe 9", "Alpha", "Écru", "eagle", "Recipe 2"};
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return Text::compareNames(a, b) < 0; });
    EXPECT_EQ(names,
              (std::vector<std::string>{"Alpha", "eagle", "Écru", "Recipe 2", "recipe 9", "Recipe 10"}));
    EXPECT_EQ(Text::compareNames("same", "same"), 0);
    EXPECT_EQ(Text::uppercased("ÉcLair"), "ÉCLAIR");
    EXPECT_EQ(Text::lowercased("EPSON SC-P900"), "epson sc-p900");
    EXPECT_EQ(Text::trimmed("\t Photo Paper \r\n"), "Photo Paper");
}
