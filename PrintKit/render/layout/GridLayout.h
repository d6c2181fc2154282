// Planning of a sheet that carries many photos as a pixel-exact grid: the printable area snapped inward to
// whole pixels, cell and gap sizes in pixels, the count of columns and rows (turning the cells when that fits
// more), the centred block, caption strips and cut marks; and the fit of one photo into one cell.
#pragma once

#include "PrintKit/render/layout/CellFit.h"
#include "PrintKit/render/layout/GridPlan.h"
#include "PrintKit/render/layout/GridSpec.h"
#include "PrintKit/render/layout/PixelRect.h"
#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/support/Error.h"
#include "PrintKit/support/Geometry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace PrintKit {

enum class GridLayoutErrorCode {
    noCellFits, // detail: the requested (unturned) cell size in millimetres with one decimal ("88.9×63.5")
};

std::string errorMessage(GridLayoutErrorCode code, const std::string& detail);
using GridLayoutError = ServiceError<GridLayoutErrorCode>;

namespace GridLayout {

// The caption strip's height before it is capped at a third of the cell.
inline constexpr double captionPoints = 7.4;

// The error for a cell (points, unturned) of which not one fits the printable area.
GridLayoutError noCellFitsError(double cellWidth, double cellHeight);

// Throws PlacementError (noPrintableArea) or GridLayoutError.
GridPlan plan(const PPDPageSize& page, const Margins& margins, const GridSpec& spec, double resolution);

// The photo's pixel size is upright; the frame is relative to the cell's top-left corner.
CellFit fit(std::int64_t imageWidth, std::int64_t imageHeight, const PixelRect& cell, const GridSpec& spec,
            std::int64_t captionHeight);

// Cut marks outside the block of cells (grid: its left and top offset and used size) inside an
// imageWidth × imageHeight plan; pixels converts a length in points to whole pixels at the plan's resolution.
std::vector<PixelRect> cutMarks(const std::vector<PixelRect>& cells, const PixelRect& grid,
                                std::int64_t imageWidth, std::int64_t imageHeight,
                                const std::function<std::int64_t(double)>& pixels);

} // namespace GridLayout

} // namespace PrintKit
