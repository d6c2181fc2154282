// Image files made at test time with the codec libraries themselves, so the decoders are tested against
// what real writers produce: JPEG (libjpeg), PNG (libpng), TIFF (libtiff) and HEIF (libheif), with ICC
// profiles, orientation tags, EXIF blocks, alpha and the sample layouts under test.
#pragma once

#include "PrintKit/render/decode/DecodedImage.h"

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

    std::uint16_t at(int x, int y, int c) const {
        return samples[(static_cast<std::size_t>(y) * width + x) * channels + c];
    }
    std::uint16_t& at(int x, int y, int c) {
        return samples[(static_cast<std::size_t>(y) * width + x) * channels + c];
    }
};

// Every pixel different from every other, every channel different within a pixel.
Pixels distinct(int width, int height, int channels, int bits);
// One colour everywhere.
Pixels solid(int width, int height, std::vector<std::uint16_t> colour, int bits = 8);

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
// 1 channel is grey, 3 RGB, 4 CMYK (written with libjpeg's Adobe marker, so the samples are stored as
// given and read back inverted).
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
    std::optional<std::pair<float, float>> whitePoint; // CIE xy
    std::vector<Pixels> morePages;                     // written as further directories
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

// The pixels as a decoded image in memory, 16-bit samples in the byte order asked for.
PrintKit::DecodedImage decoded(const Pixels& pixels, PrintKit::ColorModel model,
                               PrintKit::AlphaMode alpha = PrintKit::AlphaMode::none,
                               bool littleEndian = true, int orientation = 1);

// Sample c of stored pixel (x, y) of a decoded image: the integer value (in the image's byte order), or the
// float value for float images.
double sampleOf(const PrintKit::DecodedImage& image, int x, int y, int c);

// ICC profiles made with Little CMS.
std::string adobeRGBLikeProfile(); // wide primaries, gamma 2.2
std::string grayGamma18Profile();
std::string lutRGBProfile(); // a table-based RGB profile (no colorants)

} // namespace TestImages
