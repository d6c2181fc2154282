// Image files made at test time with the codec libraries themselves, so the decoders are tested against
// what real writers produce: JPEG (libjpeg), PNG (libpng), TIFF (libtiff) and HEIF (libheif), with ICC
// profiles, orientation tags, EXIF blocks, alpha and the sample layouts under test.
#pragma once

#include "PrintKit/render/decode/ByteSource.h"
#include "PrintKit/render/decode/DecodedImage.h"
#include "TestProfiles.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The tests name only the options they set ({.orientation = 6}); g++ 12 warns about every member left to
// its default initializer in such a designated initializer, which is exactly what is meant here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif

namespace TestImages {

// Interleaved samples, row by row; 8-bit values 0…255 or 16-bit values 0…65535.
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 3;
    int bits = 8;
    std::vector<std::uint16_t> samples;

    std::uint16_t& at(int x, int y, int c) {
        return samples[(static_cast<std::size_t>(y) * width + x) * channels + c];
    }
    std::uint16_t at(int x, int y, int c) const {
        return samples[(static_cast<std::size_t>(y) * width + x) * channels + c];
    }
};

// Every pixel different from every other, every channel different within a pixel.
Pixels distinct(int width, int height, int channels, int bits);
Pixels solid(int width, int height, std::vector<std::uint16_t> colour, int bits = 8);
// Ramps in red and green, a checker in blue and a dark disc with a hard edge: resampling, sharpening and
// colour errors all show.
Pixels scene(int width, int height, int bits = 8);
// Four flat 8-bit quadrants: top-left, top-right, bottom-left, bottom-right.
using Colour = std::array<std::uint16_t, 3>;
Pixels quadrants(int width, int height, Colour tl, Colour tr, Colour bl, Colour br);
inline constexpr Colour red{220, 30, 30}, green{30, 200, 40}, blue{30, 40, 220}, yellow{230, 220, 40};

// TIFF-structured EXIF (as PNG's eXIf chunk holds it) with the orientation in IFD0 and, when given, a JPEG
// thumbnail in IFD1.
std::string exif(std::optional<int> orientation, bool bigEndian = false, const std::string& thumbnail = {});

struct JpegOptions {
    int quality = 100;
    std::string icc;
    std::optional<int> orientation;
    std::string thumbnail; // a JPEG placed in the EXIF block
    bool progressive = false;
};
// 1 channel is grey, 3 RGB, 4 CMYK (written with libjpeg's Adobe marker, so read back inverted).
std::string jpeg(const Pixels& pixels, const JpegOptions& options = {});

struct PngOptions {
    std::string icc;
    bool srgb = false;
    std::optional<int> orientation;
    bool interlaced = false;
};
// 1 channel grey, 2 grey + alpha, 3 RGB, 4 RGBA; 8 or 16 bits.
std::string png(const Pixels& pixels, const PngOptions& options = {});

struct TiffOptions {
    bool bigEndian = false;
    bool tiled = false; // 16 × 16 tiles
    bool planar = false;
    int rowsPerStrip = 0; // 0: libtiff's default
    std::optional<int> orientation;
    std::string icc;
    int photometric = -1;                              // -1: grey for 1–2 channels, RGB for 3–4
    int extraSample = -1;                              // type of the last channel when it is extra (-1: none)
    int compression = 1;                               // COMPRESSION_NONE
    std::vector<Pixels> morePages;                     // written as further directories
    std::optional<std::pair<float, float>> whitePoint; // CIE xy
};
std::string tiff(const Pixels& pixels, const TiffOptions& options = {});
// 32-bit float samples.
std::string tiffFloat(int width, int height, int channels, const std::vector<float>& samples,
                      const TiffOptions& options = {});

struct HeifOptions {
    int bits = 8; // 8, 10 or 12; sample values are given at that depth
    std::string icc;
    int orientation = 1; // written as irot/imir
    std::optional<Pixels> thumbnail;
};
// 3 or 4 channels, encoded near-losslessly (4:4:4, highest quality).
std::string heif(const Pixels& pixels, const HeifOptions& options = {});

void write(const std::filesystem::path& path, const std::string& bytes);
// The bytes as an image source in memory (they must outlive it).
inline PrintKit::ByteSource memory(const std::string& bytes, std::string name = "memory") {
    return PrintKit::ByteSource(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                                std::move(name));
}

// The pixels as a decoded image in memory, 16-bit samples in the byte order asked for.
PrintKit::DecodedImage decoded(const Pixels& pixels, PrintKit::ColorModel model,
                               PrintKit::AlphaMode alpha = PrintKit::AlphaMode::none,
                               bool littleEndian = true, int orientation = 1);

// The wide-gamut profile (gamma 563/256) photos are tagged with.
inline std::string adobeRGBLikeProfile() {
    return TestProfiles::adobeRGBLike().own;
}

// Sample c of stored pixel (x, y) of a decoded image: the integer value (in the image's byte order), or the
// float value for float images.
double sampleOf(const PrintKit::DecodedImage& image, int x, int y, int c);

} // namespace TestImages
