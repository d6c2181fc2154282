// Plane geometry shared by the engine and the application: page points (1/72 inch, origin bottom-left,
// y up) unless a caller says otherwise. A Rect keeps its origin and size as given; the min/max accessors
// read it standardised, so a negative width or height describes the same area as its mirror.
#pragma once

#include <algorithm>
#include <cmath>

namespace PrintKit {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    constexpr Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}

    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double midX() const { return origin.x + size.width / 2; }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midY() const { return origin.y + size.height / 2; }
    double width() const { return std::abs(size.width); }
    double height() const { return std::abs(size.height); }

    bool isEmpty() const { return size.width == 0 || size.height == 0 || !isFinite(); }
    bool isFinite() const {
        return std::isfinite(origin.x) && std::isfinite(origin.y) && std::isfinite(size.width) &&
               std::isfinite(size.height);
    }
    // The same area with a non-negative width and height.
    Rect standardized() const { return Rect(minX(), minY(), width(), height()); }
    // Grows (negative values) or shrinks (positive) each side by dx and dy.
    Rect insetBy(double dx, double dy) const {
        Rect r = standardized();
        return Rect(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy);
    }
    bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }

    friend bool operator==(const Rect&, const Rect&) = default;
};

// Top, left, bottom and right margins of a page, in points.
struct Margins {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    // The same margin on all four sides, as the layout settings give it.
    static constexpr Margins all(double value) { return Margins{value, value, value, value}; }

    friend bool operator==(const Margins&, const Margins&) = default;
};

} // namespace PrintKit
