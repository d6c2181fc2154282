#include "PrintKit/render/layout/GridLayout.h"

#include "PrintKit/render/layout/Layout.h"
#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Rounding.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <set>
#include <utility>

namespace PrintKit {

std::string errorMessage(GridLayoutErrorCode code, const std::string& detail) {
    switch (code) {
    case GridLayoutErrorCode::noCellFits:
        return detail + "mm 칸이 이 용지의 인쇄 영역에 하나도 들어가지 않습니다";
    }
    return {};
}

namespace GridLayout {

namespace {

// Keeps an edge that lies on a pixel boundary, up to floating-point noise, on that boundary.
constexpr double edgeNoise = 0.000001;

// ceil and floor already give whole numbers; pixelCount only turns them into integers (NaN first).
std::int64_t ceilPixels(double value) {
    return Rounding::pixelCount(std::ceil(value));
}
std::int64_t floorPixels(double value) {
    return Rounding::pixelCount(std::floor(value));
}

} // namespace

GridLayoutError noCellFitsError(double cellWidth, double cellHeight) {
    return GridLayoutError(GridLayoutErrorCode::noCellFits, Numbers::fixed(cellWidth * 25.4 / 72, 1) + "×" +
                                                                Numbers::fixed(cellHeight * 25.4 / 72, 1));
}

GridPlan plan(const PPDPageSize& page, const Margins& margins, const GridSpec& spec, double resolution) {
    std::optional<Rect> area = Layout::printableArea(page, margins);
    if (!area) {
        throw PlacementError(PlacementErrorCode::noPrintableArea);
    }
    assert(resolution > 0 && std::isfinite(resolution));
    const double pitch = 72 / resolution;
    const std::int64_t left = ceilPixels(area->minX() / pitch - edgeNoise);
    const std::int64_t right = floorPixels(area->maxX() / pitch + edgeNoise);
    const std::int64_t bottom = ceilPixels(area->minY() / pitch - edgeNoise);
    const std::int64_t top = floorPixels(area->maxY() / pitch + edgeNoise);
    const std::int64_t width = right - left;
    const std::int64_t height = top - bottom;
    if (width < 1 || height < 1) {
        throw PlacementError(PlacementErrorCode::noPrintableArea);
    }

    const auto pixels = [pitch](double points) { return Rounding::pixelCount(points / pitch); };
    const std::int64_t gap = std::max<std::int64_t>(pixels(spec.gap), 0);
    std::int64_t cellWidth = std::max<std::int64_t>(pixels(spec.cellWidth), 1);
    std::int64_t cellHeight = std::max<std::int64_t>(pixels(spec.cellHeight), 1);

    std::int64_t columns = (width + gap) / (cellWidth + gap);
    std::int64_t rows = (height + gap) / (cellHeight + gap);
    bool turned = false;
    if (spec.turnsToFitMore && cellWidth != cellHeight) {
        std::int64_t turnedColumns = (width + gap) / (cellHeight + gap);
        std::int64_t turnedRows = (height + gap) / (cellWidth + gap);
        if (columns * rows < turnedColumns * turnedRows) { // a tie keeps the cells as asked
            turned = true;
            std::swap(cellWidth, cellHeight);
            columns = turnedColumns;
            rows = turnedRows;
        }
    }
    if (columns < 1 || rows < 1) {
        throw noCellFitsError(spec.cellWidth, spec.cellHeight);
    }

    const std::int64_t usedWidth = columns * cellWidth + (columns - 1) * gap;
    const std::int64_t usedHeight = rows * cellHeight + (rows - 1) * gap;
    const std::int64_t offsetX = (width - usedWidth) / 2; // the odd pixel goes right and down
    const std::int64_t offsetY = (height - usedHeight) / 2;

    GridPlan result;
    result.cells.reserve(static_cast<std::size_t>(columns * rows));
    for (std::int64_t row = 0; row < rows; ++row) {
        for (std::int64_t column = 0; column < columns; ++column) {
            result.cells.push_back(PixelRect{offsetX + column * (cellWidth + gap),
                                             offsetY + row * (cellHeight + gap), cellWidth, cellHeight});
        }
    }
    if (spec.cutMarks) {
        result.marks =
            cutMarks(result.cells, PixelRect{offsetX, offsetY, usedWidth, usedHeight}, width, height, pixels);
    }
    if (spec.captions) {
        std::int64_t caption = pixels(captionPoints);
        // A caption never takes more than a third of the cell.
        result.captionHeight = caption >= 0 ? std::min(cellHeight / 3, caption) : 0;
    }
    result.rect = Rect(pitch * static_cast<double>(left), pitch * static_cast<double>(bottom),
                       pitch * static_cast<double>(width), pitch * static_cast<double>(height));
    result.pixelWidth = width;
    result.pixelHeight = height;
    result.columns = columns;
    result.rows = rows;
    result.turned = turned;
    result.resolution = resolution;
    return result;
}

std::vector<PixelRect> cutMarks(const std::vector<PixelRect>& cells, const PixelRect& grid,
                                std::int64_t imageWidth, std::int64_t imageHeight,
                                const std::function<std::int64_t(double)>& pixels) {
    const std::int64_t offset = std::max<std::int64_t>(pixels(2.8), 1);  // about 1 mm clear of the block
    const std::int64_t length = std::max<std::int64_t>(pixels(11.3), 0); // about 4 mm long
    const std::int64_t thickness = std::max<std::int64_t>(pixels(0.36), 1);
    const std::int64_t half = thickness / 2;

    // Cells sharing an edge share its mark; with a gap, each side of the gap gets its own.
    std::set<std::int64_t> xs;
    std::set<std::int64_t> ys;
    for (const PixelRect& cell : cells) {
        xs.insert(cell.x);
        xs.insert(cell.maxX());
        ys.insert(cell.y);
        ys.insert(cell.maxY());
    }

    // Every mark is clipped to the plan, so a narrow margin shortens marks or drops them.
    std::vector<PixelRect> marks;
    for (std::int64_t x : xs) {
        const std::int64_t at = std::min(std::max<std::int64_t>(x - half, 0), imageWidth - thickness);
        const std::int64_t aboveEnd = grid.y - offset;
        const std::int64_t aboveStart = std::max<std::int64_t>(grid.y - offset - length, 0);
        if (aboveEnd > aboveStart) {
            marks.push_back(
                PixelRect{at, aboveStart, thickness, std::max<std::int64_t>(aboveEnd, 0) - aboveStart});
        }
        const std::int64_t belowStart = grid.y + grid.height + offset;
        const std::int64_t belowEnd = std::min(belowStart + length, imageHeight);
        if (belowStart < belowEnd) {
            const std::int64_t start = std::min(belowStart, imageHeight);
            marks.push_back(PixelRect{at, start, thickness, belowEnd - start});
        }
    }
    for (std::int64_t y : ys) {
        const std::int64_t at = std::min(std::max<std::int64_t>(y - half, 0), imageHeight - thickness);
        const std::int64_t leftEnd = grid.x - offset;
        const std::int64_t leftStart = std::max<std::int64_t>(grid.x - offset - length, 0);
        if (leftEnd > leftStart) {
            marks.push_back(
                PixelRect{leftStart, at, std::max<std::int64_t>(leftEnd, 0) - leftStart, thickness});
        }
        const std::int64_t rightStart = grid.x + grid.width + offset;
        const std::int64_t rightEnd = std::min(rightStart + length, imageWidth);
        if (rightStart < rightEnd) {
            const std::int64_t start = std::min(rightStart, imageWidth);
            marks.push_back(PixelRect{start, at, rightEnd - start, thickness});
        }
    }
    return marks;
}

CellFit fit(std::int64_t imageWidth, std::int64_t imageHeight, const PixelRect& cell, const GridSpec& spec,
            std::int64_t captionHeight) {
    // The photo takes the top rows of the cell; the caption strip keeps the rest, but never all of it.
    const std::int64_t areaHeight = std::max<std::int64_t>(cell.height - captionHeight, 1);

    CellFit result;
    std::int64_t width = imageWidth;
    std::int64_t height = imageHeight;
    if (spec.rotatesToFit && width != height && cell.width != areaHeight &&
        (height < width) != (areaHeight < cell.width)) {
        std::swap(width, height);
        result.rotated = true;
    }
    const double aspect = static_cast<double>(width) / static_cast<double>(height);
    const double cellAspect = static_cast<double>(cell.width) / static_cast<double>(areaHeight);

    if (spec.fitsWhole) {
        std::int64_t frameWidth = 0;
        std::int64_t frameHeight = 0;
        if (cellAspect < aspect) {
            frameWidth = cell.width;
            frameHeight =
                std::max<std::int64_t>(Rounding::pixelCount(static_cast<double>(cell.width) / aspect), 1);
        } else {
            frameHeight = areaHeight;
            frameWidth =
                std::max<std::int64_t>(Rounding::pixelCount(aspect * static_cast<double>(areaHeight)), 1);
        }
        result.frame =
            PixelRect{(cell.width - frameWidth) / 2, (areaHeight - frameHeight) / 2, frameWidth, frameHeight};
        result.crop = Rect(0, 0, 1, 1);
    } else {
        result.frame = PixelRect{0, 0, cell.width, areaHeight};
        result.crop = Layout::centredCrop(cellAspect, aspect);
    }
    return result;
}

} // namespace GridLayout

} // namespace PrintKit
