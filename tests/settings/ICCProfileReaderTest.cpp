#include "PrintKit/settings/ICCProfileReader.h"

#include "TestProfiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unordered_set>

using namespace PrintKit;
using namespace TestProfiles;
using namespace std::string_literals;

namespace {

std::optional<ICCProfileInfo> parse(const std::string& bytes, bool printerRGB = true,
                                    const std::string& path = "/profiles/Test Paper.icc") {
    return ICCProfileReader::parse(bytes, path, printerRGB);
}

// The description a hand-laid profile gets from its only tag, or "refused".
std::string describe(const std::string& tagData) {
    auto info = parse(handMade({{"desc", tagData}}));
    return info ? info->description : "refused";
}

} // namespace

TEST(ICCProfileReaderTest, ReadsLittleCMSProfilesOfEveryKind) {
    TestSupport::TemporaryDirectory folder;
    TestSupport::writeFile(folder / "v2.icc",
                           make(Kind::rgbPrinter, 2.1, {{"en", "US", L"SC-P700 Premium Glossy"}}));
    auto v2 = ICCProfileReader::read(folder / "v2.icc", true);
    ASSERT_TRUE(v2);
    EXPECT_EQ(*v2, (ICCProfileInfo{(folder / "v2.icc").string(), "SC-P700 Premium Glossy", "prtr", "RGB ",
                                   "XYZ ", "2.1", v2->md5}));
    std::string sum; // the identity is the MD5 of every byte, as md5sum sees it
    ASSERT_EQ(TestSupport::run("md5sum '" + (folder / "v2.icc").string() + "'", &sum), 0);
    EXPECT_EQ(v2->md5, sum.substr(0, 32));

    // Version 4 descriptions are multi-localised; the first record counts, whatever its language.
    auto v4 =
        parse(make(Kind::rgbPrinter, 4.3, {{"de", "DE", L"Glänzendes Papier"}, {"en", "US", L"Glossy"}}));
    ASSERT_TRUE(v4);
    EXPECT_EQ(v4->description, "Glänzendes Papier");
    EXPECT_EQ(v4->version, "4.3");

    // Display and CMYK profiles only where an RGB printer profile is not required.
    for (const auto& [kind, header] :
         {std::pair{Kind::rgbDisplay, "mntrRGB XYZ "}, std::pair{Kind::cmykPrinter, "prtrCMYKLab "}}) {
        const std::string bytes = make(kind, 4.3, {{"en", "US", L"Other"}});
        EXPECT_FALSE(parse(bytes));
        auto info = parse(bytes, false);
        ASSERT_TRUE(info) << header;
        EXPECT_EQ(info->deviceClass + info->colorSpace + info->connectionSpace + info->description,
                  std::string(header) + "Other");
        EXPECT_FALSE(info->isRGBPrinterProfile());
    }
}

TEST(ICCProfileReaderTest, DecodesDescriptionsWithinTheirBounds) {
    EXPECT_EQ(describe(textDescription(std::string("Glossy\0Matte", 12), 12)), "Glossy");
    EXPECT_EQ(describe(textDescription("Baryta Paper", 6)), "Baryta");
    EXPECT_EQ(describe(textDescription("Papier \xE9pais", 13)), "Papier épais"); // ISO 8859-1
    // A count beyond the tag's size: only size − 12 bytes are text.
    EXPECT_EQ(
        parse(handMade({{"desc", textDescription("Luster Paper", 200), std::nullopt, 18}}))->description,
        "Luster");
    EXPECT_EQ(describe(multiLocalized({{"enUS", utf16(u"Fine 😀")}})), "Fine 😀");
    // Version 4 working spaces often count a terminating U+0000 into the record: the text ends there.
    for (const std::u16string& text : {u"Glossy Paper\0"s, u"Glossy Paper\0Matte\0"s}) {
        const auto v4 = parse(handMade({{"desc", multiLocalized({{"enUS", utf16(text)}})}}, 0x04300000));
        EXPECT_EQ(v4->description + "|" + v4->version, "Glossy Paper|4.3");
    }
    // Unicode white space and line breaks are trimmed (A0 is a no-break space in ISO 8859-1).
    EXPECT_EQ(describe(textDescription("\xA0 Matte \t\xA0", 10)), "Matte");
    EXPECT_EQ(describe(multiLocalized({{"enUS", utf16(u"\u2028Satin\u3000")}})), "Satin");
    std::string far = multiLocalized({{"enUS", utf16(u"Glossy")}});
    far.replace(24, 4, be32(0x7FFFFFF0)); // string offset far outside the bytes
    // Anything unusable names the profile by its file stem, and never rejects it.
    for (const std::string& data :
         {textDescription("", 0), textDescription("  \r\n ", 5),
          multiLocalized({{"enUS", utf16(u"Bad \xD800!")}}), multiLocalized({{"enUS", "odd"}}),
          multiLocalized({}), far, std::string("text\0\0\0\0Plain", 13)}) {
        EXPECT_EQ(describe(data), "Test Paper");
    }
    EXPECT_EQ(parse(handMade({}), true, "/a/Ultra Glossy.icc")->description, "Ultra Glossy");
    EXPECT_EQ(parse(handMade({}), true, "Archival.Matte.icm")->description, "Archival.Matte");
}

TEST(ICCProfileReaderTest, OnlyTheFirstDescriptionEntryAmongTheFirst256Counts) {
    const Tag later{"desc", textDescription("Later", 5)};
    EXPECT_EQ(parse(handMade({{"desc", std::string("text\0\0\0\0Plain", 13)}, later}))->description,
              "Test Paper");
    auto descriptionAt = [&](int position) {
        std::vector<Tag> tags(static_cast<std::size_t>(position - 1), Tag{"pad ", "data"});
        tags.push_back({"desc", textDescription("Deep", 4)});
        return parse(handMade(tags))->description;
    };
    EXPECT_EQ(descriptionAt(256), "Deep");
    EXPECT_EQ(descriptionAt(257), "Test Paper");
}

TEST(ICCProfileReaderTest, RefusesShortOrUnmarkedDataAndNamesDamagedProfilesByTheirStem) {
    const std::string empty = handMade({});
    ASSERT_EQ(empty.size(), 132u);
    EXPECT_TRUE(parse(empty));
    EXPECT_FALSE(parse(empty.substr(0, 131)));
    EXPECT_FALSE(parse(std::string(empty).replace(36, 4, "ACSP")));
    // The version shows the major and the first minor digit only.
    for (const auto& [word, shown] :
         {std::pair<std::uint32_t, const char*>{0x042F0000, "4.2"}, {0xFFF0FFFF, "255.15"}}) {
        EXPECT_EQ(parse(handMade({}, word))->version, shown);
    }
    // A damaged tag table never rejects a profile (the header is what identifies it) and is never read
    // outside the bytes: the file stem stands in for a description that cannot be reached.
    EXPECT_EQ(parse(std::string(empty).replace(128, 4, be32(1)))->description, "Test Paper");
    const Tag text{"desc", textDescription("Glossy", 6)};
    const std::string curve = "curv" + be32(0) + be32(0);
    EXPECT_EQ(parse(handMade({text, {"rTRC", curve}, {"gTRC", "", 4000, ~0u}}))->description, "Glossy");
    for (std::uint32_t count : {4u, 0x15555555u, ~0u}) { // more entries than the bytes hold
        EXPECT_EQ(parse(handMade({text, {"rTRC", curve}}, 0x02100000, count))->description, "Glossy")
            << count;
    }
    EXPECT_EQ(parse(handMade({{"desc", "", 4000, 40}}))->description, "Test Paper"); // past the end
    const std::string whole = make(Kind::rgbPrinter, 4.3, {{"en", "US", L"Cut Short"}});
    for (std::size_t keep : {whole.size() - 4, whole.size() / 2, std::size_t{140}}) {
        auto info = parse(whole.substr(0, keep));
        ASSERT_TRUE(info) << keep;
        EXPECT_TRUE(info->description == "Cut Short" || info->description == "Test Paper") << keep;
    }
}

TEST(ICCProfileReaderTest, ReadsOnlyRegularFilesAndIdentifiesThemByContent) {
    TestSupport::TemporaryDirectory folder;
    const std::string bytes = make(Kind::rgbPrinter, 2.1, {});
    TestSupport::writeFile(folder / "Glossy.icc", bytes);
    TestSupport::writeFile(folder / "Copy of Glossy.icc", bytes);
    auto first = ICCProfileReader::read(folder / "Glossy.icc", true);
    auto second = ICCProfileReader::read(folder / "Copy of Glossy.icc", true);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->md5, second->md5);
    EXPECT_EQ(first->description + "|" + second->description, "Glossy|Copy of Glossy");
    EXPECT_NE(parse(bytes.substr(0, bytes.size() - 1) + static_cast<char>(bytes.back() ^ 1))->md5,
              first->md5);

    std::filesystem::create_directory(folder / "folder.icc");
    ASSERT_EQ(::mkfifo((folder / "pipe.icc").c_str(), 0600), 0); // no writer: opening must not wait
    for (auto path : {folder / "missing.icc", folder / "folder.icc", folder / "pipe.icc"}) {
        EXPECT_FALSE(ICCProfileReader::read(path, false)) << path;
    }
    EXPECT_FALSE(ICCProfileReader::read("/dev/zero", false));
}

TEST(ICCProfileReaderTest, RecordsRoundTripThroughJSONAndHashByValue) {
    auto info = parse(make(Kind::rgbPrinter, 4.3, {{"en", "US", L"Photo Rag"}}));
    ASSERT_TRUE(info);
    nlohmann::json json = *info;
    EXPECT_EQ(json.at("colorSpace"), "RGB ");
    json["unknown"] = 1;
    EXPECT_EQ(json.get<ICCProfileInfo>(), *info);
    json.erase("md5");
    EXPECT_THROW(json.get<ICCProfileInfo>(), nlohmann::json::out_of_range);
    ICCProfileInfo renamed = *info;
    renamed.description = "Other";
    EXPECT_EQ((std::unordered_set<ICCProfileInfo>{*info, *info, renamed}.size()), 2u);
}
