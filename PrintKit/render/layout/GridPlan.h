// A grid sheet planned in whole device pixels: the plan's rectangle on the page, its equal cells in reading
// order, the cut marks and the caption strip. The renderer and the preview both draw from this one record.
#pragma once

#include "PrintKit/render/layout/PixelRect.h"
#include "PrintKit/support/Geometry.h"

#include <cstdint>
#include <vector>

namespace PrintKit {

struct GridPlan {
    Rect rect; // page points, bottom-left origin, on the pixel grid
    std::int64_t pixelWidth = 0;
    std::int64_t pixelHeight = 0;
    std::int64_t columns = 0;
    std::int64_t rows = 0;
    std::vector<PixelRect> cells; // top row first, each row left to right
    bool turned = false;          // cells are cellHeight wide and cellWidth high
    std::vector<PixelRect> marks; // cut marks as filled rectangles
    std::int64_t captionHeight = 0;
    double resolution = 0; // pixels per inch

    std::int64_t count() const { return static_cast<std::int64_t>(cells.size()); }

    // A plan rectangle (y down from the plan's top) as a page rectangle in points (y up).
    Rect pageRect(const PixelRect& r) const {
        double pitch = 72 / resolution;
        return Rect(rect.minX() + pitch * static_cast<double>(r.x),
                    rect.maxY() - pitch * static_cast<double>(r.y + r.height),
                    pitch * static_cast<double>(r.width), pitch * static_cast<double>(r.height));
    }

    friend bool operator==(const GridPlan&, const GridPlan&) = default;
};

} // namespace PrintKit
