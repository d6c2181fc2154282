#include "PrintKit/render/layout/Layout.h"

#include "PrintKit/support/Numbers.h"
#include "PrintKit/support/Rounding.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

namespace PrintKit {

std::string errorMessage(PlacementErrorCode code, const std::string& detail) {
    switch (code) {
    case PlacementErrorCode::tooLarge:
        return detail + "mm는 이 용지의 인쇄 영역보다 큽니다";
    case PlacementErrorCode::noPrintableArea:
        return "여백을 빼면 인쇄할 공간이 없습니다";
    }
    return {};
}

namespace Layout {

namespace {

constexpr double snapDistance = 4.0; // points: how close a corner must come to a guide to jump onto it
constexpr double touchTolerance = 0.01;

struct Candidate {
    double value;
    SnapGuides guide;
};

// The first candidate wins ties, so the area's own edges beat its centre and the page's edges.
template <std::size_t N>
std::pair<double, SnapGuides> snap(double proposed, const Candidate (&candidates)[N]) {
    const Candidate* best = &candidates[0];
    for (const Candidate& candidate : candidates) {
        if (std::abs(candidate.value - proposed) < std::abs(best->value - proposed)) {
            best = &candidate;
        }
    }
    if (std::abs(best->value - proposed) <= snapDistance) {
        return {best->value, best->guide};
    }
    return {proposed, SnapGuides{}};
}

// Keeps a span inside [low, high]; a span longer than the interval is kept covering it instead.
double clampSpan(double start, double length, double low, double high) {
    if (length <= high - low) {
        return std::min(std::max(start, low), high - length);
    }
    return std::min(std::max(start, high - length), low);
}

} // namespace

PlacementError tooLargeError(double width, double height) {
    return PlacementError(PlacementErrorCode::tooLarge,
                          Numbers::fixed(width * 25.4 / 72, 0) + "×" + Numbers::fixed(height * 25.4 / 72, 0));
}

std::optional<Rect> printableArea(const PPDPageSize& page, const Margins& margins) {
    double left = 0;
    double bottom = 0;
    double right = page.width;
    double top = page.height;
    if (page.imageableArea && page.imageableArea->size() == 4) {
        const auto& area = *page.imageableArea;
        left = area[0];
        bottom = area[1];
        right = area[2];
        top = area[3];
    }
    double width = right - left - margins.left - margins.right;
    double height = top - bottom - margins.top - margins.bottom;
    if (!(width > 0) || !(height > 0)) { // also refuses NaN
        return std::nullopt;
    }
    return Rect(left + margins.left, bottom + margins.bottom, width, height);
}

Settled settle(double x, double y, double width, double height, const Rect& area, const PPDPageSize& page) {
    const Candidate horizontal[] = {
        {area.minX(), SnapGuides::left},
        {area.maxX() - width, SnapGuides::right},
        {area.midX() - width / 2, SnapGuides::centerX},
        {0, SnapGuides::left},
        {page.width - width, SnapGuides::right},
        {page.width / 2 - width / 2, SnapGuides::centerX},
    };
    const Candidate vertical[] = {
        {area.minY(), SnapGuides::bottom},
        {area.maxY() - height, SnapGuides::top},
        {area.midY() - height / 2, SnapGuides::centerY},
        {0, SnapGuides::bottom},
        {page.height - height, SnapGuides::top},
        {page.height / 2 - height / 2, SnapGuides::centerY},
    };
    auto [snappedX, guideX] = snap(x, horizontal);
    auto [snappedY, guideY] = snap(y, vertical);

    Settled result;
    result.x = clampSpan(snappedX, width, area.minX(), area.maxX());
    result.y = clampSpan(snappedY, height, area.minY(), area.maxY());
    result.guides = guideX | guideY;
    // A rectangle as wide as the area touches both edges; reporting either would be noise.
    if (width < area.width() - touchTolerance) {
        if (std::abs(result.x - area.minX()) < touchTolerance) {
            result.guides.insert(SnapGuides::left);
        }
        if (std::abs(result.x + width - area.maxX()) < touchTolerance) {
            result.guides.insert(SnapGuides::right);
        }
    }
    if (height < area.height() - touchTolerance) {
        if (std::abs(result.y - area.minY()) < touchTolerance) {
            result.guides.insert(SnapGuides::bottom);
        }
        if (std::abs(result.y + height - area.maxY()) < touchTolerance) {
            result.guides.insert(SnapGuides::top);
        }
    }
    return result;
}

Placement place(std::int64_t imageWidth, std::int64_t imageHeight, const PPDPageSize& page,
                const Margins& margins, const ImageFit& fit, double resolution, Size offset) {
    std::optional<Rect> area = printableArea(page, margins);
    if (!area || imageWidth < 1 || imageHeight < 1) {
        throw PlacementError(PlacementErrorCode::noPrintableArea);
    }
    const double aspect = static_cast<double>(imageWidth) / static_cast<double>(imageHeight);

    double w = 0;
    double h = 0;
    switch (fit.kind) {
    case ImageFit::Kind::fit:
        if (area->width() / area->height() < aspect) {
            w = area->width();
            h = w / aspect;
        } else {
            h = area->height();
            w = aspect * h;
        }
        break;
    case ImageFit::Kind::fill:
        w = area->width();
        h = area->height();
        break;
    case ImageFit::Kind::exactSize: {
        w = fit.width;
        h = fit.height;
        // A square photo counts as portrait, so a landscape size turns for it.
        if (fit.turnToPhoto && fit.width != fit.height) {
            bool photoIsLandscape = aspect > 1.0;
            bool sizeIsLandscape = fit.height < fit.width;
            if (photoIsLandscape != sizeIsLandscape) {
                std::swap(w, h);
            }
        }
        // Half a pixel of tolerance: such a size still rounds to a pixel count that fits.
        double tolerance = 36 / resolution;
        if (w > area->width() + tolerance || h > area->height() + tolerance) {
            throw tooLargeError(w, h);
        }
        break;
    }
    }

    assert(resolution > 0 && std::isfinite(resolution));
    const double pitch = 72 / resolution;
    Placement placement;
    placement.pixelWidth = std::max<std::int64_t>(Rounding::pixelCount(w / pitch), 1);
    placement.pixelHeight = std::max<std::int64_t>(Rounding::pixelCount(h / pitch), 1);
    const double frameWidth = pitch * static_cast<double>(placement.pixelWidth);
    const double frameHeight = pitch * static_cast<double>(placement.pixelHeight);

    // A stored offset that is not a number would carry NaN into every coordinate; the photo stays centred.
    if (!std::isfinite(offset.width) || !std::isfinite(offset.height)) {
        offset = Size{};
    }
    double x0 = offset.width + (area->midX() - frameWidth / 2);
    double y0 = offset.height + (area->midY() - frameHeight / 2);
    Settled settled = settle(x0, y0, frameWidth, frameHeight, *area, page);

    // The corner goes onto the device pixel grid so that every photo pixel is one printer pixel.
    double x = static_cast<double>(Rounding::pixelCount(settled.x / pitch)) * pitch;
    double y = static_cast<double>(Rounding::pixelCount(settled.y / pitch)) * pitch;
    placement.rect = Rect(x, y, frameWidth, frameHeight);

    const double pixelAspect =
        static_cast<double>(placement.pixelWidth) / static_cast<double>(placement.pixelHeight);
    placement.crop = centredCrop(pixelAspect, aspect);
    placement.snapped = settled.guides;
    return placement;
}

} // namespace Layout

Rect Layout::centredCrop(double frameAspect, double photoAspect) {
    if (frameAspect < photoAspect) {
        double cropWidth = frameAspect / photoAspect;
        return Rect((1 - cropWidth) / 2, 0, cropWidth, 1);
    }
    if (photoAspect < frameAspect) {
        double cropHeight = photoAspect / frameAspect;
        return Rect(0, (1 - cropHeight) / 2, 1, cropHeight);
    }
    return Rect(0, 0, 1, 1);
}

} // namespace PrintKit
