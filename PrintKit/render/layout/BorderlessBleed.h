// The part of a borderless page that really lands on the paper. The driver either gives a page larger than
// the paper (the page carries the overspray) or enlarges the page image by a measured ratio; either way a
// band around the page is printed past the paper's edges. Photos are placed on the visible part and then
// pushed out over that band, with more of the photo, so the paper's edges are never left white.
#pragma once

#include "PrintKit/render/layout/Placement.h"
#include "PrintKit/settings/PPDFile.h"
#include "PrintKit/support/Geometry.h"

#include <functional>
#include <optional>

namespace PrintKit {

struct BorderlessBleed {
    Rect visible; // page points

    // A page larger than the paper by more than half a point keeps its size (retainSize) and expansion is
    // never asked; otherwise the driver's enlargement ratio decides: none, a ratio of at most 1.0005 or one
    // that is not a finite number gives no bleed. expansion is called at most once.
    static std::optional<BorderlessBleed> forSheet(const PPDPageSize& page, const PPDPageSize& paper,
                                                   const std::function<std::optional<double>()>& expansion);
    // The paper centred on the larger page.
    static BorderlessBleed retainSize(const PPDPageSize& page, const PPDPageSize& paper);
    // The page shrunk by scale about its centre. A scale that is not a finite number above 1 shrinks nothing.
    static BorderlessBleed autoExpand(const PPDPageSize& page, double scale);

    // The page whose imageable area is exactly the visible rectangle, so margins count from the paper's edge.
    PPDPageSize placingPage(const PPDPageSize& page) const;

    // Moves every edge of the placement lying within one device pixel of the paper's edge out to the page's
    // edge and grows the crop at the photo's own scale. An untouched placement comes back unchanged.
    Placement extend(const Placement& placement, const PPDPageSize& page, double resolution) const;

    friend bool operator==(const BorderlessBleed&, const BorderlessBleed&) = default;
};

} // namespace PrintKit
