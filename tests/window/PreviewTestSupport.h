// Builders shared by the preview's tests: pages, a canvas painted on a known ground, photos whose colour
// boundaries sit at known places, and a started model on the private print server.
#pragma once

#include "AppTestSupport.h"
#include "PrintKit/settings/PPDFile.h"
#include "QuilmPrint/model/ModelSettings.h"
#include "TestImages.h"
#include "shared/WindowTestSupport.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace PreviewTest {

inline const QColor ground(26, 26, 29); // the window colour
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
inline PrintKit::PPDPageSize letter() {
    return page(612, 792, std::vector<double>{18, 18, 594, 774});
}

template <typename Paint> QImage painted(QSize size, Paint paint) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    image.fill(ground);
    QPainter painter(&image);
    paint(painter);
    return image;
}

// Red before `split` (a fraction of the width, or of the height), blue from there on.
inline bool redAt(int x, int y, int width, int height, double split, bool vertical) {
    return (vertical ? (y + 0.5) / height : (x + 0.5) / width) < split;
}

inline QImage twoColour(int width, int height, double split, bool vertical = false) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, redAt(x, y, width, height, split, vertical) ? red : blue);
    return image;
}

inline std::string twoColourJpeg(int width, int height, double split, bool vertical = false) {
    TestImages::Pixels pixels = TestImages::solid(width, height, {30, 60, 220});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (redAt(x, y, width, height, split, vertical))
                for (auto [channel, value] : {std::pair{0, 220}, std::pair{1, 30}, std::pair{2, 30}})
                    pixels.at(x, y, channel) = static_cast<std::uint16_t>(value);
    return TestImages::jpeg(pixels);
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 12) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

inline QColor at(const QImage& image, double x, double y) {
    return image.pixelColor(static_cast<int>(x), static_cast<int>(y));
}

inline QColor at(const QImage& image, QPointF point) {
    return at(image, point.x(), point.y());
}

// A started model on the private server's photo printer, printing at 360 pixels per inch on A4 with no
// margin.
struct ModelWorld {
    AppTestSupport::Sandbox sandbox;
    std::unique_ptr<QuilmPrint::PrintModel> model;
    int photoCount = 0;
    // The reason it cannot run here, if any.
    std::optional<std::string> start() {
        std::string why;
        if (!AppTestSupport::printServer(&why))
            return why;
        QuilmPrint::PrintModel::Environment environment = sandbox.environment();
        environment.settings->setValue(QuilmPrint::ModelSettings::printer, AppTestSupport::p900Queue);
        model = std::make_unique<QuilmPrint::PrintModel>(environment);
        AppTestSupport::startAndWait(*model);
        model->setDriverOverride("Resolution", "360x360dpi");
        model->chooseSheet("A4");
        model->setMarginMM(0);
        return std::nullopt;
    }
    // Adds a photo made of the bytes and returns it as the model holds it.
    QuilmPrint::PhotoItem add(const std::string& bytes, const std::string& name = {}) {
        const std::filesystem::path file =
            sandbox.photoFolder() / (name.empty() ? "photo" + std::to_string(photoCount++) + ".jpg" : name);
        TestSupport::writeFile(file, bytes);
        AppTestSupport::addAndWait(*model, {file});
        return model->photos().back();
    }
};

using WindowTest::settle;

// A press, `steps` moves and a release of the left button.
inline void drag(QWidget* widget, QPoint from, QPoint to, int steps = 4) {
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    for (int i = 1; i <= steps; ++i)
        QTest::mouseMove(widget, from + (to - from) * i / steps);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
}
} // namespace PreviewTest
