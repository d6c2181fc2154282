// Measures what a printer driver made of a test target: reads the first page of a CUPS raster file, averages
// the middle of every patch the target's manifest lists and reports expected against measured colour, patch
// by patch. It judges nothing: what difference is acceptable is the caller's business.
#pragma once

#include "PrintKit/support/Error.h"
#include "PrintKit/targets/TestTarget.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace PrintKit {

struct PatchReading {
    std::string name;
    std::vector<double> expected; // the manifest's colour, 0–255
    std::vector<double> measured; // channel means on the 0–255 scale; −1, −1, −1 when no pixel was measured
    double maxDelta = 0;          // largest channel difference; 999 when nothing could be compared

    friend bool operator==(const PatchReading&, const PatchReading&) = default;
};

struct RasterCheckResult {
    std::int64_t width = 0;  // pixels
    std::int64_t height = 0; // pixels
    std::int64_t bitsPerColor = 0;
    std::int64_t colorSpace = 0;        // the raster header's colour-space code, as given
    std::int64_t resolution = 0;        // horizontal, dots per inch
    std::vector<double> imagingBox;     // left, bottom, right, top in points
    std::vector<PatchReading> readings; // one per manifest patch, in manifest order

    // The largest reading's maxDelta (an unmeasured patch's 999 dominates); 0 without readings.
    double maxDelta() const;

    friend bool operator==(const RasterCheckResult&, const RasterCheckResult&) = default;
};

enum class RasterCheckErrorCode {
    cannotOpen,   // detail: the file's path
    noPage,       // detail: the file's path
    unsupported,  // detail: "order O, colors C, bits B" and, for a header that contradicts itself, what does
    invalidPatch, // detail: the patch's name
};

std::string errorMessage(RasterCheckErrorCode code, const std::string& detail);
using RasterCheckError = ServiceError<RasterCheckErrorCode>;

namespace RasterCheck {

// Reads the first page of the raster at `raster` through libcups and measures every patch of the manifest
// over the middle half of its rectangle in each direction. Only chunky 8- or 16-bit three-colour rasters are
// read; a header whose lines are too short for its width, whose pixels are not three samples, or whose
// resolution is zero is refused as unsupported. A file that ends early is no error: missing rows add
// nothing, and a patch that got no pixel (also one outside the page) reads −1, −1, −1 with maxDelta 999.
// A patch whose rectangle is not four finite numbers is refused (invalidPatch). No descriptor stays open.
RasterCheckResult measure(const std::filesystem::path& raster, const TestTargetManifest& manifest);

} // namespace RasterCheck

} // namespace PrintKit
