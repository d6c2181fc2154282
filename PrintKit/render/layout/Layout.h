// Placement of one photo on one page: the printable area left by the margins, the photo's size on the page
// (fit, fill or exact), the whole device pixels it covers, its position with the user's offset and a magnetic
// snap to edges and centres, and the centred crop. Pure arithmetic on values, so the preview, the model and
// the renderer all get the same answer for the same inputs.
#pragma once

#include "PrintKit/render/layout/ImageFit.h"
#include "PrintKit/render/layout/Placement.h"
#include "PrintKit/render/layout/SnapGuides.h"
#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/support/Error.h"
#include "PrintKit/support/Geometry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace PrintKit {

enum class PlacementErrorCode {
    tooLarge,        // detail: the size after turning, in whole millimetres ("203×254")
    noPrintableArea, // no detail
};

std::string errorMessage(PlacementErrorCode code, const std::string& detail);
using PlacementError = ServiceError<PlacementErrorCode>;

namespace Layout {

// The error for an exact size (points, after turning) that does not fit the printable area.
PlacementError tooLargeError(double width, double height);

// The page's imageable area (the whole page when it has none, or not four values) less the margins; none when
// nothing is left.
std::optional<Rect> printableArea(const PPDPageSize& page, const Margins& margins);

// Places a photo of imageWidth × imageHeight pixels (upright) on the page at a positive, finite resolution
// (pixels per inch). The offset (points, x right,
// y up) moves it from its centred position; an offset that is not a finite number is ignored.
// Throws PlacementError.
Placement place(std::int64_t imageWidth, std::int64_t imageHeight, const PPDPageSize& page,
                const Margins& margins, const ImageFit& fit, double resolution, Size offset);

struct Settled {
    double x = 0;
    double y = 0;
    SnapGuides guides;
    friend bool operator==(const Settled&, const Settled&) = default;
};

// Snaps a proposed lower-left corner of a width × height rectangle to the nearest edge or centre of the area
// or the page within 4 points, then clamps it into the area (or over it, when the rectangle is larger).
Settled settle(double x, double y, double width, double height, const Rect& area, const PPDPageSize& page);

// The centred part of a photo (unit rectangle, origin top-left) that fills a frame of the given aspect ratio
// (width / height) without distortion; the whole photo when the two ratios are equal. Symmetric about the
// photo's centre, so it holds whichever way a renderer turns the photo.
Rect centredCrop(double frameAspect, double photoAspect);

} // namespace Layout

} // namespace PrintKit
