// Where one photo lands on a page: its rectangle in page points (on the device pixel grid), the device pixels
// it covers, the part of the photo drawn into it and the guides it snapped to.
#pragma once

#include "PrintKit/render/layout/SnapGuides.h"
#include "PrintKit/support/Geometry.h"

#include <cstdint>

namespace PrintKit {

struct Placement {
    Rect rect;                   // page points, origin bottom-left; width = pitch × pixelWidth
    std::int64_t pixelWidth = 1; // at least 1
    std::int64_t pixelHeight = 1;
    // The drawn part of the photo in units of its width and height, from its top-left corner with y down;
    // (0, 0, 1, 1) is the whole photo. After a borderless extension it may reach past the photo.
    Rect crop{0, 0, 1, 1};
    SnapGuides snapped;

    friend bool operator==(const Placement&, const Placement&) = default;
};

} // namespace PrintKit
