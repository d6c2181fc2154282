#include "PrintKit/render/layout/CanvasTurn.h"

#include "PrintKit/support/Rounding.h"

#include <utility>

namespace PrintKit::CanvasTurn {

PPDPageSize canvas(const PPDPageSize& page) {
    PPDPageSize result = page;
    std::swap(result.width, result.height);
    if (page.imageableArea && page.imageableArea->size() == 4) {
        const auto& area = *page.imageableArea;
        const double height = page.height;
        result.imageableArea = std::vector<double>{height - area[3], area[0], height - area[1], area[2]};
    }
    return result;
}

BorderlessBleed canvas(const BorderlessBleed& bleed, const PPDPageSize& page) {
    const Rect& v = bleed.visible;
    return BorderlessBleed{Rect(page.height - v.maxY(), v.minX(), v.height(), v.width())};
}

Placement paperPlacement(const Placement& placement, const PPDPageSize& page, double resolution) {
    const double pitch = 72 / resolution;
    const Rect& r = placement.rect;
    Placement result = placement;
    result.pixelWidth = placement.pixelHeight;
    result.pixelHeight = placement.pixelWidth;
    const double y = pitch * static_cast<double>(Rounding::pixelCount((page.height - r.maxX()) / pitch));
    result.rect = Rect(r.minY(), y, pitch * static_cast<double>(result.pixelWidth),
                       pitch * static_cast<double>(result.pixelHeight));
    // On the paper the photo lies turned clockwise: its point (u, v) is (1 − v, u) of the turned photo.
    const Rect& crop = placement.crop;
    result.crop = Rect(1 - crop.maxY(), crop.minX(), crop.height(), crop.width());
    return result;
}

} // namespace PrintKit::CanvasTurn
