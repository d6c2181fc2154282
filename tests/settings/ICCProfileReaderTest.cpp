#include "PrintKit/settings/ICCProfileReader.h"

#include "TestProfiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

using namespace PrintKit;
using namespace TestProfiles;
using namespace std::string_literals;

namespace {

std::optional<ICCProfileInfo> parse(const std::string& bytes, bool printerRGB = true,
                                    const std::string& path = "/profiles/Test Paper.icc") {
    return ICCProfileReader::parse(bytes, path, printerRGB);
}

// The description a hand-laid profile gets from its only tag.
std::string describe(const std::string& tagData, std::uint32_t version = 0x02100000) {
    return parse(handMade({{"desc", tagData}}, version))->description;
}

} // namespace

TEST(ICCProfileReaderTest, ReadsLittleCMSProfilesOfEveryKindAndIdentifiesThemByContent) {
    TestSupport::TemporaryDirectory folder;
    const std::string bytes = make(Kind::rgbPrinter, 2.1, {{"en", "US", L"SC-P700 Premium Glossy"}});
    TestSupport::writeFile(folder / "v2.icc", bytes);
    TestSupport::writeFile(folder / "Copy.icc", bytes);
    auto v2 = ICCProfileReader::read(folder / "v2.icc", true);
    ASSERT_TRUE(v2);
    EXPECT_EQ(*v2, (ICCProfileInfo{(folder / "v2.icc").string(), "SC-P700 Premium Glossy", "prtr", "RGB ",
                                   "XYZ ", "2.1", v2->md5}));
    std::string sum; // the identity is the MD5 of every byte, as md5sum sees it
    ASSERT_EQ(TestSupport::run("md5sum '" + (folder / "v2.icc").string() + "'", &sum), 0);
    EXPECT_EQ(v2->md5, sum.substr(0, 32));
    EXPECT_EQ(ICCProfileReader::read(folder / "Copy.icc", true)->md5, v2->md5);
    EXPECT_EQ(nlohmann::json(*v2).get<ICCProfileInfo>(), *v2);
    // Version 4 descriptions are multi-localised; the first record counts, whatever its language.
    auto v4 =
        parse(make(Kind::rgbPrinter, 4.3, {{"de", "DE", L"Glänzendes Papier"}, {"en", "US", L"Glossy"}}));
    EXPECT_EQ(v4->description + " " + v4->version, "Glänzendes Papier 4.3");
    // Display and CMYK profiles only where an RGB printer profile is not required.
    for (auto [kind, header] :
         {std::pair{Kind::rgbDisplay, "mntrRGB XYZ "}, std::pair{Kind::cmykPrinter, "prtrCMYKLab "}}) {
        const std::string other = make(kind, 4.3, {{"en", "US", L"Other"}});
        EXPECT_FALSE(parse(other));
        auto info = parse(other, false);
        ASSERT_TRUE(info) << header;
        EXPECT_EQ(info->deviceClass + info->colorSpace + info->connectionSpace + info->description,
                  std::string(header) + "Other");
    }
    // Only regular files are read: a FIFO without a writer must not make the scan wait.
    std::filesystem::create_directory(folder / "folder.icc");
    ASSERT_EQ(::mkfifo((folder / "pipe.icc").c_str(), 0600), 0);
    for (auto path : {folder / "missing.icc", folder / "folder.icc", folder / "pipe.icc",
                      std::filesystem::path("/dev/zero")}) {
        EXPECT_FALSE(ICCProfileReader::read(path, false)) << path;
    }
}

TEST(ICCProfileReaderTest, DecodesDescriptionsWithinTheirBoundsElseNamesTheProfileByItsStem) {
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
        EXPECT_EQ(describe(multiLocalized({{"enUS", utf16(text)}}), 0x04300000), "Glossy Paper");
    }
    // Unicode white space and line breaks are trimmed (A0 is a no-break space in ISO 8859-1).
    EXPECT_EQ(describe(textDescription("\xA0 Matte \t\xA0", 10)), "Matte");
    EXPECT_EQ(describe(multiLocalized({{"enUS", utf16(u"\u2028Satin\u3000")}})), "Satin");
    std::string far = multiLocalized({{"enUS", utf16(u"Glossy")}});
    far.replace(24, 4, be32(0x7FFFFFF0)); // string offset far outside the bytes
    for (const std::string& data :
         {textDescription("", 0), textDescription("  \r\n ", 5),
          multiLocalized({{"enUS", utf16(u"Bad \xD800!")}}), multiLocalized({{"enUS", "odd"}}),
          multiLocalized({}), far, std::string("text\0\0\0\0Plain", 13)}) {
        EXPECT_EQ(describe(data), "Test Paper");
    }
    EXPECT_EQ(parse(handMade({}), true, "Archival.Matte.icm")->description, "Archival.Matte");
    // Only the first description entry among the first 256 counts.
    EXPECT_EQ(
        parse(handMade({{"desc", "text\0\0\0\0Plain"s}, {"desc", textDescription("Later", 5)}}))->description,
        "Test Paper");
    for (int position : {256, 257}) {
        std::vector<Tag> tags(static_cast<std::size_t>(position - 1), Tag{"pad ", "data"});
        tags.push_back({"desc", textDescription("Deep", 4)});
        EXPECT_EQ(parse(handMade(tags))->description, position == 256 ? "Deep" : "Test Paper");
    }
}

TEST(ICCProfileReaderTest, RefusesShortOrUnmarkedDataAndNeverReadsADamagedTableOutsideTheBytes) {
    const std::string empty = handMade({});
    ASSERT_EQ(empty.size(), 132u);
    EXPECT_TRUE(parse(empty));
    EXPECT_FALSE(parse(empty.substr(0, 131)));
    EXPECT_FALSE(parse(std::string(empty).replace(36, 4, "ACSP")));
    // The version shows the major and the first minor digit only.
    EXPECT_EQ(parse(handMade({}, 0x042F0000))->version, "4.2");
    EXPECT_EQ(parse(handMade({}, 0xFFF0FFFF))->version, "255.15");
    // A damaged tag table never rejects a profile (the header is what identifies it).
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
