// How one photo sits in one grid cell: turned or not, the part of it drawn, and the pixels it covers.
#pragma once

#include "PrintKit/render/layout/PixelRect.h"
#include "PrintKit/support/Geometry.h"

namespace PrintKit {

struct CellFit {
    bool rotated = false; // turned a quarter turn to the cell's orientation
    // The drawn part of the (turned) photo in units of its size, from its top-left corner with y down.
    Rect crop{0, 0, 1, 1};
    PixelRect frame; // relative to the cell's top-left corner

    friend bool operator==(const CellFit&, const CellFit&) = default;
};

} // namespace PrintKit
