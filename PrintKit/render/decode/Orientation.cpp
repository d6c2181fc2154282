#include "PrintKit/render/decode/Orientation.h"

namespace PrintKit::Orientation {

namespace {

std::pair<long, long> uprightToStored(long x, long y, long width, long height, int orientation) {
    switch (orientation) {
    case 2:
        return {width - 1 - x, y};
    case 3:
        return {width - 1 - x, height - 1 - y};
    case 4:
        return {x, height - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {y, height - 1 - x};
    case 7:
        return {width - 1 - y, height - 1 - x};
    case 8:
        return {width - 1 - y, x};
    default:
        return {x, y};
    }
}

} // namespace

Mapping mapping(int storedWidth, int storedHeight, int orientation, bool turned) {
    orientation = normalized(orientation);
    const long uprightHeight = swapsSides(orientation) ? storedWidth : storedHeight;
    auto stored = [&](long x, long y) {
        if (turned) {
            long ux = y, uy = uprightHeight - 1 - x;
            x = ux;
            y = uy;
        }
        return uprightToStored(x, y, storedWidth, storedHeight, orientation);
    };
    // Both maps are affine, so three points fix the composite.
    auto [u0, v0] = stored(0, 0);
    auto [u1, v1] = stored(1, 0);
    auto [u2, v2] = stored(0, 1);
    return Mapping{u0, v0, u1 - u0, v1 - v0, u2 - u0, v2 - v0};
}

} // namespace PrintKit::Orientation
