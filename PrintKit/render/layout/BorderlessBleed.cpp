#include "PrintKit/render/layout/BorderlessBleed.h"

#include "PrintKit/support/Rounding.h"

#include <cmath>

namespace PrintKit {

namespace {

// Below this a measured ratio is noise of the measurement, not an enlargement worth compensating.
constexpr double smallestExpansion = 1.0005;
// A page must exceed the paper by more than this (points) to count as carrying its own overspray.
constexpr double oversizeTolerance = 0.5;

} // namespace

std::optional<BorderlessBleed>
BorderlessBleed::forSheet(const PPDPageSize& page, const PPDPageSize& paper,
                          const std::function<std::optional<double>()>& expansion) {
    if (page.width > paper.width + oversizeTolerance || page.height > paper.height + oversizeTolerance) {
        return retainSize(page, paper);
    }
    std::optional<double> scale = expansion ? expansion() : std::nullopt;
    // NaN fails every comparison and would slip past the threshold into every rectangle.
    if (!scale || !std::isfinite(*scale) || *scale <= smallestExpansion) {
        return std::nullopt;
    }
    return autoExpand(page, *scale);
}

BorderlessBleed BorderlessBleed::retainSize(const PPDPageSize& page, const PPDPageSize& paper) {
    return BorderlessBleed{
        Rect((page.width - paper.width) / 2, (page.height - paper.height) / 2, paper.width, paper.height)};
}

BorderlessBleed BorderlessBleed::autoExpand(const PPDPageSize& page, double scale) {
    if (!std::isfinite(scale) || !(scale > 1)) {
        scale = 1;
    }
    const double width = page.width;
    const double height = page.height;
    return BorderlessBleed{
        Rect((width - width / scale) / 2, (height - height / scale) / 2, width / scale, height / scale)};
}

PPDPageSize BorderlessBleed::placingPage(const PPDPageSize& page) const {
    PPDPageSize result = page;
    result.imageableArea =
        std::vector<double>{visible.minX(), visible.minY(), visible.maxX(), visible.maxY()};
    return result;
}

Placement BorderlessBleed::extend(const Placement& placement, const PPDPageSize& page,
                                  double resolution) const {
    const double pitch = 72 / resolution;
    const Rect& r = placement.rect;
    // The far edges go to the page size rounded up to whole pixels, so the last pixel column is covered.
    const double left = std::abs(r.minX() - visible.minX()) <= pitch ? 0 : r.minX();
    const double bottom = std::abs(r.minY() - visible.minY()) <= pitch ? 0 : r.minY();
    const double right =
        std::abs(r.maxX() - visible.maxX()) <= pitch ? pitch * std::ceil(page.width / pitch) : r.maxX();
    const double top =
        std::abs(r.maxY() - visible.maxY()) <= pitch ? pitch * std::ceil(page.height / pitch) : r.maxY();
    if (left >= r.minX() && bottom >= r.minY() && right <= r.maxX() && top <= r.maxY()) {
        return placement;
    }

    Placement result = placement;
    result.pixelWidth = Rounding::pixelCount((right - left) / pitch);
    result.pixelHeight = Rounding::pixelCount((top - bottom) / pitch);
    result.rect = Rect(left, bottom, pitch * static_cast<double>(result.pixelWidth),
                       pitch * static_cast<double>(result.pixelHeight));

    // Crop units per point, so the band beyond the paper shows the photo continuing at its printed scale.
    // The crop is measured from the photo's top, hence the top edge moves its origin.
    const Rect& crop = placement.crop;
    const double sx = crop.width() / r.width();
    const double sy = crop.height() / r.height();
    result.crop = Rect(crop.minX() - sx * (r.minX() - left), crop.minY() - sy * (top - r.maxY()),
                       crop.width() + sx * ((r.minX() - left) + (right - r.maxX())),
                       crop.height() + sy * ((r.minY() - bottom) + (top - r.maxY())));
    return result;
}

} // namespace PrintKit
