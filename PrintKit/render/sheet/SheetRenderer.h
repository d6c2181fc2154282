// The road from photos to a finished, print-ready PDF: one photo placed on its sheet (borderless or on a
// turned canvas as asked), or a grid page of photos with captions and cut marks. Each image is resampled in
// linear light, encoded into the printed space, sharpened, rounded to 16 bits, converted through the paper
// profile when the application manages colour, and streamed into the file band by band, so memory stays
// that of one band and the photo, whatever the sheet's size.
#pragma once

#include "PrintKit/render/layout/BorderlessBleed.h"
#include "PrintKit/render/sheet/Colorizer.h"
#include "PrintKit/render/decode/DecodedImage.h"
#include "PrintKit/render/sheet/GridCellPhoto.h"
#include "PrintKit/render/layout/GridPlan.h"
#include "PrintKit/render/layout/GridSpec.h"
#include "PrintKit/render/layout/ImageFit.h"
#include "PrintKit/render/sheet/PDFImageWriter.h"
#include "PrintKit/support/Pixel.h"
#include "PrintKit/render/layout/Placement.h"
#include "PrintKit/render/color/SheetColor.h"
#include "PrintKit/render/color/ToneCurves.h"
#include "PrintKit/settings/OutputSharpening.h"
#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/support/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace PrintKit {

class LinearSource;

namespace SheetRenderer {

// Working memory of one image's band: as many output rows are computed at once as these bytes hold at the
// image's width (and at the number of source rows each output row reads), up to bandRows, so a wide sheet
// takes fewer rows at a time than a narrow cell, and memory never follows the sheet's length.
inline constexpr std::size_t bandBytes = std::size_t{64} << 20;
inline constexpr int bandRows = 256;
// Pixels per job of the encoding and rounding runs.
inline constexpr int chunkPixels = 4096;
inline constexpr const char* creator = "Quilm Print";

// How a sheet is computed, never what it contains: the printed bytes are the same for every band height.
struct Tuning {
    int bandHeight = 0; // output rows per band; 0: as many as bandBytes holds, up to bandRows
    // Told of every photo decoded for a grid cell: its path and the longest side it is reduced to (0: in
    // full).
    std::function<void(const std::filesystem::path&, int)> decoded;
};

// Renders one photo onto its sheet and returns its placement on the canvas the user sees (the turned
// canvas when turned), as Layout::place gives it for the same inputs. The file at `to` appears only when
// the whole sheet was written; a failure leaves an existing file there as it was. Throws SheetRenderError,
// PlacementError, ColorTransformError, PDFImageWriterError or the file system's error.
Placement render(const std::filesystem::path& image, const PPDPageSize& page, const ImageFit& fit,
                 const Margins& margins, double resolution, Size offset, const SheetColor& color,
                 OutputSharpening sharpening, const std::optional<BorderlessBleed>& bleed, bool turned,
                 const std::filesystem::path& to, const Tuning& tuning = {});

// Renders a grid page: photos[i] into plan.cells[i] (none leaves the cell empty; entries past the cells
// are ignored), with caption strips and cut marks as the plan has them. Same file and error rules as
// render().
void renderGrid(const std::vector<std::optional<GridCellPhoto>>& photos, const GridPlan& plan,
                const GridSpec& spec, const PPDPageSize& page, const SheetColor& color,
                OutputSharpening sharpening, const std::optional<BorderlessBleed>& bleed,
                const std::filesystem::path& to, const Tuning& tuning = {});

// ---- The band pipeline: the steps every image of a sheet goes through. ----

// min(max(active processors, 1), 8), read once: the number of colour transforms converting at once.
int conversionWorkers();

// Adds one complete image to the writer: the crop of the source (unit coordinates, y down) resampled to
// pixelWidth × pixelHeight, drawn into the page rectangle `at`. Exactly pixelWidth × pixelHeight × 6 bytes
// are streamed, top row first, and the image is closed. Never removes the file; on failure the writer is
// left with a partial image. When the descriptor of the file is given, each band's pages are handed to the
// disk as soon as they are written, so that making the finished file durable does not wait for all of them.
void write(const std::shared_ptr<LinearSource>& source, const Rect& crop, std::int64_t pixelWidth,
           std::int64_t pixelHeight, const Rect& at, OutputSharpening sharpening, double resolution,
           Colorizer& colors, PDFImageWriter& into, int bandHeight = 0, int descriptor = -1);

// Tone-table encoding of `count` pixels (red, green and blue; the fourth channel becomes 1), in parallel
// chunks of chunkPixels. `into` may be `from`.
void encode(const Pixel* from, std::size_t count, Pixel* into, const ToneCurves& through);

// `count` pixels to 16-bit samples, in parallel chunks: optionally tone-encoded first, then clamped to
// 0…1, scaled by 65535 and rounded to nearest, ties to even. Padded: red, green, blue, 0 in native order
// (8 bytes a pixel); otherwise red, green, blue big-endian (6 bytes a pixel).
void round(const Pixel* from, std::size_t count, std::uint16_t* into, bool padded, const ToneCurves* through);

// Runs body(transform i, first row, row count) once per transform on its own slice of `rows` rows
// (ceil(rows / k) each, trailing slices possibly empty and skipped), in parallel; every slice runs to its
// end and the first failure is then rethrown.
void inSlices(const Colorizer::Transforms& transforms, int rows,
              const std::function<void(const ColorTransform&, int, int)>& body);

// Float pixels to float pixels, and 16-bit little-endian RGB pixels to big-endian output pixels (`into`
// may be `from` in both), `rows` rows of `width` pixels, slice by slice.
void convertInSlices(const Colorizer::Transforms& transforms, const Pixel* from, Pixel* into, int width,
                     int rows);
void convertInSlices(const Colorizer::Transforms& transforms, const std::uint16_t* from, std::uint16_t* into,
                     int width, int rows);

// The caption as an opaque sRGB image of width × height pixels: one line, centred, grey on white, its
// middle replaced by "…" when it is too long. Throws SheetRenderError (cannotCreateImage).
std::shared_ptr<const DecodedImage> captionImage(const std::string& text, int width, int height);

} // namespace SheetRenderer

} // namespace PrintKit
