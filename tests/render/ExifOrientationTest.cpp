#include "PrintKit/render/ExifOrientation.h"

#include "TestImages.h"

#include <gtest/gtest.h>
#include <string>

using namespace PrintKit;

namespace {

std::optional<int> read(const std::string& bytes) {
    return ExifOrientation::fromTiffBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

// A little-endian TIFF header followed by one IFD whose entries are given raw.
std::string withEntries(std::uint16_t count, const std::string& entries, std::uint32_t ifdOffset = 8) {
    std::string out = "II";
    out += std::string("\x2A\x00", 2);
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>(ifdOffset >> (8 * i));
    }
    out += static_cast<char>(count & 0xFF);
    out += static_cast<char>(count >> 8);
    return out + entries;
}

std::string entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
    std::string out;
    auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out += static_cast<char>(v >> (8 * i));
        }
    };
    put(tag, 2);
    put(type, 2);
    put(count, 4);
    put(value, 4);
    return out;
}

} // namespace

TEST(ExifOrientationTest, ReadsTheTagInBothByteOrders) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        EXPECT_EQ(read(TestImages::exif(orientation, false)), orientation);
        EXPECT_EQ(read(TestImages::exif(orientation, true)), orientation);
    }
    EXPECT_EQ(read(TestImages::exif(std::nullopt)), std::nullopt);
    // The same in a JPEG segment, which carries the "Exif" signature first.
    std::string segment = std::string("Exif\0\0", 6) + TestImages::exif(6, true);
    EXPECT_EQ(ExifOrientation::fromJpegSegment(
                  std::span(reinterpret_cast<const std::uint8_t*>(segment.data()), segment.size())),
              6);
    std::string xmp = "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>";
    EXPECT_EQ(ExifOrientation::fromJpegSegment(
                  std::span(reinterpret_cast<const std::uint8_t*>(xmp.data()), xmp.size())),
              std::nullopt);
}

TEST(ExifOrientationTest, FindsTheTagAmongOthersAndAcceptsALongValue) {
    std::string entries =
        entry(0x010F, 2, 4, 0x00414243) + entry(0x0112, 4, 1, 8) + entry(0x0132, 2, 20, 100);
    EXPECT_EQ(read(withEntries(3, entries)), 8);
    EXPECT_EQ(read(withEntries(1, entry(0x0112, 3, 1, 3))), 3);
    // A value the tag cannot mean still comes through; normalising it gives upright.
    EXPECT_EQ(read(withEntries(1, entry(0x0112, 3, 1, 9))), 9);
    EXPECT_EQ(ExifOrientation::normalized(9), 1);
    EXPECT_EQ(ExifOrientation::normalized(0), 1);
    EXPECT_EQ(ExifOrientation::normalized(std::nullopt), 1);
    EXPECT_EQ(ExifOrientation::normalized(7), 7);
}

TEST(ExifOrientationTest, EveryOffsetIsCheckedAgainstTheBytes) {
    const std::string good = entry(0x0112, 3, 1, 6);
    EXPECT_EQ(read(withEntries(1, good)), 6);
    // IFD offset beyond the end, or so large that offset + size wraps in 32 bits.
    EXPECT_EQ(read(withEntries(1, good, 200)), std::nullopt);
    EXPECT_EQ(read(withEntries(1, good, 0xFFFFFFF8u)), std::nullopt);
    EXPECT_EQ(read(withEntries(1, good, 0xFFFFFFFFu)), std::nullopt);
    // More entries claimed than present.
    EXPECT_EQ(read(withEntries(2, good)), std::nullopt);
    EXPECT_EQ(read(withEntries(0xFFFF, good)), std::nullopt);
    // An entry cut short.
    EXPECT_EQ(read(withEntries(1, good.substr(0, 10))), std::nullopt);
    // Wrong type or count.
    EXPECT_EQ(read(withEntries(1, entry(0x0112, 2, 1, 6))), std::nullopt);
    EXPECT_EQ(read(withEntries(1, entry(0x0112, 3, 2, 6))), std::nullopt);
    // Broken headers.
    EXPECT_EQ(read(""), std::nullopt);
    EXPECT_EQ(read("II*"), std::nullopt);
    EXPECT_EQ(read(std::string("XX\x2A\0\x08\0\0\0", 8)), std::nullopt);
    EXPECT_EQ(read(std::string("II\x2B\0\x08\0\0\0", 8)), std::nullopt);
    // Every truncation of a good block is refused or read correctly, never read past its end.
    std::string whole = TestImages::exif(5, true);
    for (std::size_t n = 0; n < whole.size(); ++n) {
        std::string cut = whole.substr(0, n);
        auto value = read(cut);
        EXPECT_TRUE(!value || *value == 5) << n;
    }
}
