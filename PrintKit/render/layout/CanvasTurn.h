// The turned canvas: a page turned a quarter turn anticlockwise, so that a photo whose orientation differs
// from the page's can be placed as the user sees it. A point (x, y) of a page of height H is (H − y, x) on
// the canvas; a placement made on the canvas maps back onto the paper with the photo turned clockwise.
#pragma once

#include "PrintKit/render/layout/BorderlessBleed.h"
#include "PrintKit/render/layout/Placement.h"
#include "PrintKit/settings/PPDFile.h"

namespace PrintKit::CanvasTurn {

// Width and height swap; a four-value imageable area turns with the page.
PPDPageSize canvas(const PPDPageSize& page);

// The bleed of the unturned page, on the turned canvas.
BorderlessBleed canvas(const BorderlessBleed& bleed, const PPDPageSize& page);

// A placement made on the turned canvas, as it lies on the unturned page (pixel counts swapped, crop turned).
Placement paperPlacement(const Placement& placement, const PPDPageSize& page, double resolution);

} // namespace PrintKit::CanvasTurn
