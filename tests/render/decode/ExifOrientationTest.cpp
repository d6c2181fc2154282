#include "PrintKit/render/decode/ExifOrientation.h"

#include "TestImages.h"

#include <gtest/gtest.h>
#include <string>

using namespace PrintKit;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string little(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>(value >> (8 * i));
    }
    return out;
}

// A little-endian TIFF header and one IFD of `count` entries, whose entries are given raw.
std::string withEntries(std::uint16_t count, const std::string& entries, std::uint32_t ifdOffset = 8) {
    return std::string("II\x2A\0", 4) + little(ifdOffset, 4) + little(count, 2) + entries;
}

std::string entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
    return little(tag, 2) + little(type, 2) + little(count, 4) + little(value, 4);
}

} // namespace

TEST(ExifOrientationTest, ReadsTheTagInBothByteOrdersAndInJpegSegments) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        EXPECT_EQ(ExifOrientation::fromTiffBytes(bytesOf(TestImages::exif(orientation, false))), orientation);
        EXPECT_EQ(ExifOrientation::fromTiffBytes(bytesOf(TestImages::exif(orientation, true))), orientation);
    }
    EXPECT_EQ(ExifOrientation::fromTiffBytes(bytesOf(TestImages::exif(std::nullopt))), std::nullopt);
    EXPECT_EQ(
        ExifOrientation::fromJpegSegment(bytesOf(std::string("Exif\0\0", 6) + TestImages::exif(6, true))), 6);
    EXPECT_EQ(
        ExifOrientation::fromJpegSegment(bytesOf(std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 34))),
        std::nullopt);
    // A value the tag cannot mean still comes through; normalising it gives upright.
    EXPECT_EQ(ExifOrientation::normalized(9), 1);
    EXPECT_EQ(ExifOrientation::normalized(std::nullopt), 1);
    EXPECT_EQ(ExifOrientation::normalized(7), 7);
}

TEST(ExifOrientationTest, EveryOffsetIsCheckedAgainstTheBytes) {
    const std::string good = entry(0x0112, 3, 1, 6);
    const std::pair<std::string, std::optional<int>> cases[] = {
        {withEntries(1, good), 6},
        {withEntries(3, entry(0x010F, 2, 4, 0x414243) + entry(0x0112, 4, 1, 8) + entry(0x0132, 2, 20, 100)),
         8},
        {withEntries(1, entry(0x0112, 3, 1, 9)), 9},
        {withEntries(1, good, 200), std::nullopt},              // IFD past the end
        {withEntries(1, good, 0xFFFFFFF8u), std::nullopt},      // offset + size wraps in 32 bits
        {withEntries(2, good), std::nullopt},                   // more entries claimed than present
        {withEntries(0xFFFF, good), std::nullopt},              //
        {withEntries(1, good.substr(0, 10)), std::nullopt},     // an entry cut short
        {withEntries(1, entry(0x0112, 2, 1, 6)), std::nullopt}, // wrong type
        {withEntries(1, entry(0x0112, 3, 2, 6)), std::nullopt}, // wrong count
        {"II*", std::nullopt},
        {std::string("XX\x2A\0\x08\0\0\0", 8), std::nullopt},
        {std::string("II\x2B\0\x08\0\0\0", 8), std::nullopt},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(ExifOrientation::fromTiffBytes(bytesOf(bytes)), expected) << &bytes - &cases[0].first;
    }
    // Every truncation of a good block is refused or read correctly, never read past its end.
    const std::string whole = TestImages::exif(5, true);
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const auto value = ExifOrientation::fromTiffBytes(bytesOf(whole.substr(0, n)));
        EXPECT_TRUE(!value || *value == 5) << n;
    }
}
