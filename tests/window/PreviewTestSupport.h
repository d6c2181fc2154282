// Builders shared by the preview's tests: pages, a painted canvas on a known ground, and photos whose colour
// boundaries sit at known places.
#pragma once

#include "PrintKit/settings/PPDFile.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <optional>
#include <vector>

namespace PreviewTest {

// The ground the canvases are painted on: the window colour.
inline const QColor ground(26, 26, 29);
inline const QColor paper(245, 245, 245);
inline const QColor red(220, 30, 30);
inline const QColor blue(30, 60, 220);

inline PrintKit::PPDPageSize page(double width, double height, std::optional<std::vector<double>> area = {}) {
    PrintKit::PPDPageSize p;
    p.name = "Test";
    p.width = width;
    p.height = height;
    p.imageableArea = std::move(area);
    return p;
}

// US Letter with a quarter inch the driver cannot print on each side.
inline PrintKit::PPDPageSize letter() { return page(612, 792, std::vector<double>{18, 18, 594, 774}); }

template <typename Paint> QImage painted(QSize size, Paint paint) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    image.fill(ground);
    QPainter painter(&image);
    paint(painter);
    painter.end();
    return image;
}

// Red left of `split` (a fraction of the width), blue from there on.
inline QImage twoColour(int width, int height, double split, bool vertical = false) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double at = vertical ? (y + 0.5) / height : (x + 0.5) / width;
            image.setPixelColor(x, y, at < split ? red : blue);
        }
    }
    return image;
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 12) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

inline QColor at(const QImage& image, double x, double y) {
    return image.pixelColor(static_cast<int>(x), static_cast<int>(y));
}

// The pixel whose square holds the canvas point.
inline QColor at(const QImage& image, QPointF point) { return at(image, point.x(), point.y()); }

} // namespace PreviewTest
