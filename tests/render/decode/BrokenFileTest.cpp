#include "PrintKit/render/decode/HeifDecoder.h"
#include "PrintKit/render/decode/ImageDecoder.h"
#include "PrintKit/render/decode/JpegDecoder.h"
#include "PrintKit/render/decode/PngDecoder.h"
#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/render/decode/TiffDecoder.h"
#include "TestImages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <zlib.h>

using namespace PrintKit;

// Damaged and forged files: each must end in SheetRenderError.unreadableImage — never a crash, an abort, a
// read outside the file or an allocation of what the header claims. The sanitizer build runs these too.

namespace {

void put32be(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (24 - 8 * i));
    }
}

void expectRefused(const std::string& bytes, const std::string& what, bool probeToo = true) {
    TestSupport::TemporaryDirectory folder;
    auto path = folder / "broken";
    TestImages::write(path, bytes);
    auto check = [&](const std::function<void()>& body, const char* step) {
        try {
            body();
            ADD_FAILURE() << what << ": " << step << " did not fail";
        } catch (const SheetRenderError& error) {
            EXPECT_EQ(error.code(), SheetRenderErrorCode::unreadableImage) << what;
            EXPECT_EQ(error.detail(), path.string()) << what;
        }
    };
    check([&] { ImageDecoder::decode(path); }, "decode");
    check([&] { ImageDecoder::decodeReduced(path, 16); }, "reduced decode");
    if (probeToo) {
        check([&] { ImageDecoder::probe(path); }, "probe");
    }
    // The same bytes from memory take the other input path of every decoder.
    EXPECT_THROW(ImageDecoder::decode(TestImages::memory(bytes)), SheetRenderError) << what << " from memory";
}

std::string chunk(const char* type, const std::string& data) {
    std::string out(4, '\0');
    put32be(out, 0, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    std::string crc(4, '\0');
    put32be(crc, 0,
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
    return out + crc;
}

// The value of a SHORT or LONG entry of the first IFD of a little-endian TIFF, rewritten in place.
void patchTiff(std::string& tiff, std::uint16_t tag, std::uint32_t value) {
    auto u16 = [&](std::size_t at) {
        return static_cast<std::uint16_t>(static_cast<std::uint8_t>(tiff[at]) |
                                          static_cast<std::uint8_t>(tiff[at + 1]) << 8);
    };
    auto u32 = [&](std::size_t at) { return static_cast<std::uint32_t>(u16(at) | u16(at + 2) << 16); };
    std::size_t ifd = u32(4);
    for (std::size_t i = 0, n = u16(ifd); i < n; ++i) {
        std::size_t entry = ifd + 2 + 12 * i;
        if (u16(entry) == tag) {
            int bytes = u16(entry + 2) == 3 ? 2 : 4;
            for (int b = 0; b < bytes; ++b) {
                tiff[entry + 8 + static_cast<std::size_t>(b)] = static_cast<char>(value >> (8 * b));
            }
            return;
        }
    }
    throw std::runtime_error("tag not in the test TIFF");
}

std::size_t find(const std::string& bytes, const std::string& what) {
    std::size_t at = bytes.find(what);
    if (at == std::string::npos) {
        throw std::runtime_error(what + " not in the test file");
    }
    return at;
}

} // namespace

TEST(BrokenFileTest, TruncatedJpegs) {
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const std::string whole =
            TestImages::jpeg(TestImages::distinct(64, 48, 3, 8), {.quality = 90, .progressive = progressive});
        ASSERT_EQ(whole.substr(whole.size() - 2), "\xFF\xD9");
        // Only the end marker lost (an interrupted copy): every scanline is there, from a file or memory.
        const std::string unended = whole.substr(0, whole.size() - 2);
        TestSupport::TemporaryDirectory folder;
        TestImages::write(folder / "unended.jpg", unended);
        const DecodedImage expected = ImageDecoder::decode(ByteSource(
            std::span(reinterpret_cast<const std::uint8_t*>(whole.data()), whole.size()), "whole"));
        EXPECT_EQ(ImageDecoder::decode(folder / "unended.jpg").pixels, expected.pixels);
        EXPECT_EQ(ImageDecoder::decodeReduced(folder / "unended.jpg", 16).width, 16);
        expectRefused(whole.substr(0, whole.size() - 3), "JPEG ending one byte into its last scan's data",
                      false);
        expectRefused(whole.substr(0, whole.rfind("\xFF\xDA")), "JPEG ending before its last scan", false);
        expectRefused(whole.substr(0, whole.size() / 2), "JPEG cut in its data", false);
        expectRefused(whole.substr(0, 100), "JPEG cut in its headers");
    }
}

TEST(BrokenFileTest, ForgedJpegHeaders) {
    std::string jpeg = TestImages::jpeg(TestImages::solid(16, 16, {1, 2, 3}));
    std::size_t sof = find(jpeg, "\xFF\xC0");
    std::string huge = jpeg;
    huge[sof + 5] = huge[sof + 7] = static_cast<char>(0xFD); // 65000 × 65000
    huge[sof + 6] = huge[sof + 8] = static_cast<char>(0xE8);
    expectRefused(huge, "65000 × 65000 JPEG");
    std::string empty = jpeg;
    empty[sof + 5] = empty[sof + 6] = 0; // zero rows
    expectRefused(empty, "JPEG of no rows");
    std::string components = jpeg;
    components[sof + 9] = 7;
    expectRefused(components, "JPEG of seven components");
    expectRefused(std::string("\xFF\xD8\xFF\xE0", 4) + std::string(200, '\xFF'), "JPEG of markers only");
}

TEST(BrokenFileTest, PngThatClaimsTenBillionPixels) {
    std::string ihdr(13, '\0');
    put32be(ihdr, 0, 100000);
    put32be(ihdr, 4, 100000);
    ihdr[8] = 8; // depth
    ihdr[9] = 2; // RGB
    std::string row(16, '\0');
    std::string deflated(64, '\0');
    uLongf size = deflated.size();
    compress(reinterpret_cast<Bytef*>(deflated.data()), &size, reinterpret_cast<const Bytef*>(row.data()),
             row.size());
    deflated.resize(size);
    std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", deflated) +
                      chunk("IEND", "");
    expectRefused(png, "100000 × 100000 PNG");

    std::string good = TestImages::png(TestImages::distinct(20, 20, 3, 8));
    std::string badCrc = good;
    badCrc[find(good, "IDAT") + 10] ^= 0x55;
    expectRefused(badCrc, "PNG with a damaged IDAT", false);
    expectRefused(good.substr(0, good.size() - 30), "PNG cut in its data", false);
}

TEST(BrokenFileTest, TiffsWithAbsurdStripsAndTiles) {
    const auto pixels = TestImages::distinct(16, 16, 3, 8);
    std::string plain = TestImages::tiff(pixels, {.rowsPerStrip = 16});
    struct Patch {
        std::uint16_t tag;
        std::uint32_t value;
        const char* what;
    };
    for (Patch p : {Patch{TIFFTAG_STRIPOFFSETS, 0x7FFFFFF0u, "strip past the end"},
                    Patch{TIFFTAG_IMAGEWIDTH, 100000, "100000 wide"},
                    Patch{TIFFTAG_IMAGELENGTH, 65535, "65535 rows in a directory of one strip"},
                    Patch{TIFFTAG_BITSPERSAMPLE, 16, "16-bit samples in an 8-bit strip"},
                    Patch{TIFFTAG_SAMPLESPERPIXEL, 60000, "60000 samples per pixel"},
                    Patch{TIFFTAG_PHOTOMETRIC, 77, "unknown photometric"}}) {
        std::string bad = plain;
        patchTiff(bad, p.tag, p.value);
        expectRefused(bad, p.what, false);
    }
    // A compressed strip that claims four gigabytes.
    std::string deflated =
        TestImages::tiff(pixels, {.rowsPerStrip = 16, .compression = COMPRESSION_ADOBE_DEFLATE});
    patchTiff(deflated, TIFFTAG_STRIPBYTECOUNTS, 0xFFFFFFF0u);
    expectRefused(deflated, "4 GB strip", false);
    // Tiles of 2^28 × 2^28 pixels on a 16 × 16 image.
    std::string tiled = TestImages::tiff(pixels, {.tiled = true});
    patchTiff(tiled, TIFFTAG_TILEWIDTH, 1u << 28);
    patchTiff(tiled, TIFFTAG_TILELENGTH, 1u << 28);
    expectRefused(tiled, "giant tiles", false);
    expectRefused(plain.substr(0, plain.size() / 2), "TIFF cut in half", false);
    expectRefused(std::string("II\x2A\0\xFF\xFF\xFF\x7F", 8), "TIFF whose directory lies past the end");
}

TEST(BrokenFileTest, HeifWithBadBoxes) {
    const std::string good = TestImages::heif(TestImages::distinct(32, 32, 3, 8));
    std::string meta = good;
    put32be(meta, find(good, "meta") - 4, 0xFFFFFFF0u);
    expectRefused(meta, "meta box larger than the file");
    std::string ispe = good;
    std::size_t at = find(good, "ispe") + 8;
    put32be(ispe, at, 0x7FFFFFFFu);
    put32be(ispe, at + 4, 0x7FFFFFFFu);
    expectRefused(ispe, "2^31 × 2^31 image");
    std::string ftyp = good;
    put32be(ftyp, 0, 9); // a box too short to hold its own header and brand
    expectRefused(ftyp, "ftyp box of nine bytes");
    expectRefused(good.substr(0, good.size() / 2), "HEIF cut in half", false);
    std::string iloc = good;
    std::size_t loc = find(good, "iloc");
    for (std::size_t i = loc + 8; i < std::min(loc + 40, iloc.size()); ++i) {
        iloc[i] = static_cast<char>(0xFF);
    }
    expectRefused(iloc, "iloc of ones");
}
