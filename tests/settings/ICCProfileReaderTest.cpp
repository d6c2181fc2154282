#include "PrintKit/settings/ICCProfileReader.h"

#include "TestProfiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unordered_set>

using namespace PrintKit;
using TestProfiles::Kind;
using TestProfiles::Tag;

namespace {

std::optional<ICCProfileInfo> parse(const std::string& bytes,
                                    const std::string& path = "/profiles/Test Paper.icc",
                                    bool printerRGB = true) {
    return ICCProfileReader::parse(bytes, path, printerRGB);
}

std::string describedAs(const std::optional<ICCProfileInfo>& info) {
    return info ? info->description : "(refused)";
}

// A hand-laid profile whose only tag is the given description data.
std::string withDescription(const std::string& data) {
    return TestProfiles::handMade({{"desc", data}});
}

std::string utf16(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
    }
    return bytes;
}

} // namespace

TEST(ICCProfileReaderTest, ReadsPrinterProfilesOfBothDescriptionKinds) {
    TestSupport::TemporaryDirectory folder;
    const std::string v2 = TestProfiles::make(Kind::rgbPrinter, 2.1, L"SC-P700 Premium Glossy");
    const std::string v4 = TestProfiles::make(Kind::rgbPrinter, 4.3, L"Velvet Fine Art");
    TestSupport::writeFile(folder / "v2.icc", v2);
    TestSupport::writeFile(folder / "v4.icm", v4);

    auto old = ICCProfileReader::read(folder / "v2.icc", true);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->path, (folder / "v2.icc").string());
    EXPECT_EQ(old->description, "SC-P700 Premium Glossy");
    EXPECT_EQ(old->deviceClass, "prtr");
    EXPECT_EQ(old->colorSpace, "RGB ");
    EXPECT_EQ(old->connectionSpace, "XYZ ");
    EXPECT_EQ(old->version, "2.1");
    EXPECT_EQ(old->fileName(), "v2.icc");
    EXPECT_TRUE(old->isRGBPrinterProfile());

    auto current = ICCProfileReader::read(folder / "v4.icm", true);
    ASSERT_TRUE(current);
    EXPECT_EQ(current->description, "Velvet Fine Art");
    EXPECT_EQ(current->version, "4.3");

    // The identity is the MD5 of the whole file, as md5sum computes it.
    std::string sum;
    ASSERT_EQ(TestSupport::run("md5sum '" + (folder / "v4.icm").string() + "'", &sum), 0);
    EXPECT_EQ(current->md5, sum.substr(0, 32));
}

TEST(ICCProfileReaderTest, DisplayAndCMYKProfilesAreRefusedOnlyWhenRGBPrinterIsRequired) {
    const std::string display = TestProfiles::make(Kind::rgbDisplay, 4.3, L"Studio Monitor");
    const std::string cmyk = TestProfiles::make(Kind::cmykPrinter, 2.1, L"Press Coated");
    EXPECT_FALSE(parse(display));
    EXPECT_FALSE(parse(cmyk));

    auto monitor = parse(display, "/x/Monitor.icc", false);
    ASSERT_TRUE(monitor);
    EXPECT_EQ(monitor->deviceClass, "mntr");
    EXPECT_EQ(monitor->description, "Studio Monitor");
    EXPECT_FALSE(monitor->isRGBPrinterProfile());

    auto press = parse(cmyk, "/x/Press.icc", false);
    ASSERT_TRUE(press);
    EXPECT_EQ(press->deviceClass, "prtr");
    EXPECT_EQ(press->colorSpace, "CMYK");
    EXPECT_EQ(press->connectionSpace, "Lab ");
    EXPECT_EQ(press->description, "Press Coated");
    EXPECT_FALSE(press->isRGBPrinterProfile());
}

TEST(ICCProfileReaderTest, MultiLocalizedDescriptionTakesTheFirstRecord) {
    const std::string bytes = TestProfiles::make(
        Kind::rgbPrinter, 4.2, {{"de", "DE", L"Glänzendes Fotopapier"}, {"en", "US", L"Glossy Photo Paper"}});
    EXPECT_EQ(describedAs(parse(bytes)), "Glänzendes Fotopapier");

    // Characters outside the basic plane arrive whole; broken UTF-16 names the profile by its file.
    EXPECT_EQ(describedAs(parse(withDescription(TestProfiles::multiLocalized({{"enUS", utf16(u"Fine 😀")}})))),
              "Fine 😀");
    EXPECT_EQ(
        describedAs(parse(withDescription(TestProfiles::multiLocalized({{"enUS", utf16(u"Bad \xD800!")}})))),
        "Test Paper");
    EXPECT_EQ(describedAs(parse(withDescription(TestProfiles::multiLocalized({{"enUS", "odd"}})))),
              "Test Paper");
    EXPECT_EQ(describedAs(parse(withDescription(TestProfiles::multiLocalized({})))), "Test Paper");
    // A string offset that leads outside the bytes.
    std::string far = TestProfiles::multiLocalized({{"enUS", utf16(u"Glossy")}});
    far.replace(24, 4, TestProfiles::bigEndian32(0x7FFFFFF0));
    EXPECT_EQ(describedAs(parse(withDescription(far))), "Test Paper");
}

TEST(ICCProfileReaderTest, TextDescriptionIsCutAtZeroAndAtTheTagSize) {
    EXPECT_EQ(describedAs(parse(
                  withDescription(TestProfiles::textDescription(std::string("Glossy\0Matte", 12), 12)))),
              "Glossy");
    // A count larger than the tag holds: only size − 12 bytes are text.
    Tag shortTag{"desc", TestProfiles::textDescription("Luster Paper", 200), std::nullopt, 12 + 6};
    EXPECT_EQ(describedAs(parse(TestProfiles::handMade({shortTag}))), "Luster");
    // A count shorter than the text.
    EXPECT_EQ(describedAs(parse(withDescription(TestProfiles::textDescription("Baryta Paper", 6)))),
              "Baryta");
    // Every byte is one ISO 8859-1 character.
    EXPECT_EQ(describedAs(parse(withDescription(TestProfiles::textDescription("Papier \xE9pais", 13)))),
              "Papier épais");
}

TEST(ICCProfileReaderTest, EmptyOrMissingDescriptionsFallBackToTheFileStem) {
    const std::string none = TestProfiles::make(Kind::rgbPrinter, 2.1, std::vector<TestProfiles::Text>{});
    EXPECT_EQ(describedAs(parse(none, "/Library/Profiles/Ultra Glossy.icc")), "Ultra Glossy");
    EXPECT_EQ(describedAs(parse(none, "Ultra Glossy.icc")), "Ultra Glossy");
    EXPECT_EQ(describedAs(parse(none, "/a/Archival.Matte.icm")), "Archival.Matte");
    EXPECT_EQ(describedAs(parse(withDescription(TestProfiles::textDescription("", 0)))), "Test Paper");
    EXPECT_EQ(describedAs(parse(withDescription(TestProfiles::textDescription("   \t\r\n  ", 10)))),
              "Test Paper");
    // Unicode white space is trimmed too: a no-break space (byte A0 in ISO 8859-1) and a line separator.
    EXPECT_EQ(describedAs(parse(withDescription(TestProfiles::textDescription("\xA0 Matte \xA0", 10)))),
              "Matte");
    EXPECT_EQ(describedAs(parse(
                  withDescription(TestProfiles::multiLocalized({{"enUS", utf16(u"\u2028Satin\u3000")}})))),
              "Satin");
    // A tag count of 0.
    EXPECT_EQ(describedAs(parse(TestProfiles::handMade({}))), "Test Paper");
}

TEST(ICCProfileReaderTest, OnlyTheFirstDescriptionEntryWithinTheFirst256Counts) {
    // The first "desc" entry is of the plain text type: no description, although a later one is readable.
    const std::string later = TestProfiles::textDescription("Later", 5);
    EXPECT_EQ(describedAs(parse(
                  TestProfiles::handMade({{"desc", std::string("text\0\0\0\0Plain", 13)}, {"desc", later}}))),
              "Test Paper");

    auto tableWithDescriptionAt = [&](int position) {
        std::vector<Tag> tags;
        for (int i = 1; i < position; ++i) {
            tags.push_back(
                {"pad" + std::string(1, static_cast<char>('0' + i % 10)), "data" + std::to_string(i)});
        }
        tags.push_back({"desc", TestProfiles::textDescription("Deep Entry", 10)});
        return TestProfiles::handMade(tags);
    };
    EXPECT_EQ(describedAs(parse(tableWithDescriptionAt(256))), "Deep Entry");
    EXPECT_EQ(describedAs(parse(tableWithDescriptionAt(257))), "Test Paper");
}

TEST(ICCProfileReaderTest, VersionShowsMajorAndFirstMinorDigit) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x02100000, "2.1"}, {0x04300000, "4.3"},  {0x04200000, "4.2"},   {0x042F0000, "4.2"},
        {0x04400000, "4.4"}, {0x0A000000, "10.0"}, {0xFFF0FFFF, "255.15"}};
    for (const auto& [word, shown] : cases) {
        auto info = parse(TestProfiles::handMade({}, "prtr", "RGB ", word));
        ASSERT_TRUE(info);
        EXPECT_EQ(info->version, shown) << std::hex << word;
    }
}

TEST(ICCProfileReaderTest, ShortOrUnmarkedDataIsRefused) {
    std::string bytes = TestProfiles::handMade({});
    ASSERT_EQ(bytes.size(), 132u);
    EXPECT_TRUE(parse(bytes));
    EXPECT_FALSE(parse(bytes.substr(0, 131)));
    EXPECT_FALSE(parse(""));
    std::string unmarked = bytes;
    unmarked.replace(36, 4, "ACSP");
    EXPECT_FALSE(parse(unmarked));
    // 132 bytes that announce a tag: its table entry is not there.
    std::string announced = bytes;
    announced.replace(128, 4, TestProfiles::bigEndian32(1));
    EXPECT_FALSE(parse(announced));
}

TEST(ICCProfileReaderTest, DamagedTagTablesAreRefused) {
    const std::string good = TestProfiles::textDescription("Glossy", 6);
    const std::string other = std::string("curv") + std::string(8, '\0');
    ASSERT_TRUE(parse(TestProfiles::handMade({{"desc", good}, {"rTRC", other}})));

    const std::uint32_t tableEnd = 128 + 4 + 2 * 12;
    // Data past the end, a size that overflows 32 bits when added, data inside the header or table.
    EXPECT_FALSE(parse(TestProfiles::handMade({{"desc", good}, {"rTRC", other, 4000, std::nullopt}})));
    EXPECT_FALSE(parse(TestProfiles::handMade({{"desc", good}, {"rTRC", other, std::nullopt, 0xFFFFFFFF}})));
    EXPECT_FALSE(parse(TestProfiles::handMade({{"desc", good}, {"rTRC", other, 64, std::nullopt}})));
    EXPECT_FALSE(
        parse(TestProfiles::handMade({{"desc", good}, {"rTRC", other, tableEnd - 4, std::nullopt}})));
    // Two tags that share part of their data; sharing all of it is how profiles reuse a table.
    EXPECT_FALSE(
        parse(TestProfiles::handMade({{"desc", good}, {"rTRC", other, tableEnd + 8, std::nullopt}})));
    const std::uint32_t curveOffset = 128 + 4 + 4 * 12 + 20; // after a table of four and the padded text
    auto shared = parse(TestProfiles::handMade(
        {{"desc", good}, {"rTRC", other}, {"gTRC", "", curveOffset, 12}, {"bTRC", "", curveOffset, 12}}));
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->description, "Glossy");
    // Tag counts that the bytes cannot hold.
    for (std::uint32_t count : {3u, 1000u, 0x15555555u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(parse(
            TestProfiles::handMade({{"desc", good}, {"rTRC", other}}, "prtr", "RGB ", 0x02100000, count)))
            << count;
    }
}

TEST(ICCProfileReaderTest, ProfilesCutShortAreRefused) {
    const std::string whole = TestProfiles::make(Kind::rgbPrinter, 4.3, L"Cut Short");
    ASSERT_TRUE(parse(whole));
    // Tags end on four-byte boundaries, so losing four bytes always cuts into the last one.
    for (std::size_t keep : {whole.size() - 4, whole.size() / 2, std::size_t{200}, std::size_t{140}}) {
        EXPECT_FALSE(parse(whole.substr(0, keep))) << keep;
    }
}

TEST(ICCProfileReaderTest, IdenticalFilesShareTheirIdentityOnly) {
    TestSupport::TemporaryDirectory folder;
    const std::string bytes = TestProfiles::make(Kind::rgbPrinter, 2.1, std::vector<TestProfiles::Text>{});
    TestSupport::writeFile(folder / "Glossy.icc", bytes);
    TestSupport::writeFile(folder / "Copy of Glossy.icc", bytes);
    auto first = ICCProfileReader::read(folder / "Glossy.icc", true);
    auto second = ICCProfileReader::read(folder / "Copy of Glossy.icc", true);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->md5, second->md5);
    EXPECT_NE(first->path, second->path);
    EXPECT_EQ(first->description, "Glossy");
    EXPECT_EQ(second->description, "Copy of Glossy");
    EXPECT_NE(*first, *second);

    std::string changed = bytes;
    changed.back() = static_cast<char>(changed.back() ^ 1);
    EXPECT_NE(parse(changed)->md5, first->md5);
}

TEST(ICCProfileReaderTest, OnlyReadableRegularFilesAreRead) {
    TestSupport::TemporaryDirectory folder;
    EXPECT_FALSE(ICCProfileReader::read(folder / "missing.icc", false));
    std::filesystem::create_directory(folder / "folder.icc");
    EXPECT_FALSE(ICCProfileReader::read(folder / "folder.icc", false));
    // A pipe with no writer: opening it must not wait.
    ASSERT_EQ(::mkfifo((folder / "pipe.icc").c_str(), 0600), 0);
    EXPECT_FALSE(ICCProfileReader::read(folder / "pipe.icc", false));
    EXPECT_FALSE(ICCProfileReader::read("/dev/zero", false));
}

TEST(ICCProfileReaderTest, RecordsRoundTripThroughJSONAndHashByValue) {
    auto info = parse(TestProfiles::make(Kind::rgbPrinter, 4.3, L"Photo Rag"), "/p/Photo Rag.icc");
    ASSERT_TRUE(info);
    nlohmann::json json = *info;
    EXPECT_EQ(json.size(), 7u);
    EXPECT_EQ(json.at("deviceClass"), "prtr");
    EXPECT_EQ(json.at("colorSpace"), "RGB ");
    json["unknown"] = 1;
    EXPECT_EQ(json.get<ICCProfileInfo>(), *info);

    nlohmann::json missing = json;
    missing.erase("md5");
    EXPECT_THROW(missing.get<ICCProfileInfo>(), nlohmann::json::out_of_range);
    nlohmann::json wrongType = json;
    wrongType["version"] = 4.3;
    EXPECT_THROW(wrongType.get<ICCProfileInfo>(), nlohmann::json::type_error);

    ICCProfileInfo same = *info;
    ICCProfileInfo renamed = *info;
    renamed.description = "Other";
    std::unordered_set<ICCProfileInfo> set{*info, same, renamed};
    EXPECT_EQ(set.size(), 2u);
}
