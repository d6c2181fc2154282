#include "PrintKit/support/Dates.h"
#include "PrintKit/support/Md5.h"
#include "PrintKit/support/Uuid.h"

#include <gtest/gtest.h>
#include <set>

using namespace PrintKit;
using namespace std::chrono;

TEST(UuidTest, RandomIdsAreVersionFourUpperCaseAndParsingIsStrictButCaseBlind) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        Uuid id = Uuid::random();
        EXPECT_EQ(id.bytes[6] >> 4, 4);      // version
        EXPECT_EQ(id.bytes[8] & 0xC0, 0x80); // RFC 4122 variant
        EXPECT_EQ(id.string().find_first_of("abcdef"), std::string::npos);
        EXPECT_EQ(Uuid::parse(id.string()), id);
        seen.insert(id.string());
    }
    EXPECT_EQ(seen.size(), 100u);
    EXPECT_EQ(Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")->string(),
              "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    for (const char* bad : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",
                            "E621E1F8-C36C-495A-93FC-0C247A3E6E5", "E621E1F8-C36C-495A-93FC-0C247A3E6E5G",
                            "E621E1F8-C36C-495A-93FC0-C247A3E6E5F", " E621E1F8-C36C-495A-93FC-0C247A3E6E5"}) {
        EXPECT_FALSE(Uuid::parse(bad)) << bad;
    }
}

TEST(DatesTest, WritesWholeSecondsInUtcAndReadsOffsetsAndFractions) {
    const Timestamp expected = sys_days{2024y / May / 1} + 9h + 30min;
    EXPECT_EQ(Dates::formatRFC3339(expected + 750ms), "2024-05-01T09:30:00Z");
    EXPECT_EQ(Dates::formatRFC3339(sys_days{1969y / December / 31} + 23h + 59min + 59s + 500ms),
              "1969-12-31T23:59:59Z"); // a fraction before 1970 still rounds toward the past
    EXPECT_EQ(Dates::parseRFC3339("2024-05-01T18:30:00+09:00"), expected);
    EXPECT_EQ(Dates::parseRFC3339("2024-05-01t09:30:00z"), expected);
    EXPECT_EQ(Dates::parseRFC3339("2024-05-01T09:30:00.25Z"), expected + 250ms);
    for (const char* bad : {"", "2024-05-01", "2024-05-01T09:30:00", "2024-02-30T00:00:00Z",
                            "2024-05-01T24:00:00Z", "2024-05-01 09:30:00Z", "2024-05-01T09:30:00.Z",
                            "2024-05-01T09:30:00+0900", "2024-05-01T09:30:00Zjunk",
                            // The clock counts nanoseconds in 64 bits: about 1677-09-21 to 2262-04-11.
                            "9999-12-31T23:59:59Z", "2263-01-01T00:00:00Z", "0000-01-01T00:00:00+23:59",
                            "1677-01-01T00:00:00Z"}) {
        EXPECT_FALSE(Dates::parseRFC3339(bad)) << bad;
    }
    EXPECT_EQ(Dates::parseRFC3339("2262-01-01T00:00:00Z"), Timestamp(sys_days{2262y / January / 1}));
    EXPECT_EQ(Dates::parseRFC3339("1678-01-01T00:00:00.5Z"),
              Timestamp(sys_days{1678y / January / 1} + 500ms));
}
