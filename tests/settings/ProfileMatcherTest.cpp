#include "PrintKit/settings/ProfileMatcher.h"

#include <gtest/gtest.h>

using namespace PrintKit;
using Words = std::vector<std::string>;
using Set = ProfileMatcher::WordSet;

namespace {

PPDFile epson(const std::string& modelName = "EPSON SC-P700 Series") {
    PPDFile ppd;
    ppd.manufacturer = "EPSON";
    ppd.modelName = modelName;
    ppd.nickName = "EPSON SC-P700 Series";
    return ppd;
}

ICCProfileInfo named(const std::string& name) {
    return ICCProfileInfo{"/profiles/" + name + ".icc", name, "prtr", "RGB ", "Lab ", "2.1", "md5-" + name};
}

ICCProfileInfo filed(const std::string& fileStem, const std::string& description) {
    ICCProfileInfo info = named(fileStem);
    info.description = description;
    return info;
}

// "name score sameModel" per match, so a failure shows the whole ranking.
std::vector<std::string> summary(const std::vector<ProfileMatch>& matches) {
    std::vector<std::string> out;
    for (const auto& match : matches) {
        out.push_back(match.profile.description + " " + std::to_string(match.score) +
                      (match.sameModel ? " same" : " other"));
    }
    return out;
}

} // namespace

TEST(ProfileMatcherTest, SplitsWordsAtCamelCaseAndSeparators) {
    EXPECT_EQ(ProfileMatcher::words("SC-P700/900 Premium Luster"),
              (Words{"sc", "p700", "900", "premium", "luster"}));
    EXPECT_EQ(ProfileMatcher::words("PremiumGlossy ProPhoto"), (Words{"premium", "glossy", "pro", "photo"}));
    EXPECT_EQ(ProfileMatcher::words("SCP900 EPSON"), (Words{"scp900", "epson"}));
    EXPECT_EQ(ProfileMatcher::words("Fine_Art.Paper (Matte) fine"),
              (Words{"fine", "art", "paper", "matte", "fine"}));
    EXPECT_EQ(ProfileMatcher::words("PapierÉpaisMat"), (Words{"papier", "épais", "mat"}));
    // A combining mark belongs to its letter's character; a digit in another script is a number.
    EXPECT_EQ(ProfileMatcher::words("Cafe\xCC\x81 P٧00"), (Words{"cafe\xCC\x81", "p٧00"}));
    EXPECT_EQ(ProfileMatcher::words("--  //"), Words{});
}

TEST(ProfileMatcherTest, FindsModelAndPaperWords) {
    EXPECT_EQ(ProfileMatcher::modelWords("SC-P700/900"), (Set{"p700", "900", "p900"}));
    EXPECT_EQ(ProfileMatcher::modelWords("SC-P800"), (Set{"p800"}));
    EXPECT_EQ(ProfileMatcher::modelWords("ET-8550"), (Set{"8550"}));
    EXPECT_EQ(ProfileMatcher::modelWords("P700/9000"), (Set{"p700", "9000"}));
    EXPECT_EQ(ProfileMatcher::modelWords("SC-P700 Series"), (Set{"p700"}));
    EXPECT_EQ(ProfileMatcher::modelWords("P7a0/900"), (Set{"p7a0", "900"})); // the rest must be all digits

    const Set ignored{"epson", "series", "icc", "icm"};
    EXPECT_EQ(ProfileMatcher::paperWords("SC-P700/900 Premium Luster", ignored), (Set{"premium", "luster"}));
    EXPECT_EQ(ProfileMatcher::paperWords("EPSON Hot Press Natural 330gsm ICC", ignored),
              (Set{"hot", "press", "natural"}));
}

TEST(ProfileMatcherTest, RanksTheWorkedExample) {
    const std::vector<ICCProfileInfo> profiles{
        named("SC-P700 Series Premium Glossy"),
        named("Ultra Premium Glossy Photo Paper for Fine Art"),
        named("Epson SC-P800 Premium Glossy Photo Paper"),
        named("Premium Glossy Photo Paper Luster"),
        named("Epson SC-P700 Premium Glossy Photo Paper"),
    };
    auto matches = ProfileMatcher::matches("Premium Glossy Photo Paper", epson(), profiles, 0.6);
    EXPECT_EQ(summary(matches), (std::vector<std::string>{
                                    "Epson SC-P700 Premium Glossy Photo Paper 1.000000 same",
                                    "Premium Glossy Photo Paper Luster 0.800000 other",
                                    "Ultra Premium Glossy Photo Paper for Fine Art 0.750000 other",
                                }));
    ASSERT_EQ(matches.size(), 3u);
    EXPECT_EQ(matches[0].profile, profiles[4]);
    EXPECT_EQ(matches[1].score, 0.8);
    EXPECT_EQ(matches[2].score, 0.75);

    // At a minimum of 0 the 0.5 profile stays and, naming this printer, leads; P800 is still dropped.
    EXPECT_EQ(summary(ProfileMatcher::matches("Premium Glossy Photo Paper", epson(), profiles, 0)),
              (std::vector<std::string>{
                  "Epson SC-P700 Premium Glossy Photo Paper 1.000000 same",
                  "SC-P700 Series Premium Glossy 0.500000 same",
                  "Premium Glossy Photo Paper Luster 0.800000 other",
                  "Ultra Premium Glossy Photo Paper for Fine Art 0.750000 other",
              }));
    // A score exactly at the minimum stays.
    EXPECT_EQ(ProfileMatcher::matches("Premium Glossy Photo Paper", epson(), profiles, 0.8).size(), 2u);
}

TEST(ProfileMatcherTest, ScoresTheBetterOfFileNameAndDescription) {
    const std::vector<ICCProfileInfo> profiles{
        filed("PGPP", "Premium Glossy Photo Paper"),             // only the description covers the label
        filed("Premium Glossy Photo Paper", "Vendor profile 7"), // only the file name does
        filed("Glossy", "Glossy"),                               // J = 1/4 and not all words
        filed("Photo Glossy Premium Paper Paper", "x"),          // order and duplicates do not matter
    };
    auto matches = ProfileMatcher::matches("Premium Glossy Photo Paper", epson(), profiles, 0);
    ASSERT_EQ(matches.size(), 4u);
    EXPECT_EQ(matches[0].score, 1.0);
    EXPECT_EQ(matches[1].score, 1.0);
    EXPECT_EQ(matches[2].score, 1.0);
    EXPECT_EQ(matches[3].profile, profiles[2]);
    EXPECT_EQ(matches[3].score, 0.25);
    // Equal flag and score keep the order given.
    EXPECT_EQ(matches[0].profile, profiles[0]);
    EXPECT_EQ(matches[1].profile, profiles[1]);
    EXPECT_EQ(matches[2].profile, profiles[3]);
}

TEST(ProfileMatcherTest, SameModelNeedsEveryModelWordInFileNameOrDescription) {
    const PPDFile twoModels = epson("EPSON SC-P700/900"); // p700, 900, p900
    const std::vector<ICCProfileInfo> profiles{
        filed("SC-P900 Glossy", "Glossy"),                // p900 only: not the same model
        filed("SC-P700 Glossy", "Glossy for 900 & P900"), // every word, across the two texts
        filed("Glossy", "SC-P700/900 Glossy"),            // every word in one text
        filed("Glossy", "Glossy P7000"),                  // p7000 is not p700
    };
    auto matches = ProfileMatcher::matches("Glossy", twoModels, profiles, 0);
    std::vector<bool> same;
    for (const auto& profile : profiles) {
        for (const auto& match : matches) {
            if (match.profile == profile) {
                same.push_back(match.sameModel);
            }
        }
    }
    // The first and last name another model without the maker: they stay, as other printers' profiles.
    EXPECT_EQ(same, (std::vector<bool>{false, true, true, false}));
}

TEST(ProfileMatcherTest, DropsProfilesNamingTheMakerWithAnotherModel) {
    const std::vector<ICCProfileInfo> profiles{
        named("EPSON Premium Luster 260"),      // maker and a paper weight: counts as another model
        named("Epson Premium Luster"),          // maker, no model: stays
        named("Canon PRO-1000 Premium Luster"), // another maker's model: stays
        named("EPSON SC-P700 Premium Luster 260"),
    };
    EXPECT_EQ(summary(ProfileMatcher::matches("Premium Luster", epson(), profiles, 0.6)),
              (std::vector<std::string>{"EPSON SC-P700 Premium Luster 260 1.000000 same",
                                        "Epson Premium Luster 1.000000 other",
                                        "Canon PRO-1000 Premium Luster 0.750000 other"}));

    // A model name without digits: nothing is the same model, so every maker-and-digit profile goes.
    PPDFile plain = epson("EPSON Photo Printer");
    EXPECT_EQ(summary(ProfileMatcher::matches("Premium Luster", plain, profiles, 0.6)),
              (std::vector<std::string>{"Epson Premium Luster 1.000000 other",
                                        "Canon PRO-1000 Premium Luster 0.750000 other"}));
    // The nick name stands in for an empty model name.
    PPDFile nick = epson("");
    EXPECT_TRUE(ProfileMatcher::matches("Premium Luster", nick, profiles, 0.6).front().sameModel);
}

TEST(ProfileMatcherTest, WithoutAManufacturerNothingIsDroppedAndItsNameIsAPaperWord) {
    PPDFile ppd = epson();
    ppd.manufacturer = "";
    const std::vector<ICCProfileInfo> profiles{named("Epson SC-P800 Premium Glossy")};
    auto matches = ProfileMatcher::matches("Premium Glossy", ppd, profiles, 0);
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_FALSE(matches[0].sameModel);
    EXPECT_DOUBLE_EQ(matches[0].score, 0.75); // epson counts: J = 2/3, every media word present
    // With the maker ignored this would be 1/3 (glossy of premium, glossy, luster).
    EXPECT_EQ(ProfileMatcher::matches("Epson Glossy Luster", ppd, profiles, 0).front().score, 0.5);
}

TEST(ProfileMatcherTest, LabelsWithoutPaperWordsMatchNothing) {
    const std::vector<ICCProfileInfo> profiles{named("EPSON 260"), named("Premium Glossy")};
    EXPECT_TRUE(ProfileMatcher::matches("EPSON 260", epson(), profiles, 0).empty());
    EXPECT_TRUE(ProfileMatcher::matches("A4 ICC", epson(), profiles, 0).empty());
    EXPECT_TRUE(ProfileMatcher::matches("", epson(), profiles, 0).empty());
    EXPECT_TRUE(ProfileMatcher::matches("Glossy", epson(), {}, 0).empty());
}
