// Colour test targets: 24 flat patches of known colour, laid out on a printer page as a one-page PDF with a
// manifest of where each patch lies and what it holds, or as a 16-bit TIFF grid. The manifest is what a
// measured raster of the printed page is compared with (RasterCheck). Called by outside tools, never by the
// application's windows; every call writes only the file it is given and keeps nothing.
#pragma once

#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/support/Error.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace PrintKit {

// One row of the colour table, on the 0–255 scale. 16-bit samples carry value × 257.
struct TestColor {
    std::string name;
    std::array<int, 3> rgb{};

    friend bool operator==(const TestColor&, const TestColor&) = default;
};

// One patch of a rendered target.
struct TestPatch {
    std::string name;
    std::vector<double> rgb;  // the table row, 0–255
    std::vector<double> rect; // x, y, width, height in PDF points, origin at the page's bottom-left, y up

    friend bool operator==(const TestPatch&, const TestPatch&) = default;
};

// What a rendered target holds.
struct TestTargetManifest {
    std::string pageName; // the page size's PPD name
    double pageWidth = 0;
    double pageHeight = 0;
    std::string variant;            // TestTargetVariant::name()
    std::vector<TestPatch> patches; // in table order

    friend bool operator==(const TestTargetManifest&, const TestTargetManifest&) = default;
};

// One square of the TIFF grid.
struct PatchCell {
    std::string name;
    std::array<int, 3> rgb{};
    // x, y, width, height as fractions of the image's width and height, origin at the image's top-left.
    std::array<double, 4> cell{};

    friend bool operator==(const PatchCell&, const PatchCell&) = default;
};

// The colour space the patches are drawn in.
struct TestTargetVariant {
    enum class Kind { profile, deviceRGB, sRGB };
    Kind kind = Kind::deviceRGB;
    std::filesystem::path profilePath; // profile only

    static TestTargetVariant profile(std::filesystem::path path) { return {Kind::profile, std::move(path)}; }
    static TestTargetVariant deviceRGB() { return {Kind::deviceRGB, {}}; }
    static TestTargetVariant sRGB() { return {Kind::sRGB, {}}; }

    // "profile-" and the profile file's name without its last extension, "device" or "srgb".
    std::string name() const;

    friend bool operator==(const TestTargetVariant&, const TestTargetVariant&) = default;
};

enum class TestTargetErrorCode {
    badColorSpace,   // detail: the profile's path, or "sRGB"
    cannotCreatePDF, // detail: the output path
    cannotCreateImage,
    invalidPage,      // detail: the page size's name
    invalidImageSize, // detail: what is wrong with the requested grid
};

std::string errorMessage(TestTargetErrorCode code, const std::string& detail);
using TestTargetError = ServiceError<TestTargetErrorCode>;

namespace TestTarget {

// The 24 colours in patch order: gray0, gray25 … gray250, gray255, nearwhite, nearblack, red, green, blue,
// cyan, magenta, yellow, skin, sky, orange, shadow.
const std::vector<TestColor>& colors();

// Draws the patches on one PDF page of the page's size and returns the manifest. The profile variant embeds
// the profile, which must be an RGB profile a PDF reader can use as a source; sRGB embeds the engine's sRGB
// profile; device RGB embeds none. Patches are 40-point squares 8 points apart, 18 points in from the
// top-left of the imageable area (the whole page when it has none), as many across as fit (at least one);
// rows that do not fit above the bottom edge keep their rectangles. The file appears only when it is
// complete: a failure leaves any earlier file at the path as it was. Throws TestTargetError (invalidPage for
// a page whose size is not positive and finite or whose imageable area is not four finite numbers).
TestTargetManifest render(const PPDPageSize& page, const TestTargetVariant& variant,
                          const std::filesystem::path& to);

// Writes the colours as a 16-bit sRGB TIFF of squares patchPixels wide, `columns` across, rows top to bottom,
// unused squares white; returns one cell per colour in table order. Like render(), nothing appears at the
// path unless the whole file was written. Throws TestTargetError (invalidImageSize, cannotCreateImage).
std::vector<PatchCell> writePatchImage(const std::filesystem::path& to, int patchPixels, int columns);

} // namespace TestTarget

} // namespace PrintKit
