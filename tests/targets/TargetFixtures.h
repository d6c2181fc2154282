// What the target tests build at run time: profiles (made by Little CMS, see render/TestProfiles.h) written
// to files, and CUPS raster files written by libcups itself in each of its writing modes.
#pragma once

#include "PrintKit/targets/TestTarget.h"
#include "render/TestProfiles.h"

#include <array>
#include <cstdint>
#include <cups/raster.h>
#include <filesystem>
#include <functional>
#include <string>

namespace TargetFixtures {

// sRGB as Little CMS makes it; the same primaries and white with a straight (gamma 1) tone curve.
inline std::string sRGBProfile() {
    return TestProfiles::save(cmsCreate_sRGBProfile());
}
inline std::string linearRGBProfile() {
    return TestProfiles::matrixShaper(TestProfiles::srgbPrimaries, TestProfiles::Curve::gamma, 1.0, 4.3,
                                      "Linear RGB");
}
std::filesystem::path writeProfile(const std::filesystem::path& path, const std::string& bytes);

// A chunky RGB page header: width × height pixels at `resolution` dpi, 8 or 16 bits per colour, lines
// exactly as long as the width needs, no imaging box and no margins.
cups_page_header2_t rgbHeader(unsigned width, unsigned height, unsigned bits, unsigned resolution);

// Red, green and blue of pixel (x, y), y from the top; 8-bit rasters take values 0–255.
using PixelColor = std::function<std::array<std::uint16_t, 3>(unsigned x, unsigned y)>;

// Writes one page through libcups. Returns false when libcups refuses the header.
bool writeRaster(const std::filesystem::path& path, cups_mode_t mode, const cups_page_header2_t& header,
                 const PixelColor& color);

// The manifest's patches drawn as the raster would show a perfect print: patch colours (× 257 at 16 bits) on
// white, for a raster whose top-left pixel is the page's top-left corner.
PixelColor perfectPrint(const PrintKit::TestTargetManifest& manifest, const cups_page_header2_t& header);

} // namespace TargetFixtures
