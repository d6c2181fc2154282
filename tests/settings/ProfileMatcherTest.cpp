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

// A profile whose file stem is `stem` and whose description is `description` (the stem when empty).
ICCProfileInfo profile(const std::string& stem, const std::string& description = "") {
    return {"/profiles/" + stem + ".icc",
            description.empty() ? stem : description,
            "prtr",
            "RGB ",
            "Lab ",
            "2.1",
            "md5 of " + stem + description};
}

// "description score same|other" per match, so a failure shows the whole ranking.
Words ranking(std::string_view media, const PPDFile& ppd, const std::vector<ICCProfileInfo>& profiles,
              double minimum) {
    Words out;
    for (const auto& m : ProfileMatcher::matches(media, ppd, profiles, minimum)) {
        out.push_back(m.profile.description + " " + std::to_string(m.score).substr(0, 4) +
                      (m.sameModel ? " same" : " other"));
    }
    return out;
}

} // namespace

TEST(ProfileMatcherTest, RanksTheWorkedExample) {
    const std::vector<ICCProfileInfo> profiles{
        profile("SC-P700 Series Premium Glossy"),
        profile("Ultra Premium Glossy Photo Paper for Fine Art"),
        profile("Epson SC-P800 Premium Glossy Photo Paper"),
        profile("Premium Glossy Photo Paper Luster"),
        profile("Epson SC-P700 Premium Glossy Photo Paper"),
    };
    const std::string media = "Premium Glossy Photo Paper";
    EXPECT_EQ(ranking(media, epson(), profiles, 0.6),
              (Words{"Epson SC-P700 Premium Glossy Photo Paper 1.00 same",
                     "Premium Glossy Photo Paper Luster 0.80 other",
                     "Ultra Premium Glossy Photo Paper for Fine Art 0.75 other"}));
    // With no minimum the 0.5 profile stays and, naming this printer, ranks above better scores.
    EXPECT_EQ(ranking(media, epson(), profiles, 0)[1], "SC-P700 Series Premium Glossy 0.50 same");
    EXPECT_EQ(ranking(media, epson(), profiles, 0.8).size(), 2u); // a score equal to the minimum stays
    auto exact = ProfileMatcher::matches(media, epson(), profiles, 0.6);
    EXPECT_EQ(exact[1].score, 0.8);
    EXPECT_EQ(exact[2].score, 0.75);
}

TEST(ProfileMatcherTest, ScoresTheBetterTextAndKeepsTheGivenOrderForTies) {
    const std::vector<ICCProfileInfo> profiles{
        profile("PGPP", "Premium Glossy Photo Paper"),         // the description covers the label
        profile("Glossy"),                                     // 1 of 4 words
        profile("Premium Glossy Photo Paper", "Vendor 7"),     // the file name does
        profile("Photo Glossy Premium Paper Paper", "x"),      // order and repeats do not matter
        profile("Epson Glossy Luster", "Glossy Luster Epson"), // maker without a model: stays
    };
    EXPECT_EQ(ranking("Premium Glossy Photo Paper", epson(), profiles, 0),
              (Words{"Premium Glossy Photo Paper 1.00 other", "Vendor 7 1.00 other", "x 1.00 other",
                     "Glossy 0.25 other", "Glossy Luster Epson 0.20 other"}));
}

TEST(ProfileMatcherTest, SameModelNeedsEveryModelWordInNameOrDescription) {
    const std::vector<ICCProfileInfo> profiles{
        profile("SC-P900 Glossy", "Glossy A"),            // p900 only
        profile("SC-P700 Glossy", "Glossy for 900 P900"), // every word, across both texts
        profile("Glossy", "SC-P700/900 Glossy"),          // every word in one text
        profile("Glossy", "Glossy P7000"),                // p7000 is not p700
    };
    EXPECT_EQ(ranking("Glossy", epson("EPSON SC-P700/900"), profiles, 0),
              (Words{"Glossy for 900 P900 1.00 same", "SC-P700/900 Glossy 1.00 same", "Glossy A 1.00 other",
                     "Glossy P7000 1.00 other"}));
}

TEST(ProfileMatcherTest, DropsProfilesNamingTheMakerWithAnotherModel) {
    const std::vector<ICCProfileInfo> profiles{
        profile("EPSON Premium Luster 260"), // a paper weight reads as another model
        profile("Epson Premium Luster"),
        profile("Canon PRO-1000 Premium Luster"), // another maker's model
        profile("EPSON SC-P700 Premium Luster 260"),
    };
    EXPECT_EQ(ranking("Premium Luster", epson(), profiles, 0.6),
              (Words{"EPSON SC-P700 Premium Luster 260 1.00 same", "Epson Premium Luster 1.00 other",
                     "Canon PRO-1000 Premium Luster 0.75 other"}));
    // No digit in the model name: nothing is this model, so every maker-and-digit profile goes.
    EXPECT_EQ(ranking("Premium Luster", epson("EPSON Photo Printer"), profiles, 0.6),
              (Words{"Epson Premium Luster 1.00 other", "Canon PRO-1000 Premium Luster 0.75 other"}));
    EXPECT_EQ(ranking("Premium Luster", epson(""), profiles, 0.6).front(),
              "EPSON SC-P700 Premium Luster 260 1.00 same"); // the nick name stands in

    // No manufacturer: nothing is dropped and the maker's name is an ordinary paper word (ignored, the
    // score below would be 1/3).
    PPDFile anonymous = epson();
    anonymous.manufacturer = "";
    EXPECT_EQ(ranking("Epson Premium Gloss", anonymous, {profile("Epson SC-P800 Premium Luster")}, 0),
              (Words{"Epson SC-P800 Premium Luster 0.50 other"}));
}
